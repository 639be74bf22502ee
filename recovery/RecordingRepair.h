#pragma once
// Repair of recordings whose program was killed before they were complete.
#include <atomic>
#include <cstdint>
#include <string>

namespace vardocle {

enum class TRepairOutcome { AlreadyComplete, Repaired, Failed };
struct TRepairReport { TRepairOutcome Outcome = TRepairOutcome::Failed; std::string Chinese; std::string English; std::int64_t VideoMs = 0; bool SoundMerged = false; };
bool NeedsRepair(const std::string& AviFileName);   // cheap: headers + files beside it
TRepairReport RepairRecording(const std::string& AviFileName, std::atomic<int>* Progress = nullptr); // never throws; no Qt GUI; run it off the UI thread

} // namespace vardocle
