#include "bench/peers/PeerRecorders.h"

#include "tests/support/TestSupport.h"

#include <QFile>
#include <QTextStream>

#include <fstream>

namespace vardocle::test {

namespace fs = std::filesystem;

namespace {

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// simplescreenrecorder reads its whole set-up from a file: no window, no
// hotkeys, no date in the file name.
void WriteSsrSettings(const fs::path& file, int rate, const fs::path& output,
                      const TPeerSizes& sizes) {
    std::ofstream(file) << "[input]\naudio_enabled=false\nvideo_area=screen\n"
                        << "video_frame_rate=" << rate << "\n"
                        << "video_record_cursor=true\nvideo_scale="
                        << (sizes.Scaled() ? "true" : "false") << "\n"
                        << "video_scaled_w=" << sizes.Width << "\nvideo_scaled_h=" << sizes.Height
                        << "\n"
                        << "[output]\ncontainer=other\ncontainer_av=avi\n"
                        << "file=" << output.string() << "\n"
                        << "add_timestamp=false\nseparate_files=false\nvideo_codec=h264\n"
                        << "video_codec_av=libx264\nvideo_h264_crf=23\nvideo_h264_preset=0\n"
                        << "[record]\nhotkey_enable=false\nshow_recording_area=false\n"
                        << "sound_notifications_enable=false\n[welcome]\nskip_page=true\n";
}

QString ShellQuote(const QString& word) {
    QString quoted = word;
    quoted.replace('\'', "'\\''");
    return '\'' + quoted + '\'';
}

} // namespace

const char* PeerName(TPeer peer) {
    switch (peer) {
    case TPeer::Vardocle:
        return "vardocle-record";
    case TPeer::Ffmpeg:
        return "ffmpeg";
    case TPeer::Ssr:
        return "simplescreenrecorder";
    }
    return "";
}

TPeerRun RecordWith(TPeer peer, int rate, int seconds, const fs::path& output, const fs::path& work,
                    const TPeerSizes& sizes) {
    fs::create_directories(work);
    const fs::path timing = work / "time.txt";
    const QString time = "/usr/bin/time -f '%M %U %S' -o " + ShellQuote(Q(timing)) + " ";
    QString command;
    switch (peer) {
    case TPeer::Vardocle:
        command = time + ShellQuote(Q(BinDir() / "vardocle-record")) + " " + ShellQuote(Q(output)) +
                  QString(" --seconds %1 --rate %2 --size %3x%4 --cursor on --no-sound")
                      .arg(seconds)
                      .arg(rate)
                      .arg(sizes.Width)
                      .arg(sizes.Height);
        break;
    case TPeer::Ffmpeg:
        // At the screen's own size nothing is scaled, as the others do.
        command =
            time + QString("ffmpeg -nostdin -v error -f x11grab -framerate %1 -draw_mouse 1 "
                           "-video_size %2x%3 -i %4 -t %5 %6"
                           "-c:v libx264 -preset ultrafast -bf 0 -crf 23 -pix_fmt yuv420p "
                           "-y %7")
                       .arg(rate)
                       .arg(sizes.ScreenWidth)
                       .arg(sizes.ScreenHeight)
                       .arg(qEnvironmentVariable("DISPLAY"))
                       .arg(seconds)
                       .arg(sizes.Scaled()
                                ? QString("-vf scale=%1:%2 ").arg(sizes.Width).arg(sizes.Height)
                                : QString())
                       .arg(ShellQuote(Q(output)));
        break;
    case TPeer::Ssr: {
        const fs::path settings = work / "ssr.conf";
        WriteSsrSettings(settings, rate, output, sizes);
        // It ends on its standard input: save the recording, then quit.
        command = QString("(sleep %1; echo record-save; sleep 1; echo quit) | HOME=%2 ")
                      .arg(seconds)
                      .arg(ShellQuote(Q(work))) +
                  time +
                  QString("simplescreenrecorder --settingsfile=%1 --no-systray --start-hidden "
                          "--start-recording --logfile=%2")
                      .arg(ShellQuote(Q(settings)), ShellQuote(Q(work / "ssr.log")));
        break;
    }
    }
    TPeerRun run;
    const auto result = RunProcess("sh", {"-c", command}, std::chrono::seconds(seconds + 60));
    QFile file(Q(timing));
    if (result.ExitCode != 0 || !file.open(QIODevice::ReadOnly)) {
        run.Error = QString::fromUtf8(result.Err.right(400));
        return run;
    }
    QTextStream in(&file);
    double peakKb = 0;
    double user = 0;
    double system = 0;
    in >> peakKb >> user >> system;
    run.CpuSeconds = user + system;
    run.PeakMb = peakKb / 1024;
    const auto stream = ProbeStream(output, "video");
    run.VideoSeconds = stream["duration"].toString().toDouble();
    std::error_code missing;
    run.Bytes = static_cast<double>(fs::file_size(output, missing));
    run.Ok = run.VideoSeconds > 0;
    if (!run.Ok)
        run.Error = "no video in " + Q(output);
    return run;
}

} // namespace vardocle::test
