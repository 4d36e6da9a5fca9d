// "Read All Active   Registers" of the register console: 32 rows, manual connection mode, the
// simulated bridge board at zero latency. Measures the model's own cost per press.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "app/Application.h"
#include "bridgesim/Board.h"
#include "testing/RecordingNavigator.h"
#include "wdu_sim.h"

namespace {

// A host whose yield only delivers queued attach/detach events, with a fixed clock.
class BenchHost : public form::Host {
  public:
    void doEvents() override { WDU_VB_PumpEvents(); }
    void sleepMs(int) override {}
    form::MsgResult messageBox(const std::string&, form::MsgButtons, const std::string&) override {
        return form::MsgResult::Ok;
    }
    form::FileDialogResult openFileDialog(const form::FileDialogRequest&) override { return {}; }
    form::FileDialogResult saveFileDialog(const form::FileDialogRequest&) override { return {}; }
    form::LocalDateTime now() override { return {2026, 12, 7, 14, 5, 9}; }
};

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
