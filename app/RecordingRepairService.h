#pragma once
// How the main window reaches the repair of interrupted recordings: the
// program uses the recovery library, tests a double that records the calls.
#include "recovery/RecordingRepair.h"

#include <atomic>
#include <functional>
#include <string>

namespace vardocle {

struct TRecordingRepairService {
    // Cheap: whether the recording at this path was left incomplete.
    std::function<bool(const std::string& aviFileName)> NeedsRepair;
    // Cheap: whether nothing at all was recorded there (removed on Yes, not
    // repaired). May be left empty: then no recording is taken for one.
    std::function<bool(const std::string& aviFileName)> NothingRecorded;
    // Runs off the user-interface thread; never throws.
    std::function<TRepairReport(const std::string& aviFileName, std::atomic<int>* progress,
                                const TRepairOptions& options)>
        Repair;

    static TRecordingRepairService System();
};

} // namespace vardocle
