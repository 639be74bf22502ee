// vardocle-skin-gen OUTPUT_ROOT
// Draws every skin picture and the program icons and writes them below
// OUTPUT_ROOT (skin/**.pic, icons/*.png). The output depends only on this
// code, so running it on the assets folder reproduces the committed files.
#include "tools/skin/SkinCatalogue.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_ROOT\n", argv[0]);
        return 2;
    }
    try {
        for (const QString& path : vardocle::skinart::WriteSkin(QString::fromLocal8Bit(argv[1])))
            std::printf("%s\n", qPrintable(path));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
        return 1;
    }
    return 0;
}
