#include "app/timer/uFrmSchedule.h"

#include "app/OutputFileCheck.h"
#include "app/RecordingState.h"
#include "platform/base/QtChild.h"
#include "platform/base/Text.h"
#include "recording/AllDayOptions.h"
#include "recording/WallClockWait.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>

namespace vardocle {

namespace {

constexpr int kOfferedMinutesAhead = 5;
constexpr int kOfferedLengthMinutes = 60;

} // namespace

TFrmSchedule::TFrmSchedule(std::optional<TRecordingSchedule> waiting, const QString& offeredFile,
                           THooks hooks, QWidget* parent)
    : QDialog(parent), FHooks(std::move(hooks)) {
    setWindowTitle(QStringLiteral("定时录制"));
    auto* form = MakeQtChild<QFormLayout>(this);

    CmbDay = MakeQtChild<QComboBox>(this);
    CmbDay->addItems({QStringLiteral("今天"), QStringLiteral("明天"), QStringLiteral("指定日期")});
    EditDate = MakeQtChild<QDateEdit>(this);
    EditDate->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    EditDate->setCalendarPopup(true);
    auto* dayRow = MakeQtChild<QHBoxLayout>();
    dayRow->addWidget(CmbDay);
    dayRow->addWidget(EditDate);
    form->addRow(QStringLiteral("开始日期:"), dayRow);
    EditTime = MakeQtChild<QTimeEdit>(this);
    EditTime->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    form->addRow(QStringLiteral("开始时间:"), EditTime);

    EditFile = MakeQtChild<QLineEdit>(this);
    EditFile->setMinimumWidth(280);
    BtnBrowse = MakeQtChild<QPushButton>(QStringLiteral("浏览…"), this);
    auto* fileRow = MakeQtChild<QHBoxLayout>();
    fileRow->addWidget(EditFile, 1);
    fileRow->addWidget(BtnBrowse);
    form->addRow(QStringLiteral("录像文件:"), fileRow);

    RadByHand = MakeQtChild<QRadioButton>(QStringLiteral("手动停止"), this);
    RadAfter = MakeQtChild<QRadioButton>(QStringLiteral("录制"), this);
    SpinMinutes = MakeQtChild<QSpinBox>(this);
    SpinMinutes->setRange(1, kMaxSegmentMinutes);
    SpinMinutes->setSuffix(QStringLiteral(" 分钟后停止"));
    RadAt = MakeQtChild<QRadioButton>(QStringLiteral("到"), this);
    EditStopAt = MakeQtChild<QDateTimeEdit>(this);
    EditStopAt->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    EditStopAt->setCalendarPopup(true);
    auto* ends = MakeQtChild<QVBoxLayout>();
    ends->addWidget(RadByHand);
    auto* afterRow = MakeQtChild<QHBoxLayout>();
    afterRow->addWidget(RadAfter);
    afterRow->addWidget(SpinMinutes, 1);
    ends->addLayout(afterRow);
    auto* atRow = MakeQtChild<QHBoxLayout>();
    atRow->addWidget(RadAt);
    atRow->addWidget(EditStopAt, 1);
    atRow->addWidget(MakeQtChild<QLabel>(QStringLiteral("停止"), this));
    ends->addLayout(atRow);
    form->addRow(QStringLiteral("结束:"), ends);

    LabProblem = MakeQtChild<QLabel>(this);
    LabProblem->setWordWrap(true);
    LabProblem->setStyleSheet(QStringLiteral("color: #c00000;"));
    form->addRow(LabProblem);

    BtnOk = MakeQtChild<QPushButton>(QStringLiteral("确定"), this);
    BtnOk->setDefault(true);
    BtnCancel = MakeQtChild<QPushButton>(QStringLiteral("取消"), this);
    BtnCancelSchedule = MakeQtChild<QPushButton>(QStringLiteral("取消定时"), this);
    BtnCancelSchedule->setVisible(waiting.has_value());
    auto* buttons = MakeQtChild<QHBoxLayout>();
    buttons->addWidget(BtnCancelSchedule);
    buttons->addStretch(1);
    buttons->addWidget(BtnOk);
    buttons->addWidget(BtnCancel);
    form->addRow(buttons);

    connect(CmbDay, &QComboBox::currentIndexChanged, this, &TFrmSchedule::FollowChoices);
    for (QRadioButton* choice : {RadByHand, RadAfter, RadAt})
        connect(choice, &QRadioButton::toggled, this, &TFrmSchedule::FollowChoices);
    connect(BtnBrowse, &QPushButton::clicked, this, &TFrmSchedule::BrowseClick);
    connect(BtnOk, &QPushButton::clicked, this, &TFrmSchedule::OkClick);
    connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(BtnCancelSchedule, &QPushButton::clicked, this, [this] { done(kCancelSchedule); });

    if (waiting) {
        Show(*waiting);
    } else {
        TRecordingSchedule offered;
        const QDateTime now = QDateTime::currentDateTime();
        offered.Start = now.addSecs(kOfferedMinutesAhead * 60 - now.time().second());
        offered.File = offeredFile;
        offered.Seconds = std::int64_t{kOfferedLengthMinutes} * 60;
        offered.StopAt = offered.Start.addSecs(offered.Seconds);
        Show(offered);
    }
}

void TFrmSchedule::Show(const TRecordingSchedule& schedule) {
    const QDate today = QDate::currentDate();
    const QDate day = schedule.Start.date();
    CmbDay->setCurrentIndex(day == today ? 0 : day == today.addDays(1) ? 1 : 2);
    EditDate->setDate(day);
    EditTime->setTime(schedule.Start.time());
    EditFile->setText(schedule.File);
    if (schedule.Seconds > 0)
        SpinMinutes->setValue(static_cast<int>(
            std::clamp<std::int64_t>((schedule.Seconds + 59) / 60, 1, kMaxSegmentMinutes)));
    else
        SpinMinutes->setValue(kOfferedLengthMinutes);
    EditStopAt->setDateTime(schedule.StopAt.isValid() ? schedule.StopAt
                                                      : schedule.Start.addSecs(3600));
    (schedule.End == TScheduleEnd::ByHand  ? RadByHand
     : schedule.End == TScheduleEnd::After ? RadAfter
                                           : RadAt)
        ->setChecked(true);
    FollowChoices();
}

void TFrmSchedule::FollowChoices() {
    EditDate->setEnabled(CmbDay->currentIndex() == 2);
    SpinMinutes->setEnabled(RadAfter->isChecked());
    EditStopAt->setEnabled(RadAt->isChecked());
}

TRecordingSchedule TFrmSchedule::Schedule() const {
    TRecordingSchedule schedule;
    const TScheduleDay day = CmbDay->currentIndex() == 0   ? TScheduleDay::Today
                             : CmbDay->currentIndex() == 1 ? TScheduleDay::Tomorrow
                                                           : TScheduleDay::Date;
    schedule.Start = ScheduleStart(day, EditDate->date(), EditTime->time(), QDate::currentDate());
    schedule.File = EditFile->text().trimmed();
    if (RadAfter->isChecked()) {
        schedule.End = TScheduleEnd::After;
        schedule.Seconds = std::int64_t{SpinMinutes->value()} * 60;
    } else if (RadAt->isChecked()) {
        schedule.End = TScheduleEnd::At;
        const QDateTime stop = EditStopAt->dateTime();
        schedule.StopAt = LocalMoment(stop.date(), stop.time());
    }
    return schedule;
}

QString TFrmSchedule::Check(TRecordingSchedule& schedule) {
    QString timeProblem = ScheduleTimeProblem(schedule, QDateTime::currentDateTime());
    if (!timeProblem.isEmpty())
        return timeProblem;
    if (schedule.File.isEmpty())
        return QStringLiteral("请填写录像文件名，或按“浏览…”选择。");
    // The name as a manual Start takes it: the same paths, the same checks.
    // Absolute, as the program may be started again from another folder.
    const TOutputPaths paths = OutputPathsFor(QFileInfo(schedule.File).absoluteFilePath());
    const QString fileProblem = OutputFileProblem(paths.AviFileName, paths.WavFileName);
    if (!fileProblem.isEmpty())
        return QStringLiteral("录像文件不能使用：%1").arg(fileProblem);
    schedule.File = paths.AviFileName;
    std::error_code ignored;
    const bool exists = std::filesystem::exists(EncodeSystem(paths.AviFileName), ignored) ||
                        std::filesystem::exists(EncodeSystem(paths.WavFileName), ignored);
    schedule.Replace = exists && FHooks.AskOverwrite && FHooks.AskOverwrite();
    if (exists && !schedule.Replace)
        return QStringLiteral("文件已经存在：请换一个文件名。");
    return {};
}

void TFrmSchedule::OkClick() {
    TRecordingSchedule schedule = Schedule();
    const QString problem = Check(schedule);
    LabProblem->setText(problem);
    if (!problem.isEmpty())
        return;
    FAccepted = schedule;
    accept();
}

void TFrmSchedule::BrowseClick() {
    if (!FHooks.ChooseFile)
        return;
    const QString offered =
        EditFile->text().trimmed().isEmpty() ? kFirstOutputName : EditFile->text().trimmed();
    if (const auto chosen = FHooks.ChooseFile(offered); chosen && !chosen->isEmpty())
        EditFile->setText(*chosen);
}

} // namespace vardocle
