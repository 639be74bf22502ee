#include "app/RecordingRepairService.h"

namespace vardocle {

TRecordingRepairService TRecordingRepairService::System() {
    TRecordingRepairService service;
    service.NeedsRepair = [](const std::string& AviFileName) {
        return vardocle::NeedsRepair(AviFileName);
    };
    service.Repair = [](const std::string& AviFileName, std::atomic<int>* Progress) {
        return RepairRecording(AviFileName, Progress);
    };
    return service;
}

} // namespace vardocle
