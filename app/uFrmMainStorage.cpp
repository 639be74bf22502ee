// The main window's limit on the space recordings take: the settings row asks
// before a limit deletes anything, and each new file of a recording has the
// oldest recordings of the history deleted until the rest fits.
#include "app/recording/StorageLimitGuard.h"
#include "app/recording/StorageLimitRow.h"
#include "app/uFrmMain.h"
#include "platform/base/QtChild.h"
#include "platform/base/Text.h"
#include "platform/base/UserFilesFolder.h"

namespace vardocle {

void TFrmMain::ConnectStorageLimit() {
    if (!FStorageLimit) {
        FStorageLimit = MakeQtChild<TStorageLimitGuard>(this);
        FStorageLimit->OnReport = [this](const QString& text) { TellAboutScreen(text); };
        FStorageLimit->OnHistoryChanged = [this] {
            if (FFrmAVIDir && FFrmAVIDir->isVisible())
                FFrmAVIDir->Reload();
        };
    }
    if (!FFrmSetting || !FFrmAVIDir)
        return;
    // The row is off while recording: nothing is being written when it asks.
    FFrmSetting->StorageLimitRow->Preview = [this](std::uint64_t limitBytes) {
        return PlanStorageLimit(ReadStoredRecordings(FFrmAVIDir->History()), {}, limitBytes);
    };
}

void TFrmMain::EnforceStorageLimit() {
    if (!FStorageLimit || !FFrmSetting || !FFrmAVIDir || !UserFiles().Usable())
        return;
    const TStorageLimitSetting limit = FFrmSetting->StorageLimitRow->Setting();
    if (!limit.On)
        return;
    // The file just begun and the parts still being completed are written to.
    std::vector<std::string> keep = FSession->SegmentsCompleting();
    keep.push_back(EncodeSystem(FAviFileName));
    FStorageLimit->Enforce(FFrmAVIDir->HistoryFilePath().parent_path(), std::move(keep),
                           limit.Bytes());
}

} // namespace vardocle
