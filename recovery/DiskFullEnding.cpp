#include "recovery/DiskFullEnding.h"

#include "platform/avifile/MiniVFW.h"
#include "recovery/AviChunkScanner.h"
#include "recovery/AviRebuild.h"
#include "recovery/RecordingRepair.h"

#include <cstdio>
#include <filesystem>

namespace vardocle {

namespace {

std::string Seconds(std::int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(ms) / 1000.0);
    return text;
}

bool Exists(const std::string& path) {
    std::error_code ignored;
    return !path.empty() && std::filesystem::exists(path, ignored);
}

// What the file holds now, read from the file itself.
void Measure(const std::string& avi, TKeptRecording& kept) {
    const TFileBytes file(avi);
    if (!file.Opened())
        return;
    const TAviScan scan = ScanAvi(file);
    if (!scan.IsAvi || !scan.Problem.empty())
        return;
    kept.Complete = scan.Complete();
    kept.VideoMs = ScannedVideoMs(scan);
    kept.Kept = kept.Complete && kept.VideoMs > 0;
    for (std::size_t i = 0; i < scan.Streams.size(); ++i)
        if (scan.Streams[i].Type == streamtypeAUDIO && scan.ChunkCount(static_cast<int>(i)) > 0)
            kept.SoundMerged = true;
}

} // namespace

TKeptRecording FinishAfterDiskFull(const std::string& AviFileName, const std::string& WavFileName,
                                   bool VideoIncomplete, TRepairHint Hint) {
    TKeptRecording kept;
    // The repair writes a new file beside the old one: it succeeds only where
    // room was freed meanwhile, and leaves everything as it was otherwise.
    if (VideoIncomplete && Exists(AviFileName))
        RepairRecording(AviFileName);
    Measure(AviFileName, kept);
    kept.SoundKept = Exists(WavFileName);
    const std::string later =
        Hint == TRepairHint::Program
            ? "腾出磁盘空间后再次启动 Vardocle，它会询问是否修复"
            : "腾出磁盘空间后运行 vardocle-record --repair “" + AviFileName + "”";
    const std::string laterEnglish =
        Hint == TRepairHint::Program
            ? "free some room and start Vardocle again, which offers to repair it"
            : "free some room and run vardocle-record --repair \"" + AviFileName + "\"";
    kept.Chinese = "磁盘已满，录制已自动停止。";
    kept.English = "The disk is full; the recording stopped by itself. ";
    if (!kept.Kept) {
        if (Exists(AviFileName)) {
            kept.Chinese += "录像“" + AviFileName + "”未能写完；" + later + "。";
            kept.English +=
                "The video \"" + AviFileName + "\" could not be completed; " + laterEnglish + ".";
        } else {
            kept.Chinese += "没有录下任何内容。";
            kept.English += "Nothing was recorded.";
        }
        return kept;
    }
    kept.Chinese += "已保存的录像：“" + AviFileName + "”，时长 " + Seconds(kept.VideoMs) + " 秒";
    kept.English += "Kept: \"" + AviFileName + "\", " + Seconds(kept.VideoMs) + " s long";
    if (kept.SoundKept) {
        kept.Chinese += "；声音没有空间合并，保存在“" + WavFileName + "”，" + later + "即可合并。";
        kept.English += "; there was no room to merge its sound, which is kept in \"" +
                        WavFileName + "\": " + laterEnglish + " to merge it.";
    } else {
        kept.Chinese += kept.SoundMerged ? "，含声音。" : "。";
        kept.English += kept.SoundMerged ? ", with its sound." : ".";
    }
    return kept;
}

} // namespace vardocle
