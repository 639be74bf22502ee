#include "app/RecordingState.h"

#include <QFileInfo>

namespace vardocle {

TOutputPaths OutputPathsFor(const QString& chosenName) {
    const int slash = chosenName.lastIndexOf('/');
    const int dot = chosenName.lastIndexOf('.');
    if (dot > slash)
        return {chosenName, chosenName.left(dot) + QStringLiteral(".Wav")};
    return {chosenName + QStringLiteral(".Avi"), chosenName + QStringLiteral(".Wav")};
}

TControlStates ControlStatesFor(TRecordingState state) {
    switch (state) {
    case TRecordingState::Idle:
        return {.Start = true, .Voice = true, .Rate = true, .Options = true};
    case TRecordingState::Recording:
        return {.Stop = true, .Pause = true};
    case TRecordingState::Paused:
        return {.Stop = true, .Resume = true};
    case TRecordingState::Saving:
        return {}; // nothing starts before the last recording is saved
    }
    return {};
}

QString TrayTipFor(TRecordingState state) {
    switch (state) {
    case TRecordingState::Idle:
        return QStringLiteral("Vardocle\n-\n状态:等待录制");
    case TRecordingState::Recording:
        return QStringLiteral("Vardocle\n-\n状态:正在录制");
    case TRecordingState::Paused:
        return QStringLiteral("Vardocle\n-\n状态:暂停录制");
    case TRecordingState::Saving:
        return SavingTrayTip(0);
    }
    return {};
}

QString SavingText(int percent) {
    return QStringLiteral("正在保存录像… %1%").arg(percent);
}

QString SavingTrayTip(int percent) {
    return QStringLiteral("Vardocle\n-\n状态:") + SavingText(percent);
}

} // namespace vardocle
