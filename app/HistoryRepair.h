#pragma once
// Gives the history window the repair of interrupted recordings: their marks,
// the "修复" item of their menu, the repair run off the window's thread, and
// the same result box as the start-up question.
#include "app/RecordingRepairService.h"
#include "history/uFrmAviDir.h"

#include <QString>

#include <functional>

namespace vardocle {

void OfferRepairInHistory(TFrmAVIDir& window, const TRecordingRepairService& repair,
                          std::function<void(const QString& report)> tell);

} // namespace vardocle
