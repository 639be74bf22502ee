#include "recovery/RecordingRepair.h"

#include "engine/SoundMerge.h"
#include "platform/avifile/MiniVFW.h"
#include "platform/base/Errors.h"
#include "platform/base/Paths.h"
#include "recovery/AviChunkScanner.h"
#include "recovery/AviRebuild.h"
#include "recovery/PlayableContent.h"
#include "recovery/RepairFiles.h"
#include "recovery/SafeReplace.h"
#include "recovery/WavRepair.h"

#include <algorithm>
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
// Less sound than this with no frame is a recording stopped as it began.
constexpr double kNothingRecordedSeconds = 1.0;
// A video file holding a frame is larger than its headers; only smaller
// ones are read through to tell whether anything was recorded.
constexpr std::int64_t kLargestEmptyVideo = std::int64_t{256} * 1024;

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

// No frame reached the file and hardly any sound its sound file: the
// recorder was stopped in its first moment.
bool NothingIn(const TAviScan& scan, const std::string& wavFileName) {
    const bool noFrame =
        scan.FileSize == 0 ||
        (scan.IsAvi &&
         std::none_of(scan.Chunks.begin(), scan.Chunks.end(), [&scan](const TAviChunk& chunk) {
             return chunk.Size > 0 && chunk.Stream < scan.Streams.size() &&
                    scan.Streams[chunk.Stream].Type == streamtypeVIDEO;
         }));
    if (!noFrame || !Exists(wavFileName))
        return noFrame;
    const TWavInspection wav = InspectWav(wavFileName);
    return wav.NoSound || (wav.Readable && wav.Seconds() < kNothingRecordedSeconds);
}

class TRepair {
public:
    TRepair(const std::string& name, std::atomic<int>* progress, const TRepairOptions& options,
            TRepairReport& report)
        : FName(name), FAvi(LinkTarget(name)), FWav(ChangeFileExt(name, ".Wav")),
          FProgress(progress), FOptions(options), FReport(report), FOut(report) {}

    void Run() {
        SetProgress(0);
        std::string chinese;
        if (const std::string kind = NotARegularFile(FName, chinese); !kind.empty()) {
            FOut.Fail(ChineseQuoted(FName) + " 无法修复：它" + chinese + "，保持不变",
                      Quoted(FName) + " cannot be repaired: " + kind + "; it was left as it was");
            return;
        }
        if (!RepairVideo())
            return;
        RemoveUnfinishedMerges();
        if (Exists(FWav))
            RepairSound();
        else if (FReport.Outcome == TRepairOutcome::Repaired && !FHadSound)
            FOut.Line("旁边没有声音文件 " + ChineseQuoted(FWav) + "，视频没有声音",
                      "No sound file " + Quoted(FWav) + " lies beside it; the video has no sound");
        if (FReport.Outcome != TRepairOutcome::Failed) {
            RemoveStaleCopies();
            SetProgress(100);
        }
    }

private:
    void SetProgress(int percent) {
        if (FProgress)
            FProgress->store(percent);
    }

    void Changed() {
        if (FReport.Outcome == TRepairOutcome::AlreadyComplete)
            FReport.Outcome = TRepairOutcome::Repaired;
    }

    void HandleNothingRecorded() {
        if (!FOptions.RemoveEmpty) {
            FReport.Outcome = TRepairOutcome::NothingRecorded;
            FOut.Line(ChineseQuoted(FName) +
                          " 里什么也没有录下来（录制刚开始就中断了），文件保持不变",
                      Quoted(FName) + ": nothing was recorded (the recording was cut off as it "
                                      "began); the files were left as they were (--remove-empty "
                                      "removes them)");
            return;
        }
        std::vector<std::string> files{FName, FWav, MergeOutputName(FName), FName + ".repairing",
                                       FWav + ".repairing"};
        if (FAvi != FName)
            files.push_back(FAvi);
        RemoveExisting(files);
        if (Exists(FName)) {
            FOut.Fail("无法删除 " + ChineseQuoted(FName), "Cannot remove " + Quoted(FName));
            return;
        }
        FReport.Outcome = TRepairOutcome::Removed;
        FOut.Line(ChineseQuoted(FName) + " 里什么也没有录下来，已删除",
                  Quoted(FName) + ": nothing was recorded; removed");
    }

    // What was found wrong with the video, in plain words.
    void DescribeDamage(const TAviScan& scan) {
        std::string zh =
            ChineseQuoted(FName) +
            (scan.SizesComplete && scan.HaveIndex ? " 已录完，但有损坏" : " 没有正常结束录制") +
            "：找到 " + std::to_string(scan.ChunkCount(0)) + " 帧，" + Seconds(FReport.VideoMs) +
            " 秒";
        std::string en = Quoted(FName) +
                         (scan.SizesComplete && scan.HaveIndex ? " was finished but is damaged"
                                                               : " was not completed") +
                         ": found " + std::to_string(scan.ChunkCount(0)) + " frames, " +
                         Seconds(FReport.VideoMs) + " s";
        if (scan.ChunkCutOff) {
            zh += "；末尾不完整的一段已略去";
            en += "; a chunk cut off at the end was dropped";
        }
        constexpr std::size_t kNamed = 3;
        for (std::size_t i = 0; i < scan.Skipped.size() && i < kNamed; ++i) {
            zh += "；从第 " + std::to_string(scan.Skipped[i].Offset) + " 字节起跳过了 " +
                  std::to_string(scan.Skipped[i].Bytes) + " 字节的损坏数据";
            en += "; skipped " + std::to_string(scan.Skipped[i].Bytes) +
                  " bytes of damaged data from byte " + std::to_string(scan.Skipped[i].Offset);
        }
        if (scan.Skipped.size() > kNamed) {
            zh += "；共 " + std::to_string(scan.Skipped.size()) + " 处损坏，" +
                  std::to_string(scan.SkippedBytes()) + " 字节";
            en += "; " + std::to_string(scan.Skipped.size()) + " damaged stretches, " +
                  std::to_string(scan.SkippedBytes()) + " bytes in all";
        }
        if (scan.IndexMismatch) {
            zh += "；播放器用来跳转的目录与内容对不上";
            en += "; its index does not match its chunks";
        }
        if (scan.GarbageOffset >= 0) {
            zh += "；从第 " + std::to_string(scan.GarbageOffset) + " 字节起的 " +
                  std::to_string(scan.GarbageBytes) + " 字节无法识别，已略去";
            en += "; " + std::to_string(scan.GarbageBytes) + " unreadable bytes from byte " +
                  std::to_string(scan.GarbageOffset) + " were left out";
        }
        FOut.Line(zh, en);
    }

    // False (and the reason) when the rebuilt file would let a player play
    // less than the original as it stands.
    bool KeepsEverything(const std::string& rebuilt, std::string& zh, std::string& en) const {
        const TPlayableContent before = MeasurePlayable(FAvi);
        const TPlayableContent after = MeasurePlayable(rebuilt);
        if (!before.Readable)
            return true;
        if (after.VideoSlots < before.VideoSlots) {
            zh = "修复后能播放的画面（" + std::to_string(after.VideoSlots) + " 帧）比原文件（" +
                 std::to_string(before.VideoSlots) + " 帧）少";
            en = "the repaired video would play fewer frames (" + std::to_string(after.VideoSlots) +
                 ") than the original does (" + std::to_string(before.VideoSlots) + ")";
            return false;
        }
        if (after.SoundSamples < before.SoundSamples) {
            const auto ms = [](const TPlayableContent& content) {
                return content.SoundRate > 0 ? content.SoundSamples * 1000 / content.SoundRate : 0;
            };
            zh = "修复后能播放的声音（" + Seconds(ms(after)) + " 秒）比原文件（" +
                 Seconds(ms(before)) + " 秒）少";
            en = "the repaired video would play less sound (" + Seconds(ms(after)) +
                 " s) than the original does (" + Seconds(ms(before)) + " s)";
            return false;
        }
        return true;
    }

    bool RepairVideo() {
        const TFileBytes file(FAvi);
        if (!file.Opened()) {
            const std::string reason = SystemErrorText(file.Error());
            FOut.Fail("无法打开 " + ChineseQuoted(FName) + "：" + reason,
                      "Cannot open " + Quoted(FName) + ": " + reason);
            return false;
        }
        const TAviScan scan = ScanAvi(file);
        if (NothingIn(scan, FWav)) {
            HandleNothingRecorded();
            return false;
        }
        if (!scan.IsAvi || !scan.Problem.empty()) {
            FOut.Fail(ChineseQuoted(FName) + " 无法修复：" +
                          (scan.IsAvi ? "没有可读的视频内容" : "不是 AVI 文件") + "，文件保持不变",
                      Quoted(FName) + " cannot be repaired: " + scan.Problem +
                          "; the file was left as it was");
            return false;
        }
        FHadSound = HasSoundStream(scan, FSoundBytes);
        FReport.VideoMs = ScannedVideoMs(scan);
        if (scan.Complete()) {
            FOut.Line(
                ChineseQuoted(FName) + " 是完整的视频文件（" + Seconds(FReport.VideoMs) + " 秒）",
                Quoted(FName) + " is a complete video file (" + Seconds(FReport.VideoMs) + " s)");
            FReport.Outcome = TRepairOutcome::AlreadyComplete;
            return true;
        }
        DescribeDamage(scan);
        TSafeReplace replace(FAvi, ".repairing");
        TRebuildResult rebuilt;
        std::string error;
        std::string zh;
        const int videoShare = Exists(FWav) ? 40 : 100;
        // Rebuilt, at least as good as the original, and in its place; or why not.
        const bool done =
            RebuildAvi(file, scan, replace.NewFile(), rebuilt, error, FProgress, 0, videoShare) &&
            KeepsEverything(replace.NewFile(), zh, error) && replace.Commit(error);
        if (!done) {
            if (zh.empty())
                zh = error;
            FOut.Fail("无法修复 " + ChineseQuoted(FName) + "：" + zh + "；原文件保持不变",
                      "Cannot repair " + Quoted(FName) + ": " + error +
                          "; the file was left as it was");
            return false;
        }
        FReport.VideoMs = rebuilt.VideoMs;
        FReport.Outcome = TRepairOutcome::Repaired;
        FVideoReplaced = true;
        std::string lost;
        std::string lostEnglish;
        if (rebuilt.LostSlots > 0) {
            const std::string count = std::to_string(rebuilt.LostSlots);
            lost = "（其中 " + count + " 帧因损坏无法播放，以前一画面代替）";
            lostEnglish = " (" + count + " lost in the damage, shown as the picture before)";
        }
        FOut.Line(
            "视频已修复，可以正常播放和拖动：" + std::to_string(rebuilt.Slots) + " 帧" + lost +
                "，" + Seconds(rebuilt.VideoMs) + " 秒",
            "Repaired the video, which now plays and seeks: " + std::to_string(rebuilt.Slots) +
                " frames" + lostEnglish + ", " + Seconds(rebuilt.VideoMs) + " s");
        return true;
    }

    // A merge that was cut off leaves a partial copy; the video and the sound
    // file it was made from are intact, so the merge is simply made again.
    void RemoveUnfinishedMerges() {
        std::vector<std::string> merges{MergeOutputName(FName)};
        if (FAvi != FName)
            merges.push_back(MergeOutputName(FAvi));
        for (const std::string& merging : merges) {
            if (!Exists(merging))
                continue;
            std::error_code error;
            if (fs::remove(merging, error)) {
                FOut.Line("已删除上次没有完成的合并文件 " + ChineseQuoted(merging),
                          "Removed the unfinished merge " + Quoted(merging));
                Changed();
            } else {
                FOut.Fail("无法删除没有完成的合并文件 " + ChineseQuoted(merging) + "：" +
                              error.message(),
                          "Cannot remove the unfinished merge " + Quoted(merging) + ": " +
                              error.message());
            }
        }
    }

    // The sound could not be merged: the video may have been repaired all
    // the same, and the answer says so.
    void SoundLeft(const std::string& chinese, const std::string& english) {
        if (FVideoReplaced || FReport.SoundMerged) {
            FReport.Outcome = TRepairOutcome::SoundLeft;
            FOut.Line("视频已修复，但声音没有合并：" + chinese + "；声音文件 " +
                          ChineseQuoted(FWav) + " 保持原样",
                      "The video was repaired, but its sound was not merged: " + english +
                          "; the sound file " + Quoted(FWav) + " was left as it was");
        } else {
            FOut.Fail("声音没有合并：" + chinese + "；视频和声音文件 " + ChineseQuoted(FWav) +
                          " 都保持原样",
                      "The sound was not merged: " + english + "; the video and the sound file " +
                          Quoted(FWav) + " were left as they were");
        }
    }

    void RepairSound() {
        const TWavInspection wav = InspectWav(FWav);
        if (wav.NoSound) {
            Changed();
            RemoveWav("声音文件里还没有声音，已删除 ",
                      "The sound file holds no sound yet; removed ");
            return;
        }
        if (!wav.Readable) {
            SoundLeft("声音文件无法读取", "the sound file cannot be read (" + wav.Problem + ")");
            return;
        }
        if (FHadSound) {
            // Cut off after the merge replaced the video: the sound is in it.
            if (FSoundBytes >= kMergedShare * static_cast<double>(wav.DataBytes)) {
                Changed();
                FReport.SoundMerged = true;
                RemoveWav("声音已在视频中，已删除多余的声音文件 ",
                          "The sound is already in the video; removed the leftover sound file ");
            } else {
                SoundLeft("视频里已有一条更短的声音",
                          "the video already has a sound stream, shorter than the sound file's");
            }
            return;
        }
        if (wav.DataBytes == 0) {
            Changed();
            RemoveWav("声音文件没有声音，已删除 ", "The sound file holds no sound; removed ");
            return;
        }
        std::string error;
        std::int64_t soundMs = std::llround(wav.Seconds() * 1000);
        // The merge reads a repaired copy, so that the sound file stays as it
        // was until its sound is in the video.
        TSafeReplace copy(FWav, ".repairing");
        std::string mergeFrom = FWav;
        std::int64_t silence = 0;
        if (!wav.HeaderComplete) {
            // The lost end becomes silence, so the sound lasts as long as its
            // video, as after a clean Stop; what is there stays in step.
            silence = LostSoundFrames(wav);
            if (!WriteRepairedWav(FWav, wav, copy.NewFile(), error, silence)) {
                SoundLeft("无法读出声音（" + error + "）", error);
                return;
            }
            mergeFrom = copy.NewFile();
            soundMs += silence * 1000 / wav.SampleRate;
        }
        TSoundMergeOptions options;
        options.RecordedDurationMs = FReport.VideoMs;
        options.SoundClockRatio = MeasuredClockRatio(FReport.VideoMs, wav);
        if (!MergeWithProgress(FAvi, mergeFrom, options, FProgress, 40, error)) {
            SoundLeft("合并失败（" + error + "）", "the merge failed: " + error);
            return;
        }
        Changed();
        FReport.SoundMerged = true;
        FOut.Line("已把声音（" + Seconds(soundMs) + " 秒）合并进视频" +
                      (options.SoundClockRatio > 0 ? "，并与画面对齐" : ""),
                  "Merged the sound (" + Seconds(soundMs) + " s)" +
                      (options.SoundClockRatio > 0 ? ", fitted to the video's length" : ""));
        if (silence > 0) {
            const std::string padded = Seconds(silence * 1000 / wav.SampleRate);
            FOut.Line("声音末尾丢失的 " + padded + " 秒以静音补齐",
                      "The lost last " + padded + " s of sound were filled with silence");
        }
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
            SoundLeft("声音文件无法删除（" + error.message() + "）",
                      "the sound file cannot be removed: " + error.message());
    }

    // Copies an earlier repair left when it was cut off.
    void RemoveStaleCopies() {
        std::vector<std::string> copies{FName + ".repairing", FWav + ".repairing"};
        if (FAvi != FName)
            copies.push_back(FAvi + ".repairing");
        for (const std::string& removed : RemoveExisting(copies))
            FOut.Line("已删除上次修复中断留下的 " + ChineseQuoted(removed),
                      "Removed " + Quoted(removed) + ", left by an earlier repair cut off");
    }

    const std::string FName; // as the user gave it
    const std::string FAvi;  // the file it leads to
    const std::string FWav;
    std::atomic<int>* FProgress;
    const TRepairOptions FOptions;
    TRepairReport& FReport;
    TReportWriter FOut;
    bool FHadSound = false;
    bool FVideoReplaced = false;
    std::int64_t FSoundBytes = 0;
};

} // namespace

bool NeedsRepair(const std::string& AviFileName) {
    std::string ignored;
    if (!NotARegularFile(AviFileName, ignored).empty())
        return false;
    if (Exists(ChangeFileExt(AviFileName, ".Wav")) || Exists(MergeOutputName(AviFileName)))
        return true;
    const TFileBytes file(AviFileName);
    if (!file.Opened())
        return false;
    TAviScanLimits limits;
    limits.HeadersOnly = true;
    return !ScanAvi(file, limits).Complete();
}

int RepairExitStatus(TRepairOutcome Outcome) {
    switch (Outcome) {
    case TRepairOutcome::Failed:
    case TRepairOutcome::NothingRecorded:
        return 1;
    case TRepairOutcome::SoundLeft:
        return 3;
    default:
        return 0;
    }
}

bool NothingRecorded(const std::string& AviFileName) {
    std::string ignored;
    if (!NotARegularFile(AviFileName, ignored).empty())
        return false;
    const TFileBytes file(LinkTarget(AviFileName));
    if (!file.Opened() || file.Size() > kLargestEmptyVideo)
        return false;
    return NothingIn(ScanAvi(file), ChangeFileExt(AviFileName, ".Wav"));
}

TRepairReport RepairRecording(const std::string& AviFileName, std::atomic<int>* Progress,
                              const TRepairOptions& Options) {
    TRepairReport report;
    try {
        TRepair(AviFileName, Progress, Options, report).Run();
    } catch (const std::exception& error) {
        TReportWriter(report).Fail("修复 " + ChineseQuoted(AviFileName) + " 时出错：" +
                                       error.what(),
                                   "Repairing " + Quoted(AviFileName) + " failed: " + error.what());
    }
    return report;
}

} // namespace vardocle
