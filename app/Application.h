#pragma once
// The application object: runs the event loop and hands every error that no
// handler caught to the error display (ApplicationErrors.h); the program goes on.
#include <QApplication>
#include <QString>

namespace vardocle {

class TVardocleApplication : public QApplication {
public:
    TVardocleApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Must run before the application object exists: points fontconfig at the
// font aliases shipped beside the executable, prepares the web engine and
// makes write limits arrive as failed writes.
void PrepareProcessEnvironment();

// The error display of the running program: a message box.
void InstallMessageBoxErrorDisplay();

} // namespace vardocle
