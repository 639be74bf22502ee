#include "history/uFrmAviDir.h"

#include "history/ExportQueue.h"
#include "history/GridLineDelegate.h"
#include "history/HistoryMessages.h"
#include "history/RecordTime.h"
#include "history/StorageUse.h"
#include "platform/base/QtChild.h"
#include "platform/base/Text.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QResizeEvent>
#include <QScreen>
#include <memory>
#include <vector>

namespace vardocle {

namespace {

// The designed client area and the margins the anchored controls keep.
constexpr int kClientWidth = 601;
constexpr int kClientHeight = 433;
constexpr int kListMargin = 8;
// The status line under the buttons.
constexpr int kStatusHeight = 18;
constexpr int kListBottomRoom =
    48 + kStatusHeight; // from the list's top margin to the client's bottom
constexpr int kButtonBottomRoom = 33 + kStatusHeight;
constexpr int kButtonWidth = 81;
constexpr int kButtonHeight = 25;

// While loading, the window gets to paint at least this often.
constexpr qint64 kLoadSliceMs = 8;

const QString kTitle = QStringLiteral("提示");

// Where a row keeps the bytes of its record, to find that record again.
constexpr int kNameColumn = 0;
constexpr int kTimeColumn = 2;
// Where a row notes that its recording was left incomplete.
constexpr int kInterruptedRole = Qt::UserRole + 1;

std::string RowBytes(const QTreeWidgetItem* item, int column) {
    const QByteArray bytes = item->data(column, Qt::UserRole).toByteArray();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

QString ProgramTitle() {
    return QGuiApplication::applicationDisplayName();
}

} // namespace

TFrmAVIDirServices TFrmAVIDirServices::System() {
    TFrmAVIDirServices services;
    services.OpenFile = [](const QUrl& file) { QDesktopServices::openUrl(file); };
    services.AskYesNo = [](QWidget* owner, const QString& text, const QString& title) {
        return QMessageBox::question(owner, title, text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::Yes) == QMessageBox::Yes;
    };
    services.AskDelete = &vardocle::AskDelete;
    services.ShowMessage = [](QWidget* owner, const QString& text) {
        QMessageBox box(QMessageBox::NoIcon, ProgramTitle(), text, QMessageBox::Ok, owner);
        box.exec();
    };
    services.ShowError = [](QWidget* owner, const QString& text) {
        QMessageBox::critical(owner, ProgramTitle(), text);
    };
    return services;
}

TFrmAVIDir::TFrmAVIDir(QWidget* owner, const std::filesystem::path& historyFolder,
                       TFrmAVIDirServices services)
    : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint), FHistory(historyFolder),
      FServices(std::move(services)) {
    setObjectName(QStringLiteral("FrmAVIDir"));
    setWindowTitle(QStringLiteral("视频录制列表"));

    LVFileInfo = MakeQtChild<QTreeWidget>(this);
    LVFileInfo->setObjectName(QStringLiteral("LVFileInfo"));
    LVFileInfo->setHeaderLabels(
        {QStringLiteral("文件名"), QStringLiteral("所在路径"), QStringLiteral("录制日期")});
    LVFileInfo->setRootIsDecorated(false);
    LVFileInfo->setItemsExpandable(false);
    LVFileInfo->setUniformRowHeights(true);
    LVFileInfo->setAllColumnsShowFocus(true);
    LVFileInfo->setSelectionMode(QAbstractItemView::SingleSelection);
    LVFileInfo->setSelectionBehavior(QAbstractItemView::SelectRows);
    LVFileInfo->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LVFileInfo->setItemDelegate(MakeQtChild<TGridLineDelegate>(LVFileInfo));
    // The widths follow the list's width (see FormResize), not the contents.
    LVFileInfo->header()->setStretchLastSection(false);
    LVFileInfo->header()->setSectionsMovable(false);

    BtnSelectAll = MakeButton(QStringLiteral("全选"), 9);
    BtnInvertSelection = MakeButton(QStringLiteral("反选"), 97);
    BtnPlay = MakeButton(QStringLiteral("播放"), 185);
    BtnDel = MakeButton(QStringLiteral("删除"), 273);
    connect(BtnSelectAll, &QPushButton::clicked, this, &TFrmAVIDir::BtnSelectAllClick);
    connect(BtnInvertSelection, &QPushButton::clicked, this, &TFrmAVIDir::BtnInvertSelectionClick);
    connect(BtnPlay, &QPushButton::clicked, this, &TFrmAVIDir::BtnPlayClick);
    connect(BtnDel, &QPushButton::clicked, this, &TFrmAVIDir::BtnDelClick);
    connect(LVFileInfo, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { PlayRow(LVFileInfo->indexOfTopLevelItem(item)); });
    LVFileInfo->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(LVFileInfo, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QTreeWidgetItem* item = LVFileInfo->itemAt(at);
        if (item == nullptr)
            return;
        LVFileInfo->setCurrentItem(item);
        const std::unique_ptr<QMenu> menu = RowMenu(LVFileInfo->indexOfTopLevelItem(item));
        menu->exec(LVFileInfo->viewport()->mapToGlobal(at));
    });

    LabStatus = MakeQtChild<QLabel>(this);
    LabStatus->setObjectName(QStringLiteral("LabStatus"));

    resize(kClientWidth, kClientHeight);
    LayoutControls();
    FormResize();
    // Export: a button, a list menu entry and its own status strip.
    ExportQueue = MakeQtChild<TExportQueue>(this, LVFileInfo, BtnDel, [this] {
        const QList<QTreeWidgetItem*> selected = LVFileInfo->selectedItems();
        return selected.isEmpty() ? std::string()
                                  : RowPath(LVFileInfo->indexOfTopLevelItem(selected.first()));
    });
}

QPushButton* TFrmAVIDir::MakeButton(const QString& caption, int left) {
    auto* button = MakeQtChild<QPushButton>(caption, this);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(left, kClientHeight - kButtonBottomRoom, kButtonWidth, kButtonHeight);
    return button;
}

void TFrmAVIDir::LayoutControls() {
    // The list is anchored on all four sides, the buttons bottom left.
    LVFileInfo->setGeometry(kListMargin, kListMargin, width() - 2 * kListMargin,
                            height() - kListBottomRoom);
    for (QPushButton* button : {BtnSelectAll, BtnInvertSelection, BtnPlay, BtnDel})
        button->move(button->x(), height() - kButtonBottomRoom);
    LabStatus->setGeometry(kListMargin + 1, height() - kStatusHeight - 3, width() - 2 * kListMargin,
                           kStatusHeight);
}

void TFrmAVIDir::FormResize() {
    const int width = LVFileInfo->width();
    QHeaderView* header = LVFileInfo->header();
    header->resizeSection(0, width * 15 / 100);
    header->resizeSection(1, width * 60 / 100);
    header->resizeSection(2, width * 25 / 100);
}

void TFrmAVIDir::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutControls();
    FormResize();
}

void TFrmAVIDir::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Only becoming visible reloads, not the desktop restoring the window.
    if (event->spontaneous())
        return;
    CentreOnOwner();
    FormShow();
}

void TFrmAVIDir::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous()) {
        ++FLoadGeneration; // a hidden window need not finish loading
        FLoading = false;
    }
}

void TFrmAVIDir::CentreOnOwner() {
    if (FPlaced)
        return;
    FPlaced = true;
    QRect area;
    if (parentWidget() != nullptr)
        area = parentWidget()->window()->frameGeometry();
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (!area.isEmpty())
        move(area.center() - QPoint(width() / 2, height() / 2));
}

void TFrmAVIDir::FormShow() {
    // The window maps and paints first; the list fills in right after.
    ++FLoadGeneration;
    LVFileInfo->clear();
    if (FReloadQueued)
        return;
    FReloadQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            FReloadQueued = false;
            if (isVisible())
                Reload();
        },
        Qt::QueuedConnection);
}

void TFrmAVIDir::Reload() {
    ++FLoadGeneration;
    LVFileInfo->clear();
    ReadHistoryToList();
}

void TFrmAVIDir::ReadHistoryToList() {
    const std::uint64_t generation = ++FLoadGeneration;
    const QPointer<TFrmAVIDir> alive(this);
    FLoading = true;
    const TRecordTimeText timeText;
    std::vector<std::unique_ptr<QTreeWidgetItem>> pending;
    // Rows go into the list in batches: one insertion per batch keeps a long
    // history fast, and the pause after each lets the window paint.
    auto flush = [&] {
        QList<QTreeWidgetItem*> rows;
        rows.reserve(qsizetype(pending.size()));
        for (auto& row : pending)
            rows.append(row.release());
        pending.clear();
        LVFileInfo->addTopLevelItems(rows);
    };
    auto superseded = [&] { return alive.isNull() || generation != FLoadGeneration; };

    try {
        THistoryReader reader = FHistory.OpenReader();
        QElapsedTimer slice;
        slice.start();
        HistoryRecord record;
        while (reader.Next(record)) {
            auto row = std::make_unique<QTreeWidgetItem>(QStringList{DecodeLenient(record.FileName),
                                                                     DecodeLenient(record.FilePath),
                                                                     timeText(record.RecordTime)});
            row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            row->setCheckState(0, Qt::Unchecked);
            row->setData(kNameColumn, Qt::UserRole,
                         QByteArray(record.FileName.data(), qsizetype(record.FileName.size())));
            row->setData(kPathColumn, Qt::UserRole,
                         QByteArray(record.FilePath.data(), qsizetype(record.FilePath.size())));
            row->setData(kTimeColumn, Qt::UserRole, record.RecordTime);
            if (FRepair.IsInterrupted && FRepair.IsInterrupted(record.FilePath)) {
                row->setData(kNameColumn, kInterruptedRole, true);
                row->setText(kNameColumn, row->text(kNameColumn) + QStringLiteral("（未完成）"));
                row->setForeground(kNameColumn, QColor(0xC0, 0, 0));
                row->setToolTip(kNameColumn, QStringLiteral("录制时程序意外中止，这个录像没有完成。"
                                                            "右击它，选“修复”。"));
            }
            pending.push_back(std::move(row));
            if (slice.elapsed() >= kLoadSliceMs) {
                flush();
                QCoreApplication::processEvents();
                if (superseded())
                    return;
                slice.restart();
            }
        }
        flush();
    } catch (const Exception& error) {
        // Whatever was read stays listed.
        flush();
        ShowFailure(error);
        if (superseded())
            return;
    }
    ShowStorageUse();
    FLoading = false;
    emit HistoryLoaded();
}

std::string TFrmAVIDir::RowPath(int row) const {
    const QTreeWidgetItem* item = LVFileInfo->topLevelItem(row);
    return item == nullptr ? std::string() : RowBytes(item, kPathColumn);
}

HistoryRecord TFrmAVIDir::RowRecord(int row) const {
    const QTreeWidgetItem* item = LVFileInfo->topLevelItem(row);
    if (item == nullptr)
        return {};
    return {RowBytes(item, kNameColumn), RowBytes(item, kPathColumn),
            item->data(kTimeColumn, Qt::UserRole).toDouble()};
}

bool TFrmAVIDir::RowTicked(int row) const {
    const QTreeWidgetItem* item = LVFileInfo->topLevelItem(row);
    return item != nullptr && item->checkState(0) == Qt::Checked;
}

void TFrmAVIDir::SetRowTicked(int row, bool ticked) {
    if (QTreeWidgetItem* item = LVFileInfo->topLevelItem(row))
        item->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
}

void TFrmAVIDir::BtnSelectAllClick() {
    for (int row = 0; row < LVFileInfo->topLevelItemCount(); ++row)
        SetRowTicked(row, true);
}

void TFrmAVIDir::BtnInvertSelectionClick() {
    for (int row = 0; row < LVFileInfo->topLevelItemCount(); ++row)
        SetRowTicked(row, !RowTicked(row));
}

bool TFrmAVIDir::RowInterrupted(int row) const {
    const QTreeWidgetItem* item = LVFileInfo->topLevelItem(row);
    return item != nullptr && item->data(kNameColumn, kInterruptedRole).toBool();
}

std::unique_ptr<QMenu> TFrmAVIDir::RowMenu(int row) {
    auto menu = std::make_unique<QMenu>(this);
    menu->addAction(QStringLiteral("播放"), this, [this, row] { PlayRow(row); });
    if (RowInterrupted(row) && FRepair.Repair)
        menu->addAction(QStringLiteral("修复"), this, [this, row] { RepairRow(row); });
    return menu;
}

void TFrmAVIDir::RepairRow(int row) {
    const std::string path = RowPath(row);
    if (path.empty())
        return;
    const QPointer<TFrmAVIDir> alive(this);
    FRepair.Repair(this, path, [alive] {
        if (!alive.isNull() && alive->isVisible())
            alive->Reload();
    });
}

void TFrmAVIDir::BtnPlayClick() {
    const QList<QTreeWidgetItem*> selected = LVFileInfo->selectedItems();
    if (selected.isEmpty()) {
        FServices.ShowMessage(this, QStringLiteral("请先选择一个文件"));
        return;
    }
    PlayRow(LVFileInfo->indexOfTopLevelItem(selected.first()));
}

void TFrmAVIDir::PlayRow(int row) {
    if (row < 0)
        return;
    const std::string path = RowPath(row);
    std::error_code error;
    if (!path.empty() && std::filesystem::exists(path, error)) {
        FServices.OpenFile(QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path))));
        return;
    }
    if (!FServices.AskYesNo(this, QStringLiteral("文件不存在,是否删除该记录?"), kTitle))
        return;
    HistoryRepair repair;
    try {
        // The file may have changed since the list was read: the record the
        // user saw goes, not whatever stands at its row now.
        if (!FHistory.DelSameRecord(RowRecord(row), std::size_t(row), &repair))
            ShowListOutdated();
    } catch (const Exception& failure) {
        ShowFailure(failure);
        return;
    }
    ShowRepair(repair);
    Reload();
}

void TFrmAVIDir::BtnDelClick() {
    int last = LVFileInfo->topLevelItemCount() - 1;
    TAskDeleteResult answer{TAskDeleteAnswer::None, false};
    HistoryRepair repair;
    bool outdated = false;
    int row = 0;
    while (row <= last) {
        if (!RowTicked(row)) {
            ++row;
            continue;
        }
        if (answer.Answer != TAskDeleteAnswer::All) {
            const QString caption = LVFileInfo->topLevelItem(row)->text(0);
            answer = FServices.AskDelete(
                this, QStringLiteral("你确实要删除记录 :") + caption + QStringLiteral("  吗?"),
                kTitle);
            // The list may not have stood still while the question was open.
            last = LVFileInfo->topLevelItemCount() - 1;
            if (row > last)
                break;
        }
        if (answer.Answer == TAskDeleteAnswer::No) {
            ++row;
            continue;
        }
        if (answer.Answer != TAskDeleteAnswer::Yes && answer.Answer != TAskDeleteAnswer::All)
            break; // Cancel: the rows not yet examined stay as they are
        const std::string path = RowPath(row);
        // The record goes first, so that a failure leaves record, row and file
        // together. The file may have changed since the list was read (a new
        // recording replaced an entry): only the record the user saw goes,
        // and when it is gone already, its file may now be another
        // recording's and stays.
        bool found = false;
        try {
            found = FHistory.DelSameRecord(RowRecord(row), std::size_t(row), &repair);
        } catch (const Exception& failure) {
            ShowFailure(failure);
            break;
        }
        outdated = outdated || !found;
        if (found && answer.DeleteFileToo) {
            std::error_code ignored; // a file that cannot be deleted is left alone
            std::filesystem::remove(path, ignored);
        }
        std::unique_ptr<QTreeWidgetItem> removed(LVFileInfo->takeTopLevelItem(row));
        last = LVFileInfo->topLevelItemCount() - 1;
        if (answer.Answer == TAskDeleteAnswer::Yes)
            answer.Answer = TAskDeleteAnswer::None;
        // The next row has moved up into this position: examine it again.
    }
    ShowRepair(repair);
    ShowStorageUse();
    if (outdated) {
        ShowListOutdated();
        Reload();
    }
}

void TFrmAVIDir::ShowStorageUse() {
    std::vector<TStoredRecording> listed;
    for (int row = 0; row < LVFileInfo->topLevelItemCount(); ++row) {
        const std::string path = RowPath(row);
        listed.push_back({path, 0.0, StoredFileSize(path)});
    }
    LabStatus->setText(StorageStatusText(listed));
}

void TFrmAVIDir::ShowListOutdated() {
    FServices.ShowMessage(this, QStringLiteral("历史记录在列表打开后已被更改，有的记录已不存在，"
                                               "其文件未被删除。列表已重新载入。"));
}

void TFrmAVIDir::ShowFailure(const std::exception& error) {
    FServices.ShowError(this, HistoryErrorText(error));
}

void TFrmAVIDir::ShowRepair(const HistoryRepair& repair) {
    const QString notice = HistoryRepairNotice(repair);
    if (!notice.isEmpty())
        FServices.ShowMessage(this, notice);
}

} // namespace vardocle
