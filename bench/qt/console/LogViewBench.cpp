// The log tab of the register console after a flood: one entry appended and rendered once the
// log is at its budget, and showing the "Program Log" tab (switch and paint) over a full log.
// Offscreen, on the built-in simulated bridge board.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <cstdlib>
#include <string>

#include "QtBench.h"
#include "app/Application.h"
#include "board/BoardLink.h"
#include "bridgesim/Board.h"
#include "kit/QtHost.h"
#include "program/QtViews.h"
#include "wdu_sim.h"

namespace {

const char* const kEntry =
    "ReadPipe: WDU_GetDeviceInfo() failed:\r\nerror &H20000015 (Device not found)\r\n";

// Fills the log past its budget, rendering every 1,500 entries as the host's periodic render
// does during a flood.
void flood(kit::QtHost& host, app::Application& app) {
    int since = 0;
    while (app.mainWindow().Txtlog.droppedBytes() == 0 || since != 0) {
        app.link().LogError(kEntry);
        if (++since == 1500) {
            host.renderAll();
            since = 0;
        }
    }
    host.renderAll();
}

template <class Body>
void onFullLog(benchmark::State& state, Body body) {
    qtbench::ensureQt();
    setenv("VELMORIX_BRIDGE", "sim", 1);
    wdu::resetForTests();
    wdu::installSimulatedBoard(bridgesim::Board::builtIn());
    {
        kit::QtHost host;
        program::QtViews views(host);
        app::Application& app = views.app();
        app.start();
        flood(host, app);
        auto* tabs = views.mainView()->findChild<QTabWidget*>("SSTab1");
        auto* log = views.mainView()->findChild<QPlainTextEdit*>("Txtlog");
        if (tabs == nullptr || log == nullptr) {
            state.SkipWithError("no log tab");
        } else {
            body(state, host, app, *tabs, *log);
        }
        state.counters["log_lines"] = log == nullptr ? 0 : log->document()->blockCount();
    }
    wdu::resetForTests();
}

void BM_ShowLogTabOverFullLog(benchmark::State& state) {
    onFullLog(state, [](benchmark::State& st, kit::QtHost&, app::Application&, QTabWidget& tabs,
                        QPlainTextEdit& log) {
        for (auto _ : st) {
            st.PauseTiming();
            tabs.setCurrentIndex(0);
            QApplication::processEvents();
            st.ResumeTiming();
            tabs.setCurrentIndex(1);
            log.viewport()->repaint();
            QApplication::processEvents();
        }
    });
}
BENCHMARK(BM_ShowLogTabOverFullLog)->Unit(benchmark::kMillisecond);

void BM_AppendAndRenderAtBudget(benchmark::State& state) {
    onFullLog(state, [](benchmark::State& st, kit::QtHost& host, app::Application& app,
                        QTabWidget& tabs, QPlainTextEdit&) {
        tabs.setCurrentIndex(1);
        for (auto _ : st) {
            app.link().LogError(kEntry);
            host.renderAll();
        }
        st.SetItemsProcessed(st.iterations());
    });
}
BENCHMARK(BM_AppendAndRenderAtBudget)->Unit(benchmark::kMicrosecond);

}  // namespace
