// vardocle-skin-sheet ASSETS_ROOT OUTPUT.png
// Writes a contact sheet of the skin so that a person can judge the look.
#include "tools/skin/ContactSheet.h"

#include <QGuiApplication>

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ASSETS_ROOT OUTPUT.png\n", argv[0]);
        return 2;
    }
    // Text needs a GUI application but no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    try {
        const QImage sheet = vardocle::skinart::MakeContactSheet(QString::fromLocal8Bit(argv[1]));
        if (!sheet.save(QString::fromLocal8Bit(argv[2]), "png")) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
            return 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
        return 1;
    }
    return 0;
}
