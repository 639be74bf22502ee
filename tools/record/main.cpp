// vardocle-record: records the screen into an AVI file from the command line,
// on the same engine as the recorder's window.
#include "engine/MixedSoundLibrary.h"
#include "platform/base/Errors.h"
#include "platform/base/WriteSignals.h"
#include "platform/screen/X11Screen.h"
#include "recording/DiskSpace.h"
#include "recording/WallClockWait.h"
#include "recovery/DiskFullEnding.h"
#include "recovery/RecordingRepair.h"
#include "tools/record/ExportCommand.h"
#include "tools/record/PickArea.h"
#include "tools/record/RecordOptions.h"
#include "tools/record/RecordSession.h"
#include "tools/record/SignalNotifier.h"

#include <QApplication>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>

using namespace vardocle;

namespace {

void PrintError(const std::string& chinese, const std::string& english) {
    std::fprintf(stderr, "错误：%s / Error: %s\n", chinese.c_str(), english.c_str());
}

std::string ChineseFor(const TRecordError& error, std::int32_t framesWritten) {
    if (error.DiskFull() && error.Stage != TRecordError::TStage::Open)
        return "磁盘已满，录制已停止";
    switch (error.Stage) {
    case TRecordError::TStage::Open:
        return error.ErrorNumber != 0
                   ? "无法创建视频文件（" + ChineseWriteErrorReason(error.ErrorNumber) + "）"
                   : "无法创建视频文件";
    case TRecordError::TStage::Frame:
        // With no frame there is nothing to play: saying otherwise misleads.
        return framesWritten > 0 ? "录制已停止（已录下的部分仍可播放）"
                                 : "录制已停止，没有录下任何画面";
    default:
        return "无法完成视频文件";
    }
}

const char* EnglishFor(TSoundProblem problem) {
    switch (problem) {
    case TSoundProblem::NoDevice:
        return "no usable recording device, the recording has no sound";
    case TSoundProblem::DeviceLost:
        return "the recording device went away, the sound ends there";
    case TSoundProblem::WriteFailed:
        return "the sound file could not be written, the sound ends at the failure";
    case TSoundProblem::SizeLimit:
        return "the sound file reached its size limit, the rest of the sound was cut";
    }
    return "";
}

// Repairs without a screen or sound: prints what was found and done.
// Exit status: 0 done, 1 nothing was changed, 3 the video was repaired and
// its sound file left.
int Repair(const std::string& file, bool removeEmpty) {
    TRepairOptions options;
    options.RemoveEmpty = removeEmpty;
    const TRepairReport report = RepairRecording(file, nullptr, options);
    std::fputs(report.Chinese.c_str(), stdout);
    std::fputs(report.English.c_str(), stdout);
    std::fflush(stdout);
    return RepairExitStatus(report.Outcome);
}

} // namespace

int main(int argc, char** argv) {
    IgnoreWriteSignals();
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (IsExportCommand(arguments))
        return RunExportCommand(arguments);
    TRecordOptions options;
    if (const auto mistake = ParseRecordOptions(arguments, options)) {
        PrintError(mistake->Chinese + "（见 --help）", mistake->English + " (see --help)");
        return 2;
    }
    if (options.Help) {
        std::fputs(RecordUsage().c_str(), stdout);
        std::fputs(ExportUsage().c_str(), stdout);
        return 0;
    }
    if (!options.RepairFile.empty())
        return Repair(options.RepairFile, options.RemoveEmpty);
    // A start time that passed today is refused rather than taken for tomorrow.
    std::optional<QDateTime> startAt;
    if (options.AllDay.StartAt) {
        startAt = TodayAt(*options.AllDay.StartAt);
        if (*startAt <= QDateTime::currentDateTime()) {
            const std::string time = ClockTimeText(*options.AllDay.StartAt);
            PrintError("开始时间 " + time + " 今天已经过去",
                       "the start time " + time + " has already passed today");
            return 2;
        }
    }
    // Picking needs widgets; a recording without it stays a plain Qt program.
    std::unique_ptr<QCoreApplication> application;
    if (options.Area.Pick) {
        if (ChooseScreenBackend(options.Screen) != TScreenBackend::X11) {
            PrintError("在 Wayland 桌面上不能在此选择范围：窗口和显示器在桌面自己的对话框中选择，"
                       "区域请写成 region:X,Y,宽,高",
                       "an area cannot be picked here on a Wayland desktop: windows and monitors "
                       "are chosen in the desktop's own dialog, a region is given as "
                       "region:X,Y,W,H");
            return 2;
        }
        application = std::make_unique<QApplication>(argc, argv);
        const std::optional<TCaptureArea> chosen = PickAreaOnScreen(options.Area);
        if (!chosen) {
            PrintError("选择已取消，没有录制", "the choice was cancelled: nothing was recorded");
            return 1;
        }
        options.Area = *chosen;
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }

    TRecordSession session(options, application.get());
    if (options.SoundChoice == TSoundChoice::SystemSound ||
        options.SoundChoice == TSoundChoice::Both) {
        std::string whyNot;
        session.SoundLibrary = CreateSoundLibraryFor(
            options.SoundChoice, whyNot, {},
            [](const std::string& chinese, const std::string& english) {
                std::fprintf(stderr, "注意：%s / Note: %s\n", chinese.c_str(), english.c_str());
            });
        if (!session.SoundLibrary) {
            PrintError(whyNot, "no sound server answers: only the microphone can be recorded");
            return 1;
        }
    }
    session.OnError = [&session](const TRecordError& error) {
        // After a full disk, the closing line says what became of the files.
        if (session.DiskFull() && error.Stage == TRecordError::TStage::Close)
            return;
        PrintError(ChineseFor(error, session.FramesWritten()), error.Message);
    };
    // Before the disk is full the recording ends as Stop ends it.
    TLowDiskWatch diskWatch;
    bool lowDiskStop = false;
    QTimer diskTimer;
    QObject::connect(&diskTimer, &QTimer::timeout, [&] {
        const auto room = session.Running() ? DiskRoomOf(session.AviFileName()) : std::nullopt;
        const auto action = room ? diskWatch.Check(*room) : TLowDiskWatch::TAction::None;
        if (action == TLowDiskWatch::TAction::Warn) {
            const TDiskText text = LowDiskWarning(*room, session.AviFileName());
            std::fprintf(stderr, "注意：%s / Note: %s\n", text.Chinese.c_str(),
                         text.English.c_str());
        } else if (action == TLowDiskWatch::TAction::Stop) {
            lowDiskStop = true;
            session.Stop();
        }
    });
    diskTimer.start(250);
    session.OnSegmentEnded = [](const TSegmentEnd& end) {
        std::fprintf(stderr, "%s：%s / %s: %s\n", end.Error.empty() ? "已保存" : "保存失败",
                     end.AviFileName.c_str(), end.Error.empty() ? "saved" : "failed",
                     end.AviFileName.c_str());
    };
    session.OnEnded = [&] {
        const std::string& output = session.AviFileName();
        const bool written = !session.Error() && std::filesystem::exists(output);
        // A file that was never made has had its one line already.
        if (session.Error() && session.Error()->Stage == TRecordError::TStage::Open) {
            application->exit(1);
            return;
        }
        if (session.DiskFull()) {
            const TKeptRecording kept = FinishAfterDiskFull(
                output, session.WavFileName(), session.VideoIncomplete(), TRepairHint::CommandLine);
            std::fprintf(stderr, "%s / %s\n", kept.Chinese.c_str(), kept.English.c_str());
            application->exit(1);
            return;
        }
        if (lowDiskStop) {
            const TDiskText text = LowDiskStopped(output);
            PrintError(text.Chinese, text.English);
            application->exit(1);
            return;
        }
        std::fprintf(stderr, "%s：%d 帧，%.1f 秒，%s / %s: %d frames, %.1f s, %s\n",
                     written ? "完成" : "失败", session.FramesWritten(),
                     session.RecordedMs() / 1000.0, output.c_str(), written ? "done" : "failed",
                     session.FramesWritten(), session.RecordedMs() / 1000.0, output.c_str());
        application->exit(written ? 0 : 1);
    };

    session.OnScreenGone = [](const std::string& reason) {
        std::fprintf(stderr, "注意：%s / Note: %s\n", reason.c_str(),
                     "the recorded window was closed: the recording was stopped and saved");
    };
    session.OnScreenNotice = [](const std::string& chinese, const std::string& english) {
        std::fprintf(stderr, "注意：%s / Note: %s\n", chinese.c_str(), english.c_str());
    };
    session.OnSoundProblem = [](TSoundProblem problem, const std::string& message) {
        std::fprintf(stderr, "注意：%s / Note: %s\n", message.c_str(), EnglishFor(problem));
    };

    // One notifier for every signal: they share one pipe. SIGUSR1 and SIGUSR2
    // pause and resume screen and sound together, as the recorder's window does.
    bool waiting = false;
    TSignalNotifier signalHandler(
        {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2}, [&](int signalNumber) {
            if (waiting && signalNumber != SIGUSR1 && signalNumber != SIGUSR2) {
                PrintError("定时录制已取消，没有录制", "the timed recording was cancelled");
                application->exit(1);
            } else if (signalNumber == SIGUSR1)
                session.Pause();
            else if (signalNumber == SIGUSR2)
                session.Resume();
            else
                session.Stop();
        });

    QTimer progress;
    std::unique_ptr<TWallClockWait> stopAt;
    const auto begin = [&]() -> bool {
        try {
            session.Start();
        } catch (const EFCreateError& error) {
            PrintError(error.ErrorNumber() != 0
                           ? "无法创建声音文件（" + ChineseWriteErrorReason(error.ErrorNumber()) +
                                 "）"
                           : std::string("无法创建声音文件"),
                       error.what());
            return false;
        } catch (const EAreaMissing& error) {
            PrintError(error.what(), "the area to record is not (wholly) on the screen");
            return false;
        } catch (const Exception& error) {
            PrintError("无法连接到屏幕（请检查 DISPLAY）", error.what());
            return false;
        }
        const char* screenName = ScreenBackendName(session.ScreenBackend());
        // On standard output: a failure to start stays the one line on standard error.
        std::printf("屏幕：%s / screen: %s\n", screenName, screenName);
        std::fflush(stdout);
        if (session.TransparentWindowsRecordedAnyway()) {
            const TScreenNotice notice = SeeThroughNotice(session.ScreenBackend());
            std::fprintf(stderr, "注意：%s / Note: %s\n", notice.Chinese, notice.English);
        }

        QObject::connect(&progress, &QTimer::timeout, [&] {
            session.RaiseOutline();
            if (session.Running())
                std::fprintf(stderr, "已写入 %d 帧，已录制 %.1f 秒 / frames %d, elapsed %.1f s\n",
                             session.FramesWritten(), session.RecordedMs() / 1000.0,
                             session.FramesWritten(), session.RecordedMs() / 1000.0);
        });
        progress.start(1000);
        // A precise timer: Qt's default may fire 5 % late, a third of a second on
        // a six-second recording.
        if (options.Seconds)
            QTimer::singleShot(static_cast<int>(*options.Seconds * 1000), Qt::PreciseTimer,
                               application.get(), [&] { session.Stop(); });
        if (options.AllDay.Until)
            stopAt = std::make_unique<TWallClockWait>(
                NextAt(*options.AllDay.Until, QDateTime::currentDateTime()),
                [&] { session.Stop(); });
        return true;
    };
    if (!startAt)
        return begin() ? application->exec() : 1;
    const std::string time = ClockTimeText(*options.AllDay.StartAt);
    std::fprintf(stderr, "等待到今天 %s 开始录制 / waiting until %s today to start\n", time.c_str(),
                 time.c_str());
    waiting = true;
    const TWallClockWait wait(*startAt, [&] {
        waiting = false;
        if (!begin())
            application->exit(1);
    });
    return application->exec();
}
