// Test entry for window tests: the program's own application object on the offscreen platform
// for the whole run, so a failure that escapes a handler reaches its error display as it would
// in the program (and a box nobody scripted fails the test).
#include <gtest/gtest.h>

#include "mainwindow/ErrorDisplay.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
