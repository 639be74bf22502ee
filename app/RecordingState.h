#pragma once
// What recording control decides without a window: the output paths of a
// chosen name, which controls are enabled in each state, and the tray tips.
#include <QString>

namespace vardocle {

// Saving: stopped, while the file is completed and the sound merged.
enum class TRecordingState { Idle, Recording, Paused, Saving };

// The video and sound paths for the name chosen in the save dialog: a name
// with an extension keeps it and its sound gets ".Wav"; a name without one
// gets ".Avi" and ".Wav".
struct TOutputPaths {
    QString AviFileName;
    QString WavFileName;
};
TOutputPaths OutputPathsFor(const QString& chosenName);

// Enabled state of the controls that follow the recording state. The menu
// items share the states of their buttons; the size fields stay enabled.
struct TControlStates {
    bool Start = false;   // BtnStart, MenuStart
    bool Stop = false;    // BtnStop, MenuStop
    bool Pause = false;   // ChkPause, MenuPause
    bool Resume = false;  // ChkResume, MenuResume
    bool Voice = false;   // BtnVoice
    bool Rate = false;    // SpinRate
    bool Options = false; // CheckRecordCursor, CheckRecordThansparent
    bool operator==(const TControlStates&) const = default;
};
TControlStates ControlStatesFor(TRecordingState state);

// The tray icon's tip in each state (saving as at its start).
QString TrayTipFor(TRecordingState state);
// "正在保存录像… 45%", and the tray tip that says it.
QString SavingText(int percent);
QString SavingTrayTip(int percent);

// The first name the save dialog offers in a run.
inline const QString kFirstOutputName = QStringLiteral("我的视频");

} // namespace vardocle
