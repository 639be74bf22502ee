#pragma once
// "定时录制": when a recording starts (today, tomorrow or on a date, at a
// time), into which file, and how it ends. What is wrong with the choice is
// said in the dialog itself, in one line, until it is put right.
#include "app/timer/RecordingSchedule.h"

#include <QDialog>

#include <functional>
#include <optional>

class QComboBox;
class QDateEdit;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTimeEdit;

namespace vardocle {

class TFrmSchedule : public QDialog {
public:
    // The dialog's answer when the user cancels the waiting schedule.
    static constexpr int kCancelSchedule = 2;

    struct THooks {
        // The program's save dialog; the chosen name, none when cancelled.
        std::function<std::optional<QString>(const QString& offered)> ChooseFile;
        // "文件已经存在，要替换原文件吗？": true for Yes.
        std::function<bool()> AskOverwrite;
    };

    // Shows `waiting` when one is set (and offers to cancel it), else a start
    // a few minutes from now into `offeredFile`.
    TFrmSchedule(std::optional<TRecordingSchedule> waiting, const QString& offeredFile,
                 THooks hooks, QWidget* parent = nullptr);

    // The schedule as the fields show it now.
    TRecordingSchedule Schedule() const;
    // What the user must put right first; empty when the schedule can be set.
    // Asks about replacing an existing file.
    QString Check(TRecordingSchedule& schedule);

    QComboBox* CmbDay = nullptr;
    QDateEdit* EditDate = nullptr;
    QTimeEdit* EditTime = nullptr;
    QLineEdit* EditFile = nullptr;
    QPushButton* BtnBrowse = nullptr;
    QRadioButton* RadByHand = nullptr;
    QRadioButton* RadAfter = nullptr;
    QSpinBox* SpinMinutes = nullptr;
    QRadioButton* RadAt = nullptr;
    QDateTimeEdit* EditStopAt = nullptr;
    QLabel* LabProblem = nullptr;
    QPushButton* BtnOk = nullptr;
    QPushButton* BtnCancel = nullptr;
    QPushButton* BtnCancelSchedule = nullptr;

    // Set once the dialog was accepted.
    const std::optional<TRecordingSchedule>& Accepted() const { return FAccepted; }

private:
    void Show(const TRecordingSchedule& schedule);
    void OkClick();
    void BrowseClick();
    void FollowChoices();

    THooks FHooks;
    std::optional<TRecordingSchedule> FAccepted;
};

} // namespace vardocle
