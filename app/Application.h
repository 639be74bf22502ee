#pragma once
// The application object: runs the event loop and shows every error that no
// handler caught in a message box, after which the program goes on.
#include <QApplication>
#include <QString>
#include <functional>

namespace vardocle {

class TVardocleApplication : public QApplication {
public:
    TVardocleApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // How an uncaught error is shown; tests replace it to see the message.
    using ErrorDisplay = std::function<void(const QString& message)>;
    static void SetErrorDisplay(ErrorDisplay display);
    static void ShowError(const QString& message);
};

// Must run before the application object exists: points fontconfig at the
// font aliases shipped beside the executable and prepares the web engine.
void PrepareProcessEnvironment();

// Qt's own dialogs and buttons in Chinese.
void InstallChineseTranslations(QApplication& application);

} // namespace vardocle
