#pragma once
// What the main window tells the user when a recording cannot start or ends
// by itself; the reasons the system gives are put in words of their own.
#include "engine/RecordThread.h"

#include <QString>

namespace vardocle {

// The notice for a failure the recording reported; empty when there is none
// to show now (after a full disk the user hears what was kept at the end).
QString RecordFailedNotice(const TRecordError& error, const QString& aviFileName,
                           const QString& wavFileName);

// The notice when the sound file cannot be created at Start.
QString SoundStartFailedNotice(const std::exception& error);

} // namespace vardocle
