// What every Qt benchmark program needs: one offscreen QApplication with the program's style.
#pragma once

#include <QApplication>
#include <cstdlib>

#include "program/QtViews.h"

namespace qtbench {

// Creates the process's QApplication on first call; benchmark_main owns main().
inline void ensureQt() {
    static int argc = 1;
    static char name[] = "bench_qt";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance() == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static QApplication app(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        program::QtViews::applyStyle();
    }
}

}  // namespace qtbench
