// View tests run without a display unless one is asked for.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "program/QtViews.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    program::QtViews::applyStyle();
    return RUN_ALL_TESTS();
}
