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
void WriteSsrSettings(const fs::path& file, int rate, const fs::path& output) {
    std::ofstream(file) << "[input]\naudio_enabled=false\nvideo_area=screen\n"
                        << "video_frame_rate=" << rate << "\n"
                        << "video_record_cursor=true\nvideo_scale=true\n"
                        << "video_scaled_w=1024\nvideo_scaled_h=768\n"
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

TPeerRun RecordWith(TPeer peer, int rate, int seconds, const fs::path& output,
                    const fs::path& work) {
    fs::create_directories(work);
    const fs::path timing = work / "time.txt";
    const QString time = "/usr/bin/time -f '%M %U %S' -o " + ShellQuote(Q(timing)) + " ";
    QString command;
    switch (peer) {
    case TPeer::Vardocle:
        command = time + ShellQuote(Q(BinDir() / "vardocle-record")) + " " + ShellQuote(Q(output)) +
                  QString(" --seconds %1 --rate %2 --size 1024x768 --cursor on --no-sound")
                      .arg(seconds)
                      .arg(rate);
        break;
    case TPeer::Ffmpeg:
        command = time + QString("ffmpeg -nostdin -v error -f x11grab -framerate %1 -draw_mouse 1 "
                                 "-video_size 1920x1080 -i %2 -t %3 -vf scale=1024:768 "
                                 "-c:v libx264 -preset ultrafast -bf 0 -crf 23 -pix_fmt yuv420p "
                                 "-y %4")
                             .arg(rate)
                             .arg(qEnvironmentVariable("DISPLAY"))
                             .arg(seconds)
                             .arg(ShellQuote(Q(output)));
        break;
    case TPeer::Ssr: {
        const fs::path settings = work / "ssr.conf";
        WriteSsrSettings(settings, rate, output);
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
