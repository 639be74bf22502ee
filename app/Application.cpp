#include "app/Application.h"

#include "app/ApplicationErrors.h"
#include "platform/base/Paths.h"
#include "platform/base/WriteSignals.h"

#include <QMessageBox>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <unistd.h>

namespace vardocle {

TVardocleApplication::TVardocleApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TVardocleApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowError(error);
    } catch (...) {
        ShowErrorMessage(QStringLiteral("未知错误"));
    }
    return false;
}

void InstallMessageBoxErrorDisplay() {
    SetErrorDisplay([](const QString& message) {
        QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(),
                              message);
    });
}

void PrepareProcessEnvironment() {
    IgnoreWriteSignals();
    const auto fonts = ExecutableDir() / "fonts.conf";
    if (std::filesystem::exists(fonts) && !std::getenv("FONTCONFIG_FILE"))
        setenv("FONTCONFIG_FILE", fonts.c_str(), 1);
    // The web engine refuses to start as root inside its sandbox.
    if (geteuid() == 0 && !std::getenv("QTWEBENGINE_DISABLE_SANDBOX"))
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
}

} // namespace vardocle
