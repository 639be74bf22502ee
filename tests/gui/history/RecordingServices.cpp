#include "RecordingServices.h"

#include <gtest/gtest.h>

namespace vardocle::test {

TFrmAVIDirServices RecordingServices::Services() {
    TFrmAVIDirServices services;
    services.OpenFile = [this](const QUrl& file) { Opened.push_back(file); };
    services.AskYesNo = [this](QWidget*, const QString& text, const QString& title) {
        YesNoQuestions.push_back(text);
        YesNoTitles.push_back(title);
        if (YesNoAnswers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text.toStdString();
            return false;
        }
        const bool answer = YesNoAnswers.front();
        YesNoAnswers.pop_front();
        return answer;
    };
    services.AskDelete = [this](QWidget*, const QString& message, const QString& title) {
        DeleteQuestions.push_back(message);
        DeleteTitles.push_back(title);
        if (WhileAskingDelete)
            WhileAskingDelete();
        if (DeleteAnswers.empty()) {
            ADD_FAILURE() << "unexpected question: " << message.toStdString();
            return TAskDeleteResult{};
        }
        const TAskDeleteResult answer = DeleteAnswers.front();
        DeleteAnswers.pop_front();
        return answer;
    };
    services.ShowMessage = [this](QWidget*, const QString& text) { Messages.push_back(text); };
    services.ShowError = [this](QWidget*, const QString& text) { Errors.push_back(text); };
    return services;
}

} // namespace vardocle::test
