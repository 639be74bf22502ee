// The imaging classes need an application object (fonts) and the imaging
// units started, as in the program.
#include "skin/ImagingSession.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    vardocle::TImagingSession imaging;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
