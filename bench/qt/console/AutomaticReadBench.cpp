// One "READ" of the register console in automatic connection mode, through the Qt windows and
// the Qt host: connect (10,000 yields while the driver delivers the attach), the read exchange,
// disconnect, with Qt's event processing and the repaints at every yield. Offscreen, on the
// built-in simulated bridge board at zero latency.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <cstdlib>

#include "QtBench.h"
#include "app/Application.h"
#include "bridgesim/Board.h"
#include "kit/QtHost.h"
#include "program/QtViews.h"
#include "wdu_sim.h"

namespace {

// `viaButton`: a click on the window's READ button (gate, handler, repaint); otherwise the
// model's handler called directly, still on the Qt host.
void AutomaticRead(benchmark::State& state, bool viaButton) {
    qtbench::ensureQt();
    setenv("VELMORIX_BRIDGE", "sim", 1);
    wdu::resetForTests();
    wdu::installSimulatedBoard(bridgesim::Board::builtIn());
    wdu::simulatedBoard()->setPacketLogCapacity(1024);
    {
        kit::QtHost host;
        program::QtViews views(host);
        app::Application& app = views.app();
        app.start();
        auto& main = app.mainWindow();
        main.txtUserRegAdr.setText("02");
        auto* read = views.mainView()->findChild<QPushButton*>("cmdRead");
        auto* shown = views.mainView()->findChild<QLineEdit*>("txtReadByte");
        const long yieldsBefore = host.yields();
        for (auto _ : state) {
            if (viaButton) {
                read->click();
            } else {
                main.cmdRead_Click();
            }
        }
        host.renderAll();
        if (shown == nullptr || shown->text() != "7A") {
            state.SkipWithError("READ did not show the demo device's register 02");
        }
        state.counters["yields"] = benchmark::Counter(
            static_cast<double>(host.yields() - yieldsBefore), benchmark::Counter::kAvgIterations);
    }
    wdu::resetForTests();
}

void AutomaticReadViaButton(benchmark::State& state) {
    AutomaticRead(state, true);
}
void AutomaticReadModelOnQtHost(benchmark::State& state) {
    AutomaticRead(state, false);
}
BENCHMARK(AutomaticReadViaButton)->Unit(benchmark::kMillisecond);
BENCHMARK(AutomaticReadModelOnQtHost)->Unit(benchmark::kMillisecond);

}  // namespace
