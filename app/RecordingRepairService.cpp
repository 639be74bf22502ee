#include "app/RecordingRepairService.h"

namespace vardocle {

TRecordingRepairService TRecordingRepairService::System() {
    TRecordingRepairService service;
    service.NeedsRepair = [](const std::string& AviFileName) {
        return vardocle::NeedsRepair(AviFileName);
    };
    service.NothingRecorded = [](const std::string& AviFileName) {
        return vardocle::NothingRecorded(AviFileName);
    };
    service.Repair = [](const std::string& AviFileName, std::atomic<int>* Progress,
                        const TRepairOptions& Options) {
        return RepairRecording(AviFileName, Progress, Options);
    };
    return service;
}

} // namespace vardocle
