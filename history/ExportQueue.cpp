#include "history/ExportQueue.h"

#include "export/RecordingExport.h"
#include "platform/base/QtChild.h"

#include <QAction>
#include <QDesktopServices>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <filesystem>

namespace vardocle {

namespace {

constexpr int kMargin = 8;
constexpr int kStripWidth = 132;
constexpr int kCancelWidth = 40;

QString Decode(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string Encode(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

TExportQueueServices TExportQueueServices::System() {
    TExportQueueServices services;
    services.AskTarget = [](QWidget* owner, const QString& proposed) {
        // The replace question is ours (AskReplace), in the program's words.
        return QFileDialog::getSaveFileName(
            owner, QStringLiteral("导出为 MP4"), proposed,
            QStringLiteral("MP4 视频 (*.mp4);;MKV 视频（声音不压缩） (*.mkv)"), nullptr,
            QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    };
    services.AskReplace = [](QWidget* owner, const QString& file) {
        return QMessageBox::question(
                   owner, QStringLiteral("提示"), QStringLiteral("%1 已存在，是否替换?").arg(file),
                   QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    };
    services.OpenFolder = [](const QUrl& folder) { QDesktopServices::openUrl(folder); };
    services.ShowError = [](QWidget* owner, const QString& text) {
        QMessageBox::critical(owner, QStringLiteral("提示"), text);
    };
    return services;
}

TExportQueue::TExportQueue(QWidget* window, QWidget* list, QPushButton* after,
                           std::function<std::string()> selected, TExportQueueServices services)
    : QObject(window), FWindow(window), FSelected(std::move(selected)),
      FServices(std::move(services)) {
    BtnExport = MakeQtChild<QPushButton>(QStringLiteral("导出为 MP4…"), window);
    BtnExport->setObjectName(QStringLiteral("BtnExport"));
    BtnExport->setFocusPolicy(Qt::NoFocus);
    BtnExport->setGeometry(after->x() + after->width() + 7, after->y(), 95, after->height());
    FBottomRoom = window->height() - after->y();
    connect(BtnExport, &QPushButton::clicked, this, &TExportQueue::ExportSelected);

    // The list's right-click menu shows the actions the list holds.
    auto* menuEntry = MakeQtChild<QAction>(QStringLiteral("导出为 MP4…"), list);
    menuEntry->setObjectName(QStringLiteral("MenuExport"));
    connect(menuEntry, &QAction::triggered, this, &TExportQueue::ExportSelected);
    list->setContextMenuPolicy(Qt::ActionsContextMenu);
    list->addAction(menuEntry);

    ProgressExport = MakeQtChild<QProgressBar>(window);
    ProgressExport->setObjectName(QStringLiteral("ProgressExport"));
    ProgressExport->setRange(0, 100);
    ProgressExport->setFormat(QStringLiteral("导出 %p%"));
    BtnExportCancel = MakeQtChild<QPushButton>(QStringLiteral("取消"), window);
    BtnExportCancel->setObjectName(QStringLiteral("BtnExportCancel"));
    BtnExportCancel->setFocusPolicy(Qt::NoFocus);
    connect(BtnExportCancel, &QPushButton::clicked, this, &TExportQueue::Cancel);
    BtnOpenFolder = MakeQtChild<QPushButton>(QStringLiteral("打开所在文件夹"), window);
    BtnOpenFolder->setObjectName(QStringLiteral("BtnOpenFolder"));
    BtnOpenFolder->setFocusPolicy(Qt::NoFocus);
    connect(BtnOpenFolder, &QPushButton::clicked, this,
            [this] { FServices.OpenFolder(QUrl::fromLocalFile(FLastFolder)); });

    FPoll = MakeQtChild<QTimer>(this);
    FPoll->setInterval(100);
    connect(FPoll, &QTimer::timeout, this, [this] { ProgressExport->setValue(FPercent.load()); });
    window->installEventFilter(this);
    Layout();
    ShowState();
}

TExportQueue::~TExportQueue() {
    FJobs.clear();
    FCancel = true;
    if (FThread.joinable())
        FThread.join();
}

bool TExportQueue::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FWindow && event->type() == QEvent::Resize)
        Layout();
    return QObject::eventFilter(watched, event);
}

void TExportQueue::Layout() {
    const int left = FWindow->width() - kMargin - kStripWidth;
    // The window keeps its buttons at a fixed distance from its bottom.
    const int top = FWindow->height() - FBottomRoom;
    const int height = BtnExport->height();
    BtnExport->move(BtnExport->x(), top);
    ProgressExport->setGeometry(left, top, kStripWidth - kCancelWidth - 2, height);
    BtnExportCancel->setGeometry(left + kStripWidth - kCancelWidth, top, kCancelWidth, height);
    BtnOpenFolder->setGeometry(left, top, kStripWidth, height);
}

void TExportQueue::ExportSelected() {
    const std::string avi = FSelected();
    if (avi.empty()) {
        FServices.ShowError(FWindow, QStringLiteral("请先选择一个文件"));
        return;
    }
    const QString target = FServices.AskTarget(FWindow, Decode(DefaultExportName(avi)));
    if (target.isEmpty())
        return;
    bool force = false;
    if (QFileInfo::exists(target)) {
        if (!FServices.AskReplace(FWindow, target))
            return;
        force = true;
    }
    Enqueue(avi, Encode(target), force);
}

void TExportQueue::Enqueue(const std::string& avi, const std::string& target, bool force) {
    FJobs.push_back({avi, target, force});
    if (!Running())
        StartNext();
    ShowState();
}

void TExportQueue::Cancel() {
    FCancel = true;
}

void TExportQueue::StartNext() {
    if (FJobs.empty())
        return;
    FCurrent = FJobs.front();
    FJobs.pop_front();
    FPercent = 0;
    FCancel = false;
    FThread = std::thread([this, job = FCurrent] {
        TExportOptions options;
        options.Force = job.Force;
        const TExportResult result = ExportRecording(
            job.Avi, job.Target, options, [this](int percent) { FPercent = percent; }, &FCancel);
        QMetaObject::invokeMethod(
            this, [this, result] { Finished(result); }, Qt::QueuedConnection);
    });
    FPoll->start();
}

void TExportQueue::Finished(const TExportResult& result) {
    FThread.join();
    FPoll->stop();
    const bool done = result.Outcome == TExportOutcome::Done;
    const QString text = QString::fromStdString(result.Chinese);
    if (done)
        FLastFolder = Decode(std::filesystem::path(FCurrent.Target).parent_path().string());
    else if (result.Outcome == TExportOutcome::Failed)
        FServices.ShowError(FWindow, text);
    // Which file was written, on the button that opens its folder.
    BtnOpenFolder->setToolTip(text);
    emit ExportEnded(done, text);
    StartNext();
    ShowState();
}

void TExportQueue::ShowState() {
    const bool running = Running();
    ProgressExport->setVisible(running);
    BtnExportCancel->setVisible(running);
    BtnOpenFolder->setVisible(!running && !FLastFolder.isEmpty());
    if (running) {
        const QString name = QFileInfo(Decode(FCurrent.Target)).fileName();
        const QString tip =
            FJobs.empty()
                ? QStringLiteral("正在导出 %1").arg(name)
                : QStringLiteral("正在导出 %1（另有 %2 个等待）").arg(name).arg(FJobs.size());
        ProgressExport->setToolTip(tip);
    }
}

} // namespace vardocle
