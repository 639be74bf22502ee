#include "tests/integration/export/ExportRecordings.h"

#include <QProcess>
#include <QtEndian>

#include <cmath>
#include <fstream>
#include <thread>

namespace vardocle::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

bool PaintScreen(const std::string& colour) {
    return RunProcess("xsetroot", {"-solid", QString::fromStdString(colour)}, 10s).ExitCode == 0;
}

bool MakeRecording(const fs::path& avi, const QStringList& options, double seconds, double redAt,
                   bool sound) {
    const fs::path folder = avi.parent_path();
    if (!PaintScreen("#2060c0"))
        return false;
    const fs::path tone = folder / "tone.wav";
    if (sound && RunProcess("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", Q(tone), "synth",
                                    "3", "sine", "1000", "vol", "0.5"})
                         .ExitCode != 0)
        return false;
    QProcess recorder;
    QStringList arguments{Q(avi), "--rate", "5", "--seconds", QString::number(seconds)};
    if (!sound)
        arguments << "--no-sound";
    recorder.start(Q(BinDir() / "vardocle-record"), arguments + options);
    if (!recorder.waitForStarted(5000))
        return false;
    const auto started = std::chrono::steady_clock::now();
    QProcess player;
    if (sound) {
        std::this_thread::sleep_until(started + 1s);
        player.start("paplay", {Q(tone)});
    }
    std::this_thread::sleep_until(started + std::chrono::milliseconds(int(redAt * 1000)));
    PaintScreen("#d02020");
    const bool done = recorder.waitForFinished(int(seconds * 1000) + 30000) &&
                      recorder.exitStatus() == QProcess::NormalExit && recorder.exitCode() == 0;
    player.waitForFinished(10000);
    return done;
}

std::vector<std::array<int, 3>> SlotColours(const fs::path& file) {
    const ProcessResult decoded =
        RunProcess("ffmpeg",
                   {"-v", "error", "-i", Q(file), "-map", "0:v", "-vf", "fps=5,scale=1:1", "-f",
                    "rawvideo", "-pix_fmt", "rgb24", "-"},
                   120s);
    std::vector<std::array<int, 3>> colours;
    for (qsizetype at = 0; at + 3 <= decoded.Out.size(); at += 3)
        colours.push_back({static_cast<std::uint8_t>(decoded.Out[at]),
                           static_cast<std::uint8_t>(decoded.Out[at + 1]),
                           static_cast<std::uint8_t>(decoded.Out[at + 2])});
    return colours;
}

bool IsRed(const std::array<int, 3>& colour) {
    return colour[0] > 150 && colour[2] < 100;
}

double FileSeconds(const fs::path& file) {
    const ProcessResult probe = RunProcess(
        "ffprobe", {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", Q(file)});
    bool ok = false;
    const double seconds = probe.Out.trimmed().toDouble(&ok);
    return ok ? seconds : -1;
}

std::array<double, 2> SoundEdges(const fs::path& file) {
    const ProcessResult decoded = RunProcess("ffmpeg",
                                             {"-v", "error", "-i", Q(file), "-map", "0:a", "-ac",
                                              "1", "-ar", "44100", "-f", "s16le", "-"},
                                             120s);
    const auto* samples = reinterpret_cast<const std::int16_t*>(decoded.Out.constData());
    const std::size_t count = static_cast<std::size_t>(decoded.Out.size()) / 2;
    // Loudness in 10 ms windows, so that a click when the sound device
    // starts is not taken for the tone.
    constexpr std::size_t kWindow = 441;
    std::vector<double> loudness;
    for (std::size_t at = 0; at + kWindow <= count; at += kWindow) {
        double sum = 0;
        for (std::size_t i = at; i < at + kWindow; ++i)
            sum += double(samples[i]) * samples[i];
        loudness.push_back(std::sqrt(sum / kWindow));
    }
    const double peak = loudness.empty() ? 0 : *std::max_element(loudness.begin(), loudness.end());
    std::array<double, 2> edges{-1, -1};
    for (std::size_t window = 0; window < loudness.size() && peak > 0; ++window)
        if (loudness[window] > peak / 3) {
            if (edges[0] < 0)
                edges[0] = window * 0.01;
            edges[1] = (window + 1) * 0.01;
        }
    return edges;
}

std::vector<std::string> TopBoxes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> boxes;
    std::uint64_t offset = 0;
    const std::uint64_t size = fs::file_size(file);
    while (offset + 8 <= size) {
        char header[16];
        in.seekg(static_cast<std::streamoff>(offset));
        if (!in.read(header, 8))
            break;
        std::uint64_t boxSize = qFromBigEndian<quint32>(header);
        if (boxSize == 1 && in.read(header + 8, 8))
            boxSize = qFromBigEndian<quint64>(header + 8);
        boxes.emplace_back(header + 4, 4);
        if (boxSize < 8)
            break;
        offset += boxSize;
    }
    return boxes;
}

} // namespace vardocle::test
