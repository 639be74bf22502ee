#include "recovery/RecordingRepair.h"

#include "engine/SoundMerge.h"
#include "platform/avifile/MiniVFW.h"
#include "platform/base/Errors.h"
#include "platform/base/Paths.h"
#include "recovery/AviChunkScanner.h"
#include "recovery/AviRebuild.h"
#include "recovery/SafeReplace.h"
#include "recovery/WavRepair.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <thread>

namespace vardocle {

namespace {

namespace fs = std::filesystem;

// No sound card's clock is this far off the wall clock; sound that differs
// more from its video ended early or late for another reason and is copied
// as it is.
constexpr double kMaxClockError = 0.01;
// An already merged sound holds about as much as its sound file (the fit to
// the video changes it by a fraction of a percent).
constexpr double kMergedShare = 0.9;
// A sound file that was cut off lost what its recorder still held, at most
// about a second; a shorter sound than that ended early for another reason.
constexpr double kLostSoundSeconds = 1.5;

class TReportWriter {
public:
    explicit TReportWriter(TRepairReport& report) : FReport(report) {}
    void Line(const std::string& chinese, const std::string& english) {
        FReport.Chinese += chinese + "\n";
        FReport.English += english + "\n";
    }
    void Fail(const std::string& chinese, const std::string& english) {
        Line(chinese, english);
        FReport.Outcome = TRepairOutcome::Failed;
    }

private:
    TRepairReport& FReport;
};

bool Exists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path, ignored));
}

std::string Seconds(std::int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(ms) / 1000.0);
    return text;
}

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

std::string ChineseQuoted(const std::string& path) {
    return "“" + path + "”";
}

bool HasSoundStream(const TAviScan& scan, std::int64_t& bytes) {
    bytes = 0;
    bool found = false;
    for (std::size_t i = 0; i < scan.Streams.size(); ++i) {
        if (scan.Streams[i].Type != streamtypeAUDIO)
            continue;
        for (const TAviChunk& chunk : scan.Chunks)
            if (chunk.Stream == i)
                bytes += chunk.Size;
        found = true;
    }
    return found;
}

// Wall-clock seconds per second of sound, where the sound's length can be
// measured against the video's; 0 where it cannot.
double MeasuredClockRatio(std::int64_t videoMs, const TWavInspection& wav) {
    const double sound = wav.Seconds();
    const double video = static_cast<double>(videoMs) / 1000.0;
    if (sound <= 0 || video <= 0)
        return 0;
    const double ratio = video / sound;
    if (std::abs(ratio - 1.0) > kMaxClockError)
        return 0;
    // A sound file that was cut off lost up to a second of its end, so only a
    // sound longer than its video shows how fast the card ran; a completed
    // one ended with the video.
    return wav.HeaderComplete || sound > video ? ratio : 0;
}

// Merges on a helper thread so that the merge's own progress can be shown
// within the repair's.
bool MergeWithProgress(const std::string& avi, const std::string& wav, TSoundMergeOptions options,
                       std::atomic<int>* progress, int from, std::string& error) {
    std::atomic<int> merged{0};
    std::atomic<bool> finished{false};
    options.Progress = &merged;
    bool ok = false;
    std::thread worker([&] {
        ok = MergeSoundInto(avi, wav, options, error);
        finished = true;
    });
    while (progress && !finished) {
        progress->store(from + (100 - from) * merged.load() / 100);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    worker.join();
    return ok;
}

class TRepair {
public:
    TRepair(const std::string& avi, std::atomic<int>* progress, TRepairReport& report)
        : FAvi(avi), FWav(ChangeFileExt(avi, ".Wav")), FMerging(MergeOutputName(avi)),
          FProgress(progress), FReport(report), FOut(report) {}

    void Run() {
        SetProgress(0);
        if (!RepairVideo())
            return;
        RemoveUnfinishedMerge();
        if (Exists(FWav))
            RepairSound();
        else if (FReport.Outcome == TRepairOutcome::Repaired && !FHadSound)
            FOut.Line("旁边没有声音文件 " + ChineseQuoted(FWav) + "，视频没有声音",
                      "No sound file " + Quoted(FWav) + " lies beside it; the video has no sound");
        if (FReport.Outcome != TRepairOutcome::Failed)
            SetProgress(100);
    }

private:
    void SetProgress(int percent) {
        if (FProgress)
            FProgress->store(percent);
    }

    bool RepairVideo() {
        const TFileBytes file(FAvi);
        if (!file.Opened()) {
            const std::string reason = SystemErrorText(file.Error());
            FOut.Fail("无法打开 " + ChineseQuoted(FAvi) + "：" + reason,
                      "Cannot open " + Quoted(FAvi) + ": " + reason);
            return false;
        }
        const TAviScan scan = ScanAvi(file);
        if (!scan.IsAvi || !scan.Problem.empty()) {
            FOut.Fail(ChineseQuoted(FAvi) + " 无法修复：" +
                          (scan.FileSize == 0 ? "文件是空的，还没有录下任何画面"
                           : scan.IsAvi       ? "没有可读的视频内容"
                                              : "不是 AVI 文件") +
                          "，文件保持不变",
                      Quoted(FAvi) + " cannot be repaired: " + scan.Problem +
                          "; the file was left as it was");
            return false;
        }
        FHadSound = HasSoundStream(scan, FSoundBytes);
        FReport.VideoMs = ScannedVideoMs(scan);
        if (scan.Complete()) {
            FOut.Line(
                ChineseQuoted(FAvi) + " 是完整的视频文件（" + Seconds(FReport.VideoMs) + " 秒）",
                Quoted(FAvi) + " is a complete video file (" + Seconds(FReport.VideoMs) + " s)");
            FReport.Outcome = TRepairOutcome::AlreadyComplete;
            return true;
        }
        std::string zh = ChineseQuoted(FAvi) + " 没有写完：找到 " +
                         std::to_string(scan.ChunkCount(0)) + " 帧，" + Seconds(FReport.VideoMs) +
                         " 秒";
        std::string en = Quoted(FAvi) + " was not completed: found " +
                         std::to_string(scan.ChunkCount(0)) + " frames, " +
                         Seconds(FReport.VideoMs) + " s";
        if (scan.ChunkCutOff) {
            zh += "；末尾被截断的一块已丢弃";
            en += "; a chunk cut off at the end was dropped";
        }
        if (scan.GarbageOffset >= 0) {
            zh += "；从第 " + std::to_string(scan.GarbageOffset) + " 字节起的 " +
                  std::to_string(scan.GarbageBytes) + " 字节无法识别，已略去";
            en += "; " + std::to_string(scan.GarbageBytes) + " unreadable bytes from byte " +
                  std::to_string(scan.GarbageOffset) + " were left out";
        }
        FOut.Line(zh, en);
        TSafeReplace replace(FAvi, ".repairing");
        TRebuildResult rebuilt;
        std::string error;
        const int videoShare = Exists(FWav) ? 40 : 100;
        if (!RebuildAvi(file, scan, replace.NewFile(), rebuilt, error, FProgress, 0, videoShare) ||
            !replace.Commit(error)) {
            FOut.Fail("无法修复 " + ChineseQuoted(FAvi) + "：" + error + "；原文件保持不变",
                      "Cannot repair " + Quoted(FAvi) + ": " + error +
                          "; the file was left as it was");
            return false;
        }
        FReport.VideoMs = rebuilt.VideoMs;
        FReport.Outcome = TRepairOutcome::Repaired;
        FOut.Line("已重建索引和文件头：" + std::to_string(rebuilt.Frames) + " 幅画面，" +
                      Seconds(rebuilt.VideoMs) + " 秒",
                  "Rebuilt the index and the header: " + std::to_string(rebuilt.Frames) +
                      " pictures, " + Seconds(rebuilt.VideoMs) + " s");
        return true;
    }

    // A merge that was cut off leaves a partial copy; the video and the sound
    // file it was made from are intact, so the merge is simply made again.
    void RemoveUnfinishedMerge() {
        if (!Exists(FMerging))
            return;
        std::error_code error;
        if (fs::remove(FMerging, error)) {
            FOut.Line("已删除未完成的合并文件 " + ChineseQuoted(FMerging),
                      "Removed the unfinished merge " + Quoted(FMerging));
            if (FReport.Outcome == TRepairOutcome::AlreadyComplete)
                FReport.Outcome = TRepairOutcome::Repaired;
        } else {
            FOut.Fail(
                "无法删除未完成的合并文件 " + ChineseQuoted(FMerging) + "：" + error.message(),
                "Cannot remove the unfinished merge " + Quoted(FMerging) + ": " + error.message());
        }
    }

    void RepairSound() {
        const TWavInspection wav = InspectWav(FWav);
        if (wav.NoSound) {
            if (FReport.Outcome == TRepairOutcome::AlreadyComplete)
                FReport.Outcome = TRepairOutcome::Repaired;
            RemoveWav("声音文件里还没有声音，已删除 ",
                      "The sound file holds no sound yet; removed ");
            return;
        }
        if (!wav.Readable) {
            FOut.Fail("声音文件 " + ChineseQuoted(FWav) + " 无法读取，保持不变",
                      "The sound file " + Quoted(FWav) + " cannot be read (" + wav.Problem +
                          "); it was left as it was");
            return;
        }
        if (FReport.Outcome == TRepairOutcome::AlreadyComplete)
            FReport.Outcome = TRepairOutcome::Repaired;
        if (FHadSound) {
            // Cut off after the merge replaced the video: the sound is in it.
            if (FSoundBytes >= kMergedShare * static_cast<double>(wav.DataBytes)) {
                FReport.SoundMerged = true;
                RemoveWav("声音已在视频中，已删除多余的声音文件 ",
                          "The sound is already in the video; removed the leftover sound file ");
            } else {
                FOut.Fail("视频已有一条声音，而 " + ChineseQuoted(FWav) +
                              " 的声音更长；声音文件保持不变",
                          "The video already has a sound stream, shorter than the sound in " +
                              Quoted(FWav) + "; the sound file was left as it was");
            }
            return;
        }
        if (wav.DataBytes == 0) {
            RemoveWav("声音文件没有声音，已删除 ", "The sound file holds no sound; removed ");
            return;
        }
        std::string error;
        std::int64_t soundMs = std::llround(wav.Seconds() * 1000);
        if (!wav.HeaderComplete) {
            // The lost end becomes silence, so the sound lasts as long as its
            // video, as after a clean Stop; what is there stays in step.
            const std::int64_t silence = LostSoundFrames(wav);
            if (!RepairWav(FWav, wav, error, silence)) {
                FOut.Fail("无法修复声音文件 " + ChineseQuoted(FWav) + "：" + error +
                              "；声音文件保持不变",
                          "Cannot repair the sound file " + Quoted(FWav) + ": " + error +
                              "; it was left as it was");
                return;
            }
            FOut.Line(
                "已修复声音文件的文件头：" + Seconds(std::llround(wav.Seconds() * 1000)) + " 秒" +
                    (wav.CutBytes > 0 ? "（末尾半个采样已丢弃）" : ""),
                "Rebuilt the sound file's header: " + Seconds(std::llround(wav.Seconds() * 1000)) +
                    " s" + (wav.CutBytes > 0 ? " (half a sample at the end dropped)" : ""));
            soundMs += silence * 1000 / wav.SampleRate;
            if (silence > 0) {
                const std::string padded = Seconds(silence * 1000 / wav.SampleRate);
                FOut.Line("声音末尾丢失的 " + padded + " 秒以静音补齐",
                          "The lost last " + padded + " s of sound were filled with silence");
            }
        }
        TSoundMergeOptions options;
        options.RecordedDurationMs = FReport.VideoMs;
        options.SoundClockRatio = MeasuredClockRatio(FReport.VideoMs, wav);
        if (!MergeWithProgress(FAvi, FWav, options, FProgress, 40, error)) {
            FOut.Fail("合并声音失败：" + error + "；视频和声音文件 " + ChineseQuoted(FWav) +
                          " 都保持不变",
                      "Merging the sound failed: " + error + "; the video and the sound file " +
                          Quoted(FWav) + " were left as they were");
            return;
        }
        FReport.SoundMerged = true;
        FOut.Line("已合并声音（" + Seconds(soundMs) + " 秒）" +
                      (options.SoundClockRatio > 0 ? "，并按视频时长校准" : ""),
                  "Merged the sound (" + Seconds(soundMs) + " s)" +
                      (options.SoundClockRatio > 0 ? ", fitted to the video's length" : ""));
        RemoveWav("已删除声音文件 ", "Removed the sound file ");
    }

    std::int64_t LostSoundFrames(const TWavInspection& wav) const {
        const double missing = static_cast<double>(FReport.VideoMs) / 1000.0 - wav.Seconds();
        if (missing <= 0 || missing > kLostSoundSeconds)
            return 0;
        return std::llround(missing * wav.SampleRate);
    }

    void RemoveWav(const std::string& chinese, const std::string& english) {
        std::error_code error;
        if (fs::remove(FWav, error))
            FOut.Line(chinese + ChineseQuoted(FWav), english + Quoted(FWav));
        else
            FOut.Fail("无法删除声音文件 " + ChineseQuoted(FWav) + "：" + error.message(),
                      "Cannot remove the sound file " + Quoted(FWav) + ": " + error.message());
    }

    const std::string FAvi;
    const std::string FWav;
    const std::string FMerging;
    std::atomic<int>* FProgress;
    TRepairReport& FReport;
    TReportWriter FOut;
    bool FHadSound = false;
    std::int64_t FSoundBytes = 0;
};

} // namespace

bool NeedsRepair(const std::string& AviFileName) {
    if (Exists(ChangeFileExt(AviFileName, ".Wav")) || Exists(MergeOutputName(AviFileName)))
        return true;
    const TFileBytes file(AviFileName);
    if (!file.Opened())
        return false;
    TAviScanLimits limits;
    limits.HeadersOnly = true;
    return !ScanAvi(file, limits).Complete();
}

TRepairReport RepairRecording(const std::string& AviFileName, std::atomic<int>* Progress) {
    TRepairReport report;
    try {
        TRepair(AviFileName, Progress, report).Run();
    } catch (const std::exception& error) {
        TReportWriter(report).Fail("修复 " + ChineseQuoted(AviFileName) + " 时出错：" +
                                       error.what(),
                                   "Repairing " + Quoted(AviFileName) + " failed: " + error.what());
    }
    return report;
}

} // namespace vardocle
