#pragma once
// Stands in for the user and the desktop: answers the history window's
// questions from a script and records everything the window asked or showed.
#include "history/uFrmAviDir.h"

#include <deque>
#include <functional>
#include <vector>

namespace vardocle::test {

struct RecordingServices {
    std::deque<bool> YesNoAnswers;
    std::deque<TAskDeleteResult> DeleteAnswers;
    // Runs while a delete question is open (to look at the list and the file).
    std::function<void()> WhileAskingDelete;

    std::vector<QUrl> Opened;
    std::vector<QString> YesNoQuestions;
    std::vector<QString> YesNoTitles;
    std::vector<QString> DeleteQuestions;
    std::vector<QString> DeleteTitles;
    std::vector<QString> Messages;
    std::vector<QString> Errors;

    TFrmAVIDirServices Services();
};

} // namespace vardocle::test
