// A recording split by time: each next file is opened by the capture thread
// at a slot boundary, its sound begins at the matching sample, and the
// finished file is completed on a thread of its own while the next records.
#include "app/RecordingSession.h"

#include "platform/base/Paths.h"
#include "platform/base/Text.h"
#include "recording/SegmentNames.h"

#include <filesystem>

namespace vardocle {

void TRecordingSession::SetUpSegments() {
    FSegmentCounter = 1;
    FSegmentsCompleting.clear();
    const std::string first = FThread->AviFileName();
    const bool sound = !FThread->WavFileName().empty();
    FThread->SetSegmentSlots(FSegmentSeconds * FThread->FrameRate());
    FThread->OnNextSegment = [first, sound, this](TRecordThread& sender) {
        FSegmentsCompleting.push_back(sender.AviFileName());
        const std::string avi = NextSegmentFileName(first, FSegmentCounter, SegmentNameTaken);
        return TSegmentFiles{avi, sound ? ChangeFileExt(avi, ".Wav") : std::string()};
    };
    FThread->OnSegmentBegun = [this](TRecordThread& sender, std::int64_t momentMs) {
        // Told later: the capture thread waits while this runs.
        QMetaObject::invokeMethod(
            this,
            [this, avi = DecodeLenient(sender.AviFileName()),
             wav = DecodeLenient(sender.WavFileName())] { emit SegmentStarted(avi, wav); },
            Qt::QueuedConnection);
        if (!FSound)
            return std::shared_future<double>();
        const std::chrono::steady_clock::time_point moment{std::chrono::milliseconds(momentMs)};
        return FSound->SplitAt(moment, sender.WavFileName());
    };
    FThread->OnSegmentEnd = [this](TRecordThread&, const TSegmentEnd& end) {
        std::erase(FSegmentsCompleting, end.AviFileName);
        // Its sound is in the video now, unless the merge failed.
        if (!end.WavFileName.empty() && !end.SoundKept) {
            std::error_code ignored;
            std::filesystem::remove(end.WavFileName, ignored);
        }
    };
}

} // namespace vardocle
