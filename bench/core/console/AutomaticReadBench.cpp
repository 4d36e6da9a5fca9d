// One register read of the console (Read button) on each bridge: in the automatic mode it
// connects, transfers and disconnects; in the manual mode the connection stays open. Counted
// in time and, on the emulated USB board, in the requests that reached the device node. The USB
// runs need LD_PRELOAD=libumockdev-preload.so.0.
#include <benchmark/benchmark.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "BenchHost.h"
#include "app/Application.h"
#include "bridgesim/Board.h"
#include "emulator/EmulatedBridge.h"
#include "testing/RecordingNavigator.h"
#include "wdu_sim.h"

namespace {

enum class Bridge { Simulated, EmulatedUsb };

// state.range(0): the bridge; state.range(1): 1 = manual mode (connected once, outside the
// loop), 0 = automatic mode.
void ConsoleRead(benchmark::State& state) {
    const auto bridge = static_cast<Bridge>(state.range(0));
    const bool manual = state.range(1) != 0;
    wdu::resetForTests();
    auto board = bridgesim::Board::builtIn();
    board->setPacketLogCapacity(1024);
    std::unique_ptr<EmulatedBridge> emulated;
    if (bridge == Bridge::EmulatedUsb) {
        if (!EmulatedBridge::inMockEnvironment()) {
            state.SkipWithError("needs LD_PRELOAD=libumockdev-preload.so.0");
            return;
        }
        setenv("VELMORIX_BRIDGE", "usb", 1);
        wdu::resetForTests();
        emulated = std::make_unique<EmulatedBridge>(board);
        std::string error;
        if (!emulated->plug(error)) {
            state.SkipWithError(error.c_str());
            return;
        }
    } else {
        setenv("VELMORIX_BRIDGE", "sim", 1);
        wdu::installSimulatedBoard(board);
    }
    BenchHost host;
    {
        apptest::RecordingNavigator navigator;
        app::Application app(host, navigator);
        app.start();
        auto& main = app.mainWindow();
        main.txtUserRegAdr.setText("02");
        main.ChKManUsbConn.Value = manual ? 1 : 0;
        main.ChKManUsbConn_Click();
        if (manual) {
            main.cmdUSBConnect_Click();
        }
        const int requestsBefore = emulated ? emulated->totalRequests() : 0;
        const int reapsBefore = emulated ? emulated->requests(USBDEVFS_REAPURBNDELAY) : 0;
        const std::uint32_t urbsBefore = emulated ? emulated->transfers() : 0;
        for (auto _ : state) {
            main.cmdRead_Click();
        }
        if (main.txtReadByte.Text() != "7A") {
            state.SkipWithError("the read did not reach the demo device");
        }
        if (emulated) {
            const double reads = static_cast<double>(state.iterations());
            state.counters["requests"] = (emulated->totalRequests() - requestsBefore) / reads;
            state.counters["urbs"] = (emulated->transfers() - urbsBefore) / reads;
            // libusb reaps without waiting, and polls the always-ready emulated node: every
            // reap beyond one per urb found nothing.
            state.counters["reaps"] =
                (emulated->requests(USBDEVFS_REAPURBNDELAY) - reapsBefore) / reads;
        }
        if (manual) {
            main.cmdUSBDisconnect_Click();
        }
    }
    wdu::resetForTests();
    emulated.reset();
}

void bridges(benchmark::internal::Benchmark* b) {
    b->ArgNames({"usb", "manual"});
    for (const Bridge bridge : {Bridge::Simulated, Bridge::EmulatedUsb}) {
        for (const int manual : {1, 0}) {
            b->Args({static_cast<int>(bridge), manual});
        }
    }
}
BENCHMARK(ConsoleRead)->Apply(bridges)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
