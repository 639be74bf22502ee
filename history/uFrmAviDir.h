#pragma once
// The history window: lists the recordings of the history file, plays the
// highlighted one (or the one double-clicked) with the system's default
// program and deletes the ticked ones after a question each. Recordings left
// incomplete are marked, and their menu offers to repair them. Created once and only hidden when
// closed; it reloads its list every time it becomes visible.
#include "history/HistoryFile.h"
#include "history/uFrmAskDel.h"
#include "platform/base/UserFilesFolder.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

namespace vardocle {

// Everything the window asks of the user or the desktop; the program uses
// System(), tests hand in their own answers and record what was asked.
struct TFrmAVIDirServices {
    // Opens a recording with the desktop's default program.
    std::function<void(const QUrl& file)> OpenFile;
    // A Yes/No question; true for Yes.
    std::function<bool(QWidget* owner, const QString& text, const QString& title)> AskYesNo;
    std::function<TAskDeleteResult(QWidget* owner, const QString& message, const QString& title)>
        AskDelete;
    // A plain notice with the program's title.
    std::function<void(QWidget* owner, const QString& text)> ShowMessage;
    // The error box with the program's title.
    std::function<void(QWidget* owner, const QString& text)> ShowError;

    static TFrmAVIDirServices System();
};

class TExportQueue;

// The repair of interrupted recordings, as the program hands it to the
// window; empty parts mean no marks and no menu item.
struct TFrmAVIDirRepair {
    std::function<bool(const std::string& path)> IsInterrupted;
    // Repairs off the window's thread, tells the user what became of the
    // recording, then calls `done`.
    std::function<void(QWidget* owner, const std::string& path, std::function<void()> done)> Repair;
};

class TFrmAVIDir : public QWidget {
    Q_OBJECT
public:
    // Column of the list that holds the recording's path.
    static constexpr int kPathColumn = 1;

    explicit TFrmAVIDir(QWidget* owner = nullptr,
                        const std::filesystem::path& historyFolder = UserFiles().Folder(),
                        TFrmAVIDirServices services = TFrmAVIDirServices::System());

    const std::filesystem::path& HistoryFilePath() const { return FHistory.HistoryFilePath(); }
    THistoryFile& History() { return FHistory; }

    // The removals recording control uses; errors go to the caller.
    HistoryRepair DelRecord(std::size_t index) { return FHistory.DelRecord(index); }
    HistoryRepair DelSamePath(const std::string& path) { return FHistory.DelSamePath(path); }

    // Empties the list and reads the file into it, keeping the window painting
    // meanwhile. Returns when the list is complete, or early when another
    // reload took over or the window went away.
    void Reload();
    bool IsLoading() const { return FLoading; }

    // The stored path of a row, byte for byte as in the file.
    std::string RowPath(int row) const;
    // The record a row was read from, as the user saw it.
    HistoryRecord RowRecord(int row) const;
    bool RowTicked(int row) const;
    // The row's recording was left incomplete and is marked so.
    bool RowInterrupted(int row) const;
    // The row's right-click menu.
    std::unique_ptr<QMenu> RowMenu(int row);
    void SetRepair(TFrmAVIDirRepair repair) { FRepair = std::move(repair); }
    void SetRowTicked(int row, bool ticked);

    QTreeWidget* LVFileInfo;
    QPushButton* BtnSelectAll;
    QPushButton* BtnInvertSelection;
    QPushButton* BtnPlay;
    QPushButton* BtnDel;
    // The status line: how many recordings are listed and the space they take.
    QLabel* LabStatus;
    TExportQueue* ExportQueue = nullptr;

signals:
    // A reload has listed every record the file holds.
    void HistoryLoaded();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormShow();
    void FormResize();
    void ReadHistoryToList();
    void BtnSelectAllClick();
    void BtnInvertSelectionClick();
    void BtnPlayClick();
    void PlayRow(int row);
    void RepairRow(int row);
    void BtnDelClick();

    void LayoutControls();
    void CentreOnOwner();
    QPushButton* MakeButton(const QString& caption, int left);
    void ShowFailure(const std::exception& error);
    void ShowRepair(const HistoryRepair& repair);
    void ShowListOutdated();
    void ShowStorageUse();

    THistoryFile FHistory;
    TFrmAVIDirServices FServices;
    TFrmAVIDirRepair FRepair;
    std::uint64_t FLoadGeneration = 0;
    bool FLoading = false;
    bool FReloadQueued = false;
    bool FPlaced = false;
};

} // namespace vardocle
