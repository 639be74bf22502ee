// The main() of the main window's tests: the program's own application
// object, so that errors reach its error display as in the program.
#include "app/Application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    vardocle::TVardocleApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
