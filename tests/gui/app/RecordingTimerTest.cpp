// The main window's recording on a timer: set in its dialog, started at its
// time as Start does and stopped at its end; never a second recording, and
// never over a file made after it was set.
#include "app/timer/RecordingTimer.h"
#include "MainWindowFixture.h"
#include "app/SettingStore.h"
#include "app/timer/ScheduleStore.h"
#include "app/timer/uFrmSchedule.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTimeEdit>

using namespace vardocle;
using namespace vardocle::test;

namespace {

// What the dialog says after OK with the fields as `fill` leaves them.
QString ProblemAfterOk(TFrmSchedule& dialog, const std::function<void()>& fill) {
    fill();
    dialog.BtnOk->click();
    return dialog.isVisible() ? dialog.LabProblem->text() : QString();
}

} // namespace

TEST_F(MainWindowTest, ATimerSetInItsDialogRecordsFromItsStartToItsEnd) {
    Open();
    const auto forget = qScopeGuard([] { RemoveSchedule(SettingFileName()); });
    const QList<QAction*> items = Main->TrayMenu->actions();
    ASSERT_EQ(items.indexOf(Main->MenuTimer), items.indexOf(Main->MenuStop) + 1);
    EXPECT_EQ(Main->MenuTimer->text(), QStringLiteral("定时录制…"));

    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime start = now.addMSecs(3000 - now.time().msec());
    const fs::path video = Folder / "timed.avi";
    std::vector<QString> problems;
    QTimer::singleShot(0, [&] {
        auto* dialog = dynamic_cast<TFrmSchedule*>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "no schedule dialog";
            if (QApplication::activeModalWidget())
                QApplication::activeModalWidget()->close();
            return;
        }
        dialog->CmbDay->setCurrentIndex(2);
        dialog->EditDate->setDate(start.date());
        problems.push_back(ProblemAfterOk(*dialog, [&] {
            dialog->EditTime->setTime(now.addSecs(-60).time());
            dialog->EditDate->setDate(now.addSecs(-60).date());
        }));
        problems.push_back(ProblemAfterOk(*dialog, [&] {
            dialog->EditDate->setDate(start.date());
            dialog->EditTime->setTime(start.time());
            dialog->RadAt->setChecked(true);
            dialog->EditStopAt->setDateTime(start.addSecs(-1));
        }));
        problems.push_back(ProblemAfterOk(*dialog, [&] {
            dialog->EditStopAt->setDateTime(start.addSecs(2));
            dialog->EditFile->setText(Path(Folder / "no such folder" / "x.avi"));
        }));
        problems.push_back(
            ProblemAfterOk(*dialog, [&] { dialog->EditFile->setText(Path(video)); }));
        // Never left waiting for a hand that does not come.
        if (dialog->isVisible())
            dialog->reject();
    });
    Main->MenuTimerClick();
    ASSERT_EQ(problems.size(), 4u);
    EXPECT_TRUE(problems[0].contains(QStringLiteral("已经过去"))) << problems[0].toStdString();
    EXPECT_TRUE(problems[1].contains(QStringLiteral("不在开始时间"))) << problems[1].toStdString();
    EXPECT_TRUE(problems[2].contains(QStringLiteral("录像文件不能使用")))
        << problems[2].toStdString();
    EXPECT_EQ(problems[3], QString()) << "accepted";

    ASSERT_TRUE(Main->RecordingTimer()->Waiting().has_value());
    EXPECT_TRUE(LoadSchedule(SettingFileName()).has_value());
    EXPECT_TRUE(Main->TrayIcon()->toolTip().contains(QStringLiteral("定时录制")))
        << Main->TrayIcon()->toolTip().toStdString();
    ASSERT_TRUE(WaitFor([&] { return Main->State() == TRecordingState::Recording; }, 6000));
    const qint64 late = start.msecsTo(QDateTime::currentDateTime());
    EXPECT_GE(late, 0);
    EXPECT_LT(late, 200);
    EXPECT_EQ(Main->AviFileName(), Path(video));
    EXPECT_FALSE(LoadSchedule(SettingFileName()).has_value());
    ASSERT_TRUE(WaitFor([&] { return Main->State() == TRecordingState::Idle; }, 6000));
    EXPECT_NEAR(start.msecsTo(QDateTime::currentDateTime()), 2000, 400);
    ASSERT_EQ(HistoryRecords().size(), 1u);
    EXPECT_EQ(HistoryRecords()[0].FilePath, video.string());
}

TEST_F(MainWindowTest, ATimerDueDuringARecordingOrOnAFileMadeSinceKeepsBoth) {
    Open();
    const auto forget = qScopeGuard([] { RemoveSchedule(SettingFileName()); });
    Answers = {Path(Folder / "manual.avi")};
    Main->BtnStartClick();
    ASSERT_EQ(Main->State(), TRecordingState::Recording);
    TRecordingSchedule schedule;
    schedule.Start = QDateTime::currentDateTime().addMSecs(300);
    schedule.File = Path(Folder / "timed.avi");
    Main->RecordingTimer()->Set(schedule);
    KeepRunning(1000);
    EXPECT_EQ(Main->AviFileName(), Path(Folder / "manual.avi")) << "a second recording started";
    EXPECT_FALSE(fs::exists(Folder / "timed.avi"));
    EXPECT_FALSE(Main->RecordingTimer()->Waiting().has_value()) << "dropped once it was due";
    EXPECT_FALSE(LoadSchedule(SettingFileName()).has_value());
    StopAndWait();

    // Made after the schedule was set, without the user's word to replace it.
    const auto size = fs::file_size(Folder / "manual.avi");
    schedule.Start = QDateTime::currentDateTime().addMSecs(300);
    schedule.File = Path(Folder / "manual.avi");
    schedule.End = TScheduleEnd::After;
    schedule.Seconds = 1;
    Main->RecordingTimer()->Set(schedule);
    ASSERT_TRUE(WaitFor([&] { return Main->State() == TRecordingState::Recording; }, 3000));
    EXPECT_EQ(Main->AviFileName(), Path(Folder / "manual-002.avi"));
    ASSERT_TRUE(WaitFor([&] { return Main->State() == TRecordingState::Idle; }, 5000));
    EXPECT_EQ(fs::file_size(Folder / "manual.avi"), size);
    EXPECT_TRUE(fs::exists(Folder / "manual-002.avi"));
}

TEST_F(MainWindowTest, ATimerComesDueWhileItsDialogIsOpen) {
    Open();
    const auto forget = qScopeGuard([] { RemoveSchedule(SettingFileName()); });
    TRecordingSchedule schedule;
    schedule.Start = QDateTime::currentDateTime().addMSecs(300);
    schedule.File = Path(Folder / "timed.avi");
    Main->RecordingTimer()->Set(schedule);
    TRecordingState during = TRecordingState::Idle;
    QTimer::singleShot(1200, [&] {
        during = Main->State();
        if (QWidget* dialog = QApplication::activeModalWidget())
            dialog->close();
    });
    Main->MenuTimerClick();
    EXPECT_EQ(during, TRecordingState::Recording) << "refused while the dialog was open";
    StopAndWait();
    EXPECT_TRUE(fs::exists(Folder / "timed.avi"));
}
