// Script window view tests run without a display unless one is asked for.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "shell/QtViews_view.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    shell::QtViews::applyStyle();
    return RUN_ALL_TESTS();
}
