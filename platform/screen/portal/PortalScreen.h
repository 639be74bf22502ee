#pragma once
// The screen of a Wayland desktop, through the desktop's screen-cast portal
// and PipeWire. The portal session starts with the first grab (by then the
// cursor option is known) without waiting for it: until the first picture
// comes, grabs have none and the recording's slots stay empty. After that a
// grab gives the newest picture, the last one again while the screen is still.
// A window is chosen in the desktop's own dialog, as a monitor is; a region
// is cut from the picture of the monitor chosen there. When the user declines
// the sharing or the stream breaks, the next grab raises the reason, in
// Chinese; when the desktop ends the sharing, StreamEnded() says so, and the
// next grab raises that too.
#include "platform/screen/CaptureArea.h"
#include "platform/screen/Screen.h"
#include "platform/screen/portal/PortalAnswers.h"
#include "platform/screen/portal/PortalFrames.h"

#include <filesystem>
#include <memory>

namespace vardocle {

class TPortalScreen : public IScreen {
public:
    // `tokenFile` keeps the desktop's permission between recordings, so the
    // user chooses the screen once; `maxFrameRate` is what the stream may
    // send. A region's coordinates are those of the monitor's picture.
    TPortalScreen(std::filesystem::path tokenFile, int maxFrameRate, const TCaptureArea& area = {});
    ~TPortalScreen() override;
    TPortalScreen(const TPortalScreen&) = delete;
    TPortalScreen& operator=(const TPortalScreen&) = delete;

    // The desktop sends a picture only when something changed, the cursor
    // included: a slot without one needs no grab.
    TScreenChanges TakeChanges() override;
    TScreenGrab Grab() override;
    // The desktop draws the cursor into the picture (or leaves it out).
    TCursorImage Cursor() override { return {}; }
    // The portal cannot leave see-through windows out: they are always in.
    void SetCaptureTransparent(bool) override {}
    void SetCaptureCursor(bool value) override { FEmbedCursor = value; }

    // Whether the desktop ended the sharing after it ran: the user pressed
    // the desktop's own stop, or the window being cast closed. The recording
    // ends then as on Stop; the next grab raises EndedMessage().
    bool StreamEnded() const;
    std::string EndedMessage() const;

    // One whole picture of the shared monitor (not cut to a region), for
    // choosing a region on it. Runs the calling thread's events until the
    // desktop sends one; raises vardocle::Exception with the reason in
    // Chinese, also when none came within `timeoutMs` (some desktops send a
    // picture only after something on the screen changed).
    TCastPicture StillPicture(int timeoutMs = 5000);

    struct TState;

private:
    void StartSession();
    void ThrowIfStopped() const;

    std::shared_ptr<TState> FState;
    TCaptureArea FArea;
    bool FEmbedCursor = true;
    bool FAreaChecked = false;
    TCastPicture FCropped; // a region partly off a picture that shrank
};

// StillPicture of a screen made for the purpose, with the permission kept
// for monitors (the user is asked once); on the thread of the event loop.
TCastPicture TakePortalStillPicture(int timeoutMs = 5000);

// The file the restore token of each kind of source is kept in, beside the
// program's settings: the desktop asks once for a monitor and once for a
// window. A monitor's is the file all earlier versions kept.
std::filesystem::path PortalTokenFile(TPortalSource source = TPortalSource::Monitor);
std::string ReadRestoreToken(const std::filesystem::path& file);
void WriteRestoreToken(const std::filesystem::path& file, const std::string& token);

} // namespace vardocle
