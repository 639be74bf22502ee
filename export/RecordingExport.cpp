#include "export/RecordingExport.h"

#include "export/ExportOutput.h"
#include "export/ExportStreams.h"
#include "platform/base/Errors.h"
#include "recovery/ByteSource.h"
#include "recovery/RecordingRepair.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace vardocle {

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

TExportResult Failed(const std::string& file, const std::string& chinese,
                     const std::string& english) {
    TExportResult result;
    result.OutputFile = file;
    result.Chinese = "无法导出 " + file + "：" + chinese;
    result.English = "Cannot export " + file + ": " + english;
    return result;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    if (fs::exists(b, error))
        return fs::equivalent(a, b, error);
    return fs::weakly_canonical(a, error) == fs::weakly_canonical(b, error);
}

// The reason a write failed, told the way a user understands it.
std::string ChineseWriteFailure(int errorNumber) {
    if (IsDiskFullError(errorNumber))
        return "磁盘已满，导出未完成，没有留下不完整的文件";
    if (errorNumber)
        return "无法写入目标文件（" + ChineseWriteErrorReason(errorNumber) + "）";
    return "无法写入目标文件";
}

} // namespace

std::string DefaultExportName(const std::string& AviFileName) {
    return fs::path(AviFileName).replace_extension(".mp4").string();
}

TExportResult ExportRecording(const std::string& AviFileName, const std::string& OutFile,
                              const TExportOptions& Options, const TExportProgress& Progress,
                              const std::atomic<bool>* Cancel) {
    if (SameFile(AviFileName, OutFile))
        return Failed(AviFileName, "目标文件不能是录像本身", "the target is the recording itself");
    const std::string ext = Lower(fs::path(OutFile).extension().string());
    if (ext != ".mp4" && ext != ".mkv")
        return Failed(AviFileName, "只能导出为 .mp4 或 .mkv 文件",
                      "the target must end in .mp4 or .mkv");
    const bool matroska = ext == ".mkv";

    const TFileBytes source(AviFileName);
    if (!source.Opened())
        return Failed(AviFileName, "无法打开录像（" + SystemErrorText(source.Error()) + "）",
                      "cannot open it: " + SystemErrorText(source.Error()));
    const TAviScan scan = ScanAvi(source);
    if (!scan.IsAvi)
        return Failed(AviFileName, "不是 AVI 录像文件", "it is not an AVI file");
    // A recording being written, or cut off, is incomplete; its sound may
    // still lie beside it. The repair makes it whole first.
    if (!scan.Complete() || NeedsRepair(AviFileName))
        return Failed(AviFileName, "录像不完整（正在录制或曾被中断），请先修复后再导出",
                      "the recording is incomplete (still being written, or interrupted); "
                      "repair it first");
    TExportPlan plan;
    std::string problem;
    if (!MakeExportPlan(scan, plan, problem))
        return Failed(AviFileName, "录像中没有可导出的内容", problem);

    std::error_code ignored;
    if (!Options.Force && fs::exists(OutFile, ignored)) {
        TExportResult result =
            Failed(AviFileName, "目标文件已存在：" + OutFile, "the target exists: " + OutFile);
        result.TargetExists = true;
        return result;
    }

    TExportOutput output(OutFile);
    const TExportContext context{plan, source, output};
    const bool copy = CanCopyPicture(plan, source, !matroska);
    std::vector<std::unique_ptr<TExportStream>> streams;
    streams.push_back(copy ? MakePictureCopy(context) : MakePictureEncoder(context));
    if (plan.HaveSound)
        streams.push_back(matroska ? MakeSoundCopy(context) : MakeSoundEncoder(context));

    std::string error;
    if (!output.Open(matroska ? "matroska" : "mp4", error))
        return Failed(AviFileName, ChineseWriteFailure(output.Errno()), error);
    for (auto& stream : streams)
        if (!stream->Open(error))
            return Failed(AviFileName, "录像的格式无法导出", error);
    if (!output.WriteHeader(error))
        return Failed(AviFileName, ChineseWriteFailure(output.Errno()), error);

    const double total = std::max(plan.Seconds(), 0.001);
    int reported = -1;
    for (;;) {
        if (Cancel && Cancel->load()) {
            TExportResult result = Failed(AviFileName, "导出已取消", "the export was cancelled");
            result.Outcome = TExportOutcome::Cancelled;
            return result;
        }
        TExportStream* behind = nullptr;
        for (auto& stream : streams)
            if (stream->NextSeconds() != TExportStream::kDone &&
                (!behind || stream->NextSeconds() < behind->NextSeconds()))
                behind = stream.get();
        if (!behind)
            break;
        const double at = behind->NextSeconds();
        if (!behind->Step(error))
            return Failed(AviFileName,
                          output.Errno() ? ChineseWriteFailure(output.Errno()) : "导出失败", error);
        const int percent = std::clamp(static_cast<int>(at * 99 / total), 0, 99);
        if (Progress && percent != reported)
            Progress(reported = percent);
    }
    for (auto& stream : streams)
        if (!stream->Finish(error))
            return Failed(AviFileName,
                          output.Errno() ? ChineseWriteFailure(output.Errno()) : "导出失败", error);
    if (!output.Commit(Options.Force, error)) {
        TExportResult result =
            output.TargetAppeared()
                ? Failed(AviFileName, "目标文件已存在：" + OutFile, "the target exists: " + OutFile)
                : Failed(AviFileName, ChineseWriteFailure(output.Errno()), error);
        result.TargetExists = output.TargetAppeared();
        return result;
    }
    if (Progress)
        Progress(100);
    TExportResult result;
    result.Outcome = TExportOutcome::Done;
    result.OutputFile = OutFile;
    result.Seconds = plan.Seconds();
    result.PictureCopied = copy;
    result.Chinese = "已导出：" + OutFile;
    result.English = "Exported: " + OutFile;
    return result;
}

} // namespace vardocle
