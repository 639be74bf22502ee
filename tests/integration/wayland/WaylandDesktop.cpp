#include "tests/integration/wayland/WaylandDesktop.h"

#include <QRegularExpression>
#include <QThread>

#include <chrono>

namespace vardocle::test {

using namespace std::chrono_literals;

bool HaveWaylandDesktop() {
    return qEnvironmentVariableIsSet("WL_STATE") && qEnvironmentVariableIsSet("WAYLAND_DISPLAY") &&
           Sway({"-t", "get_version"}) == 0;
}

std::filesystem::path StateDir() {
    return qEnvironmentVariable("WL_STATE").toStdString();
}

int Sway(const QStringList& arguments) {
    return RunProcess("swaymsg", arguments, 10s).ExitCode;
}

void PaintBackground(const QString& colour) {
    Sway({"output", "HEADLESS-1", "bg", colour, "solid_color"});
}

bool PortalBackend(const QString& mode) {
    const QString script =
        QString::fromStdString((SourceDir() / "tests/wayland/wayland-session").string());
    return RunProcess("bash",
                      {"-c", "source \"$0\" && wayland_portal_backend \"$1\"", script, mode}, 30s)
               .ExitCode == 0;
}

TClients::~TClients() {
    for (auto& process : FProcesses) {
        process->kill();
        process->waitForFinished(3000);
    }
    for (int i = 0; i < 50 && !FMarkers.empty(); ++i) {
        const QByteArray tree = RunProcess("swaymsg", {"-t", "get_tree"}, 5s).Out;
        std::erase_if(FMarkers,
                      [&](const QString& marker) { return !tree.contains(marker.toUtf8()); });
        if (!FMarkers.empty())
            QThread::msleep(100);
    }
}

void TClients::Start(const QString& program, const QStringList& arguments) {
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(program, arguments);
    process->waitForStarted(5000);
    FProcesses.push_back(std::move(process));
}

bool TClients::WaitForWindow(const QString& marker) {
    for (int i = 0; i < 100; ++i) {
        if (RunProcess("swaymsg", {"-t", "get_tree"}, 5s).Out.contains(marker.toUtf8())) {
            FMarkers.push_back(marker);
            return true;
        }
        QThread::msleep(100);
    }
    return false;
}

bool TClients::StartSolidTerminal(const QString& colour) {
    Start("foot", {"-o", "colors.background=" + colour, "-o", "colors.foreground=" + colour, "-o",
                   "cursor.color=" + colour + " " + colour, "sh", "-c", "sleep 600"});
    return WaitForWindow("\"app_id\": \"foot\"");
}

TRecorderRun::TRecorderRun(const QStringList& arguments) {
    FProcess.start(QString::fromStdString((BinDir() / "vardocle-record").string()), arguments);
    FProcess.waitForStarted(5000);
}

TRecorderRun::~TRecorderRun() {
    if (FProcess.state() != QProcess::NotRunning) {
        FProcess.kill();
        FProcess.waitForFinished(5000);
    }
}

void TRecorderRun::Read() {
    FErr += FProcess.readAllStandardError();
    FOut += FProcess.readAllStandardOutput();
    static const QRegularExpression progress(R"(elapsed (\d+\.\d) s)");
    auto matches = progress.globalMatch(QString::fromUtf8(FErr));
    while (matches.hasNext())
        FElapsed = matches.next().captured(1).toDouble();
}

double TRecorderRun::WaitForElapsed(double seconds, int limitMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (std::chrono::steady_clock::now() < end && FProcess.state() == QProcess::Running) {
        FProcess.waitForReadyRead(100);
        Read();
        if (FElapsed >= seconds)
            return FElapsed;
    }
    return -1;
}

int TRecorderRun::Finish(int limitMs) {
    if (!FProcess.waitForFinished(limitMs)) {
        FProcess.kill();
        FProcess.waitForFinished(5000);
        Read();
        return -1;
    }
    Read();
    return FProcess.exitStatus() == QProcess::NormalExit ? FProcess.exitCode() : -1;
}

std::vector<TDecodedFrame> DecodeFrames(const std::filesystem::path& file, int width, int height) {
    const QString name = QString::fromStdString(file.string());
    // A slot in which the screen did not change has no picture of its own:
    // decoding at the video's own rate gives every slot the one it shows.
    const auto probe = RunProcess("ffprobe",
                                  {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                   "stream=r_frame_rate:frame=pkt_dts", "-of", "csv=p=0", name},
                                  60s);
    QString rate;
    std::int64_t firstSlot = -1;
    for (const QByteArray& line : probe.Out.trimmed().split('\n')) {
        if (line.contains('/'))
            rate = QString::fromUtf8(line.trimmed());
        else if (firstSlot < 0 && !line.trimmed().isEmpty())
            firstSlot = line.trimmed().toLongLong();
    }
    if (rate.isEmpty() || firstSlot < 0)
        return {};
    const auto pictures = RunProcess("ffmpeg",
                                     {"-v", "error", "-i", name, "-map", "0:v:0", "-vf",
                                      "fps=" + rate, "-f", "rawvideo", "-pix_fmt", "rgb24", "-"},
                                     120s);
    std::vector<TDecodedFrame> frames;
    const qsizetype size = static_cast<qsizetype>(width) * height * 3;
    for (qsizetype i = 0; (i + 1) * size <= pictures.Out.size(); ++i)
        frames.push_back({firstSlot + i, pictures.Out.mid(i * size, size)});
    return frames;
}

std::uint32_t PixelAt(const TDecodedFrame& frame, int width, int x, int y) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(frame.Rgb.constData()) +
                    (static_cast<qsizetype>(y) * width + x) * 3;
    return (std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) | p[2];
}

bool Near(std::uint32_t colour, std::uint32_t expected, int tolerance) {
    for (int shift : {0, 8, 16}) {
        const int a = static_cast<int>((colour >> shift) & 0xFF);
        const int b = static_cast<int>((expected >> shift) & 0xFF);
        if (a - b > tolerance || b - a > tolerance)
            return false;
    }
    return true;
}

} // namespace vardocle::test
