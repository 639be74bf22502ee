// The history window's double click, and the marks and menu of recordings
// left incomplete, with the repair and the player replaced by stand-ins.
#include "HistoryWindowFixture.h"

#include <QAction>
#include <QTest>

namespace vardocle::test {
namespace {

class HistoryRepairTest : public HistoryWindowTest {
protected:
    void OpenWithRepair() {
        Open();
        TFrmAVIDirRepair repair;
        repair.IsInterrupted = [](const std::string& path) {
            return path.find("broken") != std::string::npos;
        };
        repair.Repair = [this](QWidget*, const std::string& path, std::function<void()> done) {
            Repaired.push_back(path);
            done();
        };
        Window->SetRepair(std::move(repair));
        Window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
        Window->Reload();
    }

    QStringList MenuItems(int row) {
        QStringList items;
        const std::unique_ptr<QMenu> menu = Window->RowMenu(row);
        for (const QAction* action : menu->actions())
            items.append(action->text());
        return items;
    }

    std::vector<std::string> Repaired;
};

TEST_F(HistoryRepairTest, ADoubleClickOnARowPlaysIt) {
    AddRecordings({"a.avi", "b.avi"});
    OpenWithRepair();
    QTreeWidget* list = Window->LVFileInfo;
    const QRect row = list->visualItemRect(list->topLevelItem(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
    ASSERT_EQ(Asked.Opened.size(), 1u);
    EXPECT_EQ(Asked.Opened[0], QUrl::fromLocalFile(QString::fromStdString(Dir / "b.avi")));
}

TEST_F(HistoryRepairTest, AnInterruptedRecordingIsMarkedAndItsMenuRepairsIt) {
    AddRecordings({"fine.avi", "broken.avi"});
    OpenWithRepair();
    EXPECT_FALSE(Window->RowInterrupted(0));
    EXPECT_TRUE(Window->RowInterrupted(1));
    EXPECT_EQ(Window->LVFileInfo->topLevelItem(1)->text(0), QStringLiteral("broken.avi（未完成）"));
    EXPECT_EQ(Window->RowRecord(1).FileName, "broken.avi") << "the record stays as stored";
    EXPECT_EQ(MenuItems(0), QStringList{QStringLiteral("播放")});
    ASSERT_EQ(MenuItems(1), (QStringList{QStringLiteral("播放"), QStringLiteral("修复")}));
    Window->RowMenu(1)->actions().at(1)->trigger();
    EXPECT_EQ(Repaired, std::vector<std::string>{(Dir / "broken.avi").string()});
}

} // namespace
} // namespace vardocle::test
