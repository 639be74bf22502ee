#pragma once
// Exporting recordings from the history window: the "导出为 MP4…" button and
// list menu entry, a save dialog proposing the recording's name with .mp4,
// and a status strip at the window's bottom right with the progress and a
// cancel, then "打开所在文件夹". Exports run one after another on a thread
// of their own, so the window stays responsive; more can be queued meanwhile.
#include <QObject>
#include <QString>
#include <QUrl>

#include <atomic>
#include <deque>
#include <functional>
#include <string>
#include <thread>

class QProgressBar;
class QPushButton;
class QTimer;
class QWidget;

namespace vardocle {

struct TExportResult;

// What the queue asks of the user or the desktop; tests hand in their own.
struct TExportQueueServices {
    // The file to export to, proposed name given; empty when the user cancels.
    std::function<QString(QWidget* owner, const QString& proposed)> AskTarget;
    // Whether to replace an existing file.
    std::function<bool(QWidget* owner, const QString& file)> AskReplace;
    std::function<void(const QUrl& folder)> OpenFolder;
    std::function<void(QWidget* owner, const QString& text)> ShowError;

    static TExportQueueServices System();
};

class TExportQueue : public QObject {
    Q_OBJECT
public:
    // Adds its controls to `window` (laid out already): a button after
    // `after`, an entry in the right-click menu of `list`. `selected` gives the highlighted
    // recording
    // ("" for none).
    TExportQueue(QWidget* window, QWidget* list, QPushButton* after,
                 std::function<std::string()> selected,
                 TExportQueueServices services = TExportQueueServices::System());
    ~TExportQueue() override; // cancels a running export and waits for it

    // Asks for the target of the highlighted recording and queues it.
    void ExportSelected();
    // Queues one export (Force: replace an existing target).
    void Enqueue(const std::string& avi, const std::string& target, bool force);
    void Cancel(); // the running export

    int Waiting() const { return static_cast<int>(FJobs.size()); }
    bool Running() const { return FThread.joinable(); }

    QPushButton* BtnExport;
    QProgressBar* ProgressExport;
    QPushButton* BtnExportCancel;
    QPushButton* BtnOpenFolder;

signals:
    // One export ended (done, failed or cancelled).
    void ExportEnded(bool done, const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TJob {
        std::string Avi;
        std::string Target;
        bool Force = false;
    };
    void StartNext();
    void Finished(const TExportResult& result);
    void ShowState();
    void Layout();

    QWidget* FWindow;
    std::function<std::string()> FSelected;
    TExportQueueServices FServices;
    std::deque<TJob> FJobs;
    TJob FCurrent;
    std::thread FThread;
    std::atomic<int> FPercent{0};
    std::atomic<bool> FCancel{false};
    QTimer* FPoll;
    QString FLastFolder;
    int FBottomRoom = 0;
};

} // namespace vardocle
