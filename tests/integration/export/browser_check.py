#!/usr/bin/env python3
"""Plays exported files in the system's Chromium, headless and in real time,
driven over the DevTools protocol (a minimal WebSocket client: the standard
library has none). For each FILE with its seek TIMES (comma-separated
seconds) it prints one JSON object per line: the media error if any, the
duration, the colour at a quarter of the picture after each seek, and whether
playback advanced.

usage: browser_check.py FILE TIMES [FILE TIMES ...]
"""
import base64
import json
import os
import re
import socket
import struct
import subprocess
import sys
import tempfile
import time
import urllib.request

PAGE_SCRIPT = r"""
(async (src, times) => {
  const out = {src, error: null, duration: null, width: 0, colours: [], advanced: false};
  const v = document.createElement('video');
  v.muted = true;
  v.preload = 'auto';
  document.body.appendChild(v);
  const once = (name) => new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error('no ' + name + ' within 10 s')), 10000);
    v.addEventListener(name, () => { clearTimeout(timer); resolve(); }, {once: true});
    v.addEventListener('error', () => {
      clearTimeout(timer);
      reject(new Error('media error ' + (v.error ? v.error.code : '?')));
    }, {once: true});
  });
  const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
  try {
    const loaded = once('loadeddata');
    v.src = src;
    await loaded;
    out.duration = v.duration;
    out.width = v.videoWidth;
    const canvas = document.createElement('canvas');
    canvas.width = v.videoWidth;
    canvas.height = v.videoHeight;
    const g = canvas.getContext('2d');
    for (const t of times) {
      const seeked = once('seeked');
      v.currentTime = t;
      await seeked;
      g.drawImage(v, 0, 0);
      const d = g.getImageData(canvas.width >> 2, canvas.height >> 2, 1, 1).data;
      out.colours.push([d[0], d[1], d[2]]);
    }
    const rewound = once('seeked');
    v.currentTime = 0;
    await rewound;
    await v.play();
    await sleep(1500);
    out.advanced = v.currentTime > 0.5;
    v.pause();
  } catch (e) {
    out.error = String(e);
  }
  v.remove();
  return JSON.stringify(out);
})
"""


class WebSocket:
    def __init__(self, url):
        match = re.match(r"ws://([^:/]+):(\d+)(/.*)", url)
        host, port, path = match.group(1), int(match.group(2)), match.group(3)
        self.sock = socket.create_connection((host, port), timeout=60)
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall((f"GET {path} HTTP/1.1\r\nHost: {host}:{port}\r\nUpgrade: websocket\r\n"
                           f"Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\n"
                           "Sec-WebSocket-Version: 13\r\n\r\n").encode())
        reply = b""
        while b"\r\n\r\n" not in reply:
            reply += self.sock.recv(1)
        if b" 101 " not in reply.split(b"\r\n")[0]:
            raise RuntimeError("WebSocket refused: " + reply.decode(errors="replace"))

    def _read(self, count):
        data = b""
        while len(data) < count:
            chunk = self.sock.recv(count - len(data))
            if not chunk:
                raise RuntimeError("WebSocket closed")
            data += chunk
        return data

    def send(self, text):
        payload = text.encode()
        header = bytes([0x81])
        if len(payload) < 126:
            header += bytes([0x80 | len(payload)])
        elif len(payload) < 65536:
            header += bytes([0x80 | 126]) + struct.pack(">H", len(payload))
        else:
            header += bytes([0x80 | 127]) + struct.pack(">Q", len(payload))
        mask = os.urandom(4)  # clients must mask what they send
        self.sock.sendall(header + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(payload)))

    def receive(self):
        message = b""
        while True:
            first, second = self._read(2)
            length = second & 0x7F
            if length == 126:
                length = struct.unpack(">H", self._read(2))[0]
            elif length == 127:
                length = struct.unpack(">Q", self._read(8))[0]
            payload = self._read(length)
            opcode = first & 0x0F
            if opcode == 0x8:
                raise RuntimeError("WebSocket closed by the browser")
            if opcode in (0x1, 0x2, 0x0):
                message += payload
                if first & 0x80:
                    return message.decode()


class DevTools:
    def __init__(self, url):
        self.ws = WebSocket(url)
        self.next_id = 0

    def call(self, method, **params):
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            reply = json.loads(self.ws.receive())
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError(f"{method}: {reply['error']}")
                return reply["result"]


def main(arguments):
    if len(arguments) < 2 or len(arguments) % 2:
        print(__doc__, file=sys.stderr)
        return 2
    profile = tempfile.mkdtemp(prefix="vardocle-chromium-")
    folder = os.path.dirname(os.path.abspath(arguments[0]))
    page = os.path.join(folder, "play.html")
    with open(page, "w") as out:
        out.write("<!doctype html><html><body></body></html>")
    browser = subprocess.Popen(
        ["chromium", "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
         "--allow-file-access-from-files", "--autoplay-policy=no-user-gesture-required",
         "--remote-debugging-port=0", "--user-data-dir=" + profile, "about:blank"],
        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    try:
        port = None
        deadline = time.monotonic() + 30
        while port is None and time.monotonic() < deadline:
            line = browser.stderr.readline()
            if not line:
                break
            found = re.search(r"DevTools listening on ws://[^:]+:(\d+)/", line)
            if found:
                port = found.group(1)
        if port is None:
            print("chromium did not start", file=sys.stderr)
            return 1
        for _ in range(100):
            targets = json.load(urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list"))
            pages = [t for t in targets if t.get("type") == "page"]
            if pages:
                break
            time.sleep(0.1)
        tools = DevTools(pages[0]["webSocketDebuggerUrl"])
        # Media files load only from a page of the same kind (file://). The
        # page may still be loading: a context destroyed meanwhile is retried.
        tools.call("Page.navigate", url="file://" + page)
        for _ in range(100):
            try:
                state = tools.call("Runtime.evaluate", returnByValue=True,
                                   expression="location.href + ' ' + document.readyState")
                if state["result"].get("value") == f"file://{page} complete":
                    break
            except RuntimeError:
                pass
            time.sleep(0.1)
        for index in range(0, len(arguments), 2):
            src = "file://" + os.path.abspath(arguments[index])
            times = [float(t) for t in arguments[index + 1].split(",") if t]
            expression = f"{PAGE_SCRIPT}({json.dumps(src)}, {json.dumps(times)})"
            result = tools.call("Runtime.evaluate", expression=expression, awaitPromise=True,
                                returnByValue=True)
            print(result["result"]["value"], flush=True)
        return 0
    finally:
        browser.terminate()
        try:
            browser.wait(10)
        except subprocess.TimeoutExpired:
            browser.kill()
        subprocess.run(["rm", "-rf", profile])


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
