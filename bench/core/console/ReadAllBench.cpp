// "Read All Active   Registers" of the register console: 32 rows, manual connection mode, the
// simulated bridge board at zero latency. Measures the model's own cost per press.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "BenchHost.h"
#include "app/Application.h"
#include "bridgesim/Board.h"
#include "testing/RecordingNavigator.h"
#include "wdu_sim.h"

namespace {

void ReadAllActiveRegisters(benchmark::State& state) {
    setenv("VELMORIX_BRIDGE", "sim", 1);
    wdu::resetForTests();
    wdu::installSimulatedBoard(bridgesim::Board::builtIn());
    wdu::simulatedBoard()->setPacketLogCapacity(1024);
    BenchHost host;
    {
        apptest::RecordingNavigator navigator;
        app::Application app(host, navigator);
        app.start();
        auto& main = app.mainWindow();
        main.ChKManUsbConn.Value = 1;
        main.ChKManUsbConn_Click();
        main.cmdUSBConnect_Click();
        for (auto _ : state) {
            main.cmdReadRegs_Click();
        }
        if (main.txtRdByte[2].Text() != "7A") {
            state.SkipWithError("read-all did not read the demo device");
        }
        main.cmdUSBDisconnect_Click();
        state.counters["rows"] = 32;
    }
    wdu::resetForTests();
}
BENCHMARK(ReadAllActiveRegisters)->Unit(benchmark::kMicrosecond);

}  // namespace
