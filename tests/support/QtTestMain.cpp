// The main() of test programs that need a QApplication: widget tests, web
// pages, network answers handled in the event loop.
#include "tests/support/TestSupport.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // The web engine refuses to run as root without the first, and there is
    // no GPU on the test machines.
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // A desktop test without an X server skips (VARDOCLE_REQUIRE_DISPLAY);
    // Qt must not abort before it can.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !vardocle::test::HaveDisplay())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
