// A recording split by time: the capture thread opens each next file, the
// sound goes on in the next file from the same moment, and each finished
// file is completed while the next one records.
#include "tools/record/RecordSession.h"

#include "platform/base/Paths.h"
#include "recording/SegmentNames.h"

#include <filesystem>

namespace vardocle {

void TRecordSession::SetUpSegments() {
    FThread->SetSegmentSlots(*FOptions.AllDay.SegmentSeconds * FOptions.Rate);
    FThread->OnNextSegment = [this](TRecordThread&) {
        const std::string avi =
            NextSegmentFileName(FOptions.OutputFile, FSegmentCounter, SegmentNameTaken);
        return TSegmentFiles{avi, FOptions.Sound ? ChangeFileExt(avi, ".Wav") : std::string()};
    };
    FThread->OnSegmentBegun = [this](TRecordThread& sender, std::int64_t momentMs) {
        FAviFileName = sender.AviFileName();
        FWavFileName = sender.WavFileName();
        if (!FWavRecord)
            return std::shared_future<double>();
        const std::chrono::steady_clock::time_point moment{std::chrono::milliseconds(momentMs)};
        return FWavRecord->SplitAt(moment, FWavFileName);
    };
    FThread->OnSegmentEnd = [this](TRecordThread&, const TSegmentEnd& end) {
        // Its sound is in the video now, unless the merge failed.
        if (!end.WavFileName.empty() && !end.SoundKept) {
            std::error_code ignored;
            std::filesystem::remove(end.WavFileName, ignored);
        }
        if (OnSegmentEnded)
            OnSegmentEnded(end);
    };
}

} // namespace vardocle
