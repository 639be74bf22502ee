#pragma once
// Runs repairs of recordings one after another off the user-interface
// thread, and hands their reports back on it. A repair still running when the
// worker goes is waited for: a file is never left half repaired.
#include "app/RecordingRepairService.h"

#include <QObject>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace vardocle {

struct TRepairJob {
    std::string File;
    TRepairOptions Options;
};

class TRepairWorker : public QObject {
    Q_OBJECT
public:
    using TDone = std::function<void(const std::vector<TRepairReport>& reports)>;

    explicit TRepairWorker(TRecordingRepairService repair, QObject* parent = nullptr);
    ~TRepairWorker() override;
    TRepairWorker(const TRepairWorker&) = delete;
    TRepairWorker& operator=(const TRepairWorker&) = delete;

    // False (and nothing done) while an earlier run is still going.
    bool Run(std::vector<TRepairJob> jobs, TDone done);
    bool Running() const { return FRunning; }

private:
    TRecordingRepairService FRepair;
    std::thread FThread;
    bool FRunning = false;
};

// What became of each recording, in plain words, for the user.
QString RepairReportText(const std::vector<std::string>& files,
                         const std::vector<TRepairReport>& reports);

} // namespace vardocle
