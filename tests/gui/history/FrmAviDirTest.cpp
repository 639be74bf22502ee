#include "HistoryWindowFixture.h"
#include "history/RecordTime.h"

#include <QEvent>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace vardocle::test {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

std::vector<int> ColumnWidths(const TFrmAVIDir& window) {
    const QHeaderView* header = window.LVFileInfo->header();
    return {header->sectionSize(0), header->sectionSize(1), header->sectionSize(2)};
}

TEST_F(HistoryWindowTest, HasItsCaptionsAndDesignedPlaces) {
    Open();
    EXPECT_EQ(Window->windowTitle(), QStringLiteral("视频录制列表"));
    EXPECT_EQ(Window->HistoryFilePath(), Dir / "History.his");
    const QTreeWidgetItem* header = Window->LVFileInfo->headerItem();
    EXPECT_EQ(header->text(0), QStringLiteral("文件名"));
    EXPECT_EQ(header->text(1), QStringLiteral("所在路径"));
    EXPECT_EQ(header->text(2), QStringLiteral("录制日期"));
    EXPECT_EQ(Window->LVFileInfo->geometry(), QRect(8, 8, 585, 367));
    EXPECT_EQ(Window->BtnSelectAll->text(), QStringLiteral("全选"));
    EXPECT_EQ(Window->BtnInvertSelection->text(), QStringLiteral("反选"));
    EXPECT_EQ(Window->BtnPlay->text(), QStringLiteral("播放"));
    EXPECT_EQ(Window->BtnDel->text(), QStringLiteral("删除"));
    EXPECT_EQ(Window->BtnSelectAll->geometry(), QRect(9, 382, 81, 25));
    EXPECT_EQ(Window->BtnDel->geometry(), QRect(273, 382, 81, 25));
    EXPECT_EQ(Window->BtnPlay->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(Window->LVFileInfo->selectionMode(), QAbstractItemView::SingleSelection);
}

TEST_F(HistoryWindowTest, ColumnsShareTheListWidthOnEveryResize) {
    Open();
    Window->show();
    EXPECT_EQ(Window->LVFileInfo->width(), 585);
    EXPECT_EQ(ColumnWidths(*Window), (std::vector<int>{87, 351, 146}));

    // The list follows the window on all sides, the buttons stay bottom left.
    Window->resize(801, 533);
    QCoreApplication::processEvents();
    EXPECT_EQ(Window->LVFileInfo->geometry(), QRect(8, 8, 785, 467));
    EXPECT_EQ(ColumnWidths(*Window), (std::vector<int>{117, 471, 196}));
    EXPECT_EQ(Window->BtnPlay->geometry(), QRect(185, 482, 81, 25));
}

TEST_F(HistoryWindowTest, ListsTheRecordsInFileOrder) {
    History.AppendRecord(MakeHistoryRecord("/videos/第一.avi", 45352.5));
    History.AppendRecord(MakeHistoryRecord("", 0.0)); // empty texts are listed too
    // A name cut inside a three-byte character.
    History.AppendRecord(MakeHistoryRecord("/v/" + std::string(49, 'x') + "录.avi", 45352.0));
    Open();
    Window->Reload();

    ASSERT_EQ(Window->LVFileInfo->topLevelItemCount(), 3);
    const QTreeWidgetItem* first = Window->LVFileInfo->topLevelItem(0);
    EXPECT_EQ(first->text(0), QStringLiteral("第一.avi"));
    EXPECT_EQ(first->text(1), QStringLiteral("/videos/第一.avi"));
    EXPECT_EQ(first->text(2), FormatRecordTime(45352.5));
    EXPECT_EQ(first->checkState(0), Qt::Unchecked);
    EXPECT_EQ(Window->LVFileInfo->topLevelItem(1)->text(0), QString());

    const QString cut = Window->LVFileInfo->topLevelItem(2)->text(0);
    EXPECT_TRUE(cut.startsWith(QString(49, u'x')));
    EXPECT_EQ(cut.size(), 50) << "the broken character shows as one replacement";
    EXPECT_EQ(Window->RowPath(2).substr(0, 4), "/v/x");
    EXPECT_TRUE(Asked.Errors.empty());
}

TEST_F(HistoryWindowTest, BecomingVisibleReloadsTheList) {
    AddRecordings({"a.avi"});
    Open();
    QSignalSpy loaded(Window.get(), &TFrmAVIDir::HistoryLoaded);
    Window->show();
    ASSERT_TRUE(loaded.wait(5000));
    EXPECT_EQ(RowNames(), (Names{"a.avi"}));

    AddRecordings({"b.avi"});
    EXPECT_EQ(RowNames(), (Names{"a.avi"})) << "the open window does not follow the file";
    Window->hide();
    Window->show();
    ASSERT_TRUE(loaded.wait(5000));
    EXPECT_EQ(RowNames(), (Names{"a.avi", "b.avi"}));
}

TEST_F(HistoryWindowTest, SelectAllAndInvertTouchOnlyTheTicks) {
    AddRecordings({"a.avi", "b.avi", "c.avi"});
    Open();
    Window->BtnInvertSelection->click(); // empty list: nothing to do
    Window->BtnSelectAll->click();
    Window->Reload();
    Window->LVFileInfo->setCurrentItem(Window->LVFileInfo->topLevelItem(1));
    Tick({true, false, true});
    Window->BtnInvertSelection->click();
    EXPECT_EQ(Ticks(), (std::vector<bool>{false, true, false}));
    Window->BtnSelectAll->click();
    EXPECT_EQ(Ticks(), (std::vector<bool>{true, true, true}));
    EXPECT_EQ(Window->LVFileInfo->selectedItems().value(0), Window->LVFileInfo->topLevelItem(1));
    EXPECT_EQ(StoredNames().size(), 3u);
}

TEST_F(HistoryWindowTest, PlayNeedsAHighlightedRow) {
    AddRecordings({"a.avi"});
    Open();
    Window->Reload();
    Tick({true});
    Window->BtnPlay->click();
    EXPECT_EQ(Asked.Messages, (std::vector<QString>{QStringLiteral("请先选择一个文件")}));
    EXPECT_TRUE(Asked.Opened.empty());
}

TEST_F(HistoryWindowTest, PlayOpensTheHighlightedFileTicksOrNot) {
    AddRecordings({"a.avi", "录像 b.avi"});
    Open();
    Window->Reload();
    Tick({true, false});
    Window->LVFileInfo->setCurrentItem(Window->LVFileInfo->topLevelItem(1));
    Window->BtnPlay->click();
    ASSERT_EQ(Asked.Opened.size(), 1u);
    EXPECT_EQ(Asked.Opened[0], QUrl::fromLocalFile(QString::fromStdString((Dir / "录像 b.avi"))));
    EXPECT_TRUE(Asked.YesNoQuestions.empty());
}

TEST_F(HistoryWindowTest, PlayingAFileDeletedByHandOffersToDropTheRecord) {
    AddRecordings({"a.avi", "b.avi", "c.avi"});
    Open();
    Window->Reload();
    fs::remove(Dir / "b.avi");
    Window->LVFileInfo->setCurrentItem(Window->LVFileInfo->topLevelItem(1));

    Asked.YesNoAnswers = {false, true};
    Window->BtnPlay->click();
    EXPECT_EQ(Asked.YesNoQuestions.back(), QStringLiteral("文件不存在,是否删除该记录?"));
    EXPECT_EQ(Asked.YesNoTitles.back(), QStringLiteral("提示"));
    EXPECT_EQ(StoredNames(), (Names{"a.avi", "b.avi", "c.avi"}));

    Window->BtnPlay->click();
    EXPECT_EQ(StoredNames(), (Names{"a.avi", "c.avi"}));
    EXPECT_EQ(RowNames(), StoredNames());
    EXPECT_TRUE(Asked.Opened.empty());
}

TEST_F(HistoryWindowTest, AnIncompleteLastRecordIsReportedOnceAndDroppedByTheNextRemoval) {
    AddRecordings({"a.avi", "b.avi"});
    std::ofstream(History.HistoryFilePath(), std::ios::app | std::ios::binary)
        << std::string(77, '\0');
    Open();
    Window->Reload();
    EXPECT_EQ(RowNames(), (Names{"a.avi", "b.avi"}));
    ASSERT_EQ(Asked.Errors.size(), 1u);
    EXPECT_TRUE(Asked.Errors[0].startsWith(QStringLiteral("Stream read error")));
    EXPECT_TRUE(Asked.Errors[0].contains(QStringLiteral("77")));

    Tick({false, true});
    Asked.DeleteAnswers = {{TAskDeleteAnswer::Yes, false}};
    Window->BtnDel->click();
    EXPECT_EQ(StoredNames(), (Names{"a.avi"}));
    ASSERT_EQ(Asked.Messages.size(), 1u);
    EXPECT_TRUE(Asked.Messages[0].contains(QStringLiteral("77 字节")))
        << Asked.Messages[0].toStdString();
    EXPECT_EQ(fs::file_size(History.HistoryFilePath()), 320u);

    Window->Reload();
    EXPECT_EQ(Asked.Errors.size(), 1u);
}

// The status line counts each existing file once, and follows a deletion.
TEST_F(HistoryWindowTest, TheStatusLineShowsWhatTheListedRecordingsTake) {
    AddRecordings({"a.avi", "bb.avi"}); // files of 5 and 6 bytes
    History.AppendRecord(MakeHistoryRecord((Dir / "a.avi").string(), 45010.0));
    History.AppendRecord(MakeHistoryRecord((Dir / "gone.avi").string(), 45011.0));
    Open();
    EXPECT_GT(Window->LabStatus->y(), Window->BtnDel->geometry().bottom());
    Window->Reload();
    EXPECT_EQ(Window->LabStatus->text(), QStringLiteral("录像共 2 个，占用 11 B"));

    Tick({false, true});
    Asked.DeleteAnswers = {{TAskDeleteAnswer::Yes, true}};
    Window->BtnDel->click();
    EXPECT_EQ(Window->LabStatus->text(), QStringLiteral("录像共 1 个，占用 5 B"));
}

TEST_F(HistoryWindowTest, AMissingFolderIsReportedAndTheListKeepsWhatItHad) {
    AddRecordings({"a.avi"});
    auto window = std::make_unique<TFrmAVIDir>(nullptr, Dir / "gone", Asked.Services());
    window->Reload();
    ASSERT_EQ(Asked.Errors.size(), 1u);
    EXPECT_TRUE(Asked.Errors[0].startsWith(
        QStringLiteral("Cannot create file \"%1").arg(QString::fromStdString(Dir / "gone"))));
    EXPECT_EQ(window->LVFileInfo->topLevelItemCount(), 0);
}

TEST_F(HistoryWindowTest, ALongHistoryLoadsWhileTheWindowKeepsPainting) {
    constexpr int kRecords = 20000;
    WriteManyRecords(kRecords);
    Open();
    Window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));

    // Count the paints of the list that happen before it is complete.
    struct PaintCounter : QObject {
        const TFrmAVIDir* Window = nullptr;
        int PaintsWhileLoading = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint &&
                Window->LVFileInfo->topLevelItemCount() < kRecords)
                ++PaintsWhileLoading;
            return false;
        }
    } counter;
    counter.Window = Window.get();
    Window->LVFileInfo->viewport()->installEventFilter(&counter);
    std::vector<int> rowsSeenByTimer;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        rowsSeenByTimer.push_back(Window->LVFileInfo->topLevelItemCount());
        Window->LVFileInfo->viewport()->update();
    });
    timer.start(5);

    Window->Reload();
    timer.stop();
    EXPECT_EQ(Window->LVFileInfo->topLevelItemCount(), kRecords);
    EXPECT_EQ(Window->LVFileInfo->topLevelItem(kRecords - 1)->text(0),
              QStringLiteral("recording 19999.avi"));
    EXPECT_GT(counter.PaintsWhileLoading, 0);
    const auto partway = std::count_if(rowsSeenByTimer.begin(), rowsSeenByTimer.end(),
                                       [](int rows) { return rows > 0 && rows < kRecords; });
    EXPECT_GT(partway, 0) << "no timer ran while the list was filling";
    EXPECT_FALSE(Window->IsLoading());
}

TEST_F(HistoryWindowTest, ShowingAgainDuringALoadStartsOver) {
    WriteManyRecords(20000);
    Open();
    bool reshown = false;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (!reshown && Window->LVFileInfo->topLevelItemCount() > 0) {
            reshown = true;
            Window->hide();
            Window->show();
        }
    });
    timer.start(1);
    QSignalSpy loaded(Window.get(), &TFrmAVIDir::HistoryLoaded);
    Window->show();
    ASSERT_TRUE(loaded.wait(20000));
    timer.stop();
    EXPECT_TRUE(reshown);
    EXPECT_EQ(Window->LVFileInfo->topLevelItemCount(), 20000) << "no row is listed twice";
    EXPECT_EQ(loaded.count(), 1);
}

} // namespace
} // namespace vardocle::test
