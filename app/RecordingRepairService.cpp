#include "app/RecordingRepairService.h"

namespace vardocle {

// The recovery library is not linked into the program yet: until it is,
// nothing is reported as needing repair and the start-up asks nothing. At
// the merge both lambdas become calls of NeedsRepair and RepairRecording.
TRecordingRepairService TRecordingRepairService::System() {
    TRecordingRepairService service;
    service.NeedsRepair = [](const std::string&) { return false; };
    service.Repair = [](const std::string&, std::atomic<int>*) {
        TRepairReport report;
        report.Chinese = "无法修复：修复功能不可用。";
        report.English = "Cannot repair: repair is not available.";
        return report;
    };
    return service;
}

} // namespace vardocle
