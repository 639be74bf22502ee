// The history window's export queue on real AVI files made by ffmpeg: the
// menu entry and the button each queue an export that runs off the UI
// thread, a second one waits for the first, an existing target is asked
// about, and a cancel leaves no file behind.
#include "history/ExportQueue.h"
#include "platform/base/QtChild.h"
#include "tests/support/EventWait.h"
#include "tests/support/TestSupport.h"

#include <QAction>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>

#include <gtest/gtest.h>
#include <memory>

using namespace vardocle;
using namespace vardocle::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

bool MakeAvi(const fs::path& avi, const QString& size, int seconds, const QString& codec) {
    const QString source =
        QStringLiteral("testsrc2=size=%1:rate=5:duration=%2").arg(size).arg(seconds);
    return RunProcess("ffmpeg",
                      {"-v", "error", "-f", "lavfi", "-i", source, "-f", "lavfi", "-i",
                       QStringLiteral("sine=frequency=1000:duration=%1").arg(seconds), "-c:v",
                       codec, "-c:a", "pcm_s16le", "-ac", "2", Q(avi)},
                      120s)
               .ExitCode == 0;
}

class ExportQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        Window.resize(601, 415);
        After = MakeQtChild<QPushButton>(&Window);
        After->setGeometry(273, 382, 81, 25);
        TExportQueueServices services;
        services.AskTarget = [this](QWidget*, const QString& proposed) {
            Proposed << proposed;
            return Targets.isEmpty() ? QString() : Targets.takeFirst();
        };
        services.AskReplace = [this](QWidget*, const QString& file) {
            Replaced << file;
            return false;
        };
        services.OpenFolder = [this](const QUrl& folder) { Opened << folder; };
        services.ShowError = [this](QWidget*, const QString& text) { Errors << text; };
        Queue = std::make_unique<TExportQueue>(
            &Window, &List, After, [this] { return Selected.string(); }, services);
        QObject::connect(Queue.get(), &TExportQueue::ExportEnded,
                         [this](bool done, const QString&) { Ended << done; });
    }
    void TearDown() override { Queue.reset(); }

    TempDir Folder;
    QWidget Window;
    QTreeWidget List{&Window};
    QPushButton* After = nullptr;
    std::unique_ptr<TExportQueue> Queue;
    fs::path Selected;
    QStringList Targets, Proposed, Replaced, Errors;
    QList<QUrl> Opened;
    QList<bool> Ended;
};

TEST_F(ExportQueueTest, MenuAndButtonQueueExportsThatAskBeforeReplacing) {
    Selected = Folder / "small.avi";
    ASSERT_TRUE(MakeAvi(Selected, "160x120", 3, "libx264"));
    ASSERT_EQ(List.actions().size(), 1);
    EXPECT_EQ(List.actions()[0]->text(), QStringLiteral("导出为 MP4…"));
    EXPECT_EQ(List.contextMenuPolicy(), Qt::ActionsContextMenu);

    Targets << Q(Folder / "a.mp4") << Q(Folder / "b.mkv");
    List.actions()[0]->trigger();
    Queue->BtnExport->click();
    EXPECT_EQ(Proposed.value(0), Q(Folder / "small.mp4"));
    EXPECT_TRUE(Queue->Running());
    ASSERT_TRUE(WaitFor([&] { return Ended.size() == 2; }, 60000));
    EXPECT_EQ(Ended, (QList<bool>{true, true})) << Errors.join("\n").toStdString();
    EXPECT_TRUE(fs::exists(Folder / "a.mp4"));
    EXPECT_TRUE(fs::exists(Folder / "b.mkv"));
    ASSERT_TRUE(Queue->BtnOpenFolder->isVisibleTo(&Window));
    EXPECT_FALSE(Queue->ProgressExport->isVisibleTo(&Window));
    Queue->BtnOpenFolder->click();
    EXPECT_EQ(Opened.value(0), QUrl::fromLocalFile(Q(Folder.Path())));

    // An existing target is asked about; No queues nothing.
    const auto size = fs::file_size(Folder / "a.mp4");
    Targets << Q(Folder / "a.mp4");
    Queue->BtnExport->click();
    EXPECT_EQ(Replaced, QStringList{Q(Folder / "a.mp4")});
    EXPECT_FALSE(Queue->Running());
    EXPECT_EQ(fs::file_size(Folder / "a.mp4"), size);
}

TEST_F(ExportQueueTest, CancelLeavesNoFileAndNoError) {
    // Encoded again (MJPEG), so that the export runs long enough to cancel.
    const fs::path big = Folder / "big.avi";
    ASSERT_TRUE(MakeAvi(big, "1280x720", 60, "mjpeg"));
    Queue->Enqueue(big.string(), (Folder / "big.mp4").string(), false);
    ASSERT_TRUE(Queue->ProgressExport->isVisibleTo(&Window));
    ASSERT_TRUE(WaitFor([&] { return Queue->ProgressExport->value() > 0 || !Ended.isEmpty(); }));
    Queue->BtnExportCancel->click();
    ASSERT_TRUE(WaitFor([&] { return !Ended.isEmpty(); }, 60000));
    EXPECT_EQ(Ended, QList<bool>{false});
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join("\n").toStdString();
    EXPECT_FALSE(Queue->Running());
    for (const auto& entry : fs::directory_iterator(Folder.Path()))
        EXPECT_EQ(entry.path(), big) << "left behind: " << entry.path();
}

} // namespace
