#pragma once
// What the main window asks of the desktop: the save dialog and the
// questions, the screen, the microphone and the update check. The program
// uses the real ones; tests give their own and see what was asked.
#include "app/RecordingRepairService.h"
#include "engine/WavRecord.h"
#include "platform/screen/CaptureArea.h"
#include "platform/screen/Screen.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace vardocle {

class TFrmMain;

struct TMainWindowServices {
    // The save dialog; the chosen name, or nothing when cancelled.
    std::function<std::optional<QString>(TFrmMain& owner, const QString& initialName)> ChooseFile;
    // "文件已经存在，要替换原文件吗？" — true for Yes.
    std::function<bool(TFrmMain& owner)> AskOverwrite;
    // The exit question during a recording — true for Yes.
    std::function<bool(TFrmMain& owner, const QString& message)> AskExit;
    // A notice the user can act on (a recording that could not start, lost sound).
    std::function<void(TFrmMain& owner, const QString& message)> ShowNotice;
    // The screen of the area a recording shows.
    std::function<std::unique_ptr<IScreen>(const TCaptureArea& area)> MakeScreen;
    std::function<std::unique_ptr<TWavRecord>()> MakeRecorder;
    // The repair of recordings a killed program left incomplete.
    TRecordingRepairService Repair;
    // "发现未完成的录像": whether to repair these files; answers through the
    // callback (true for Yes), without holding up the event loop.
    std::function<void(TFrmMain& owner, const QStringList& files, std::function<void(bool)> answer)>
        AskRepair;
    // Opens the folder of a saved recording with the file selected.
    std::function<void(const QString& file)> ShowFileInFolder;
    // The one update check after start-up.
    std::function<void(QWidget* window, const char* url)> DoUpdate;

    static TMainWindowServices System();
};

} // namespace vardocle
