// The board link's own cost: a connect/disconnect cycle and a register read exchange against
// the simulated bridge board at zero latency.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "BenchHost.h"
#include "board/BoardLink.h"
#include "bridgeproto/Codec.h"
#include "bridgesim/Board.h"
#include "wdu_sim.h"

namespace {

void installBoard() {
    setenv("VELMORIX_BRIDGE", "sim", 1);
    wdu::resetForTests();
    wdu::installSimulatedBoard(bridgesim::Board::builtIn());
    wdu::simulatedBoard()->setPacketLogCapacity(1024);
}

// Connect_Usb + Disconnect_USB; `pump` decides whether the attach is delivered.
void connectCycle(benchmark::State& state, bool pump) {
    installBoard();
    BenchHost host(pump);
    board::StandaloneMainWindow main;
    board::BoardLink link(host, main);
    link.InitColors();
    long cycles = 0;
    for (auto _ : state) {
        link.Connect_Usb();
        link.Disconnect_USB();
        if (++cycles % 4096 == 0) {
            state.PauseTiming();
            main.Txtlog().setText("");
            state.ResumeTiming();
        }
    }
    if (link.usbOpened()) {
        state.SkipWithError("connection left open");
    }
    state.SetItemsProcessed(state.iterations());
    wdu::resetForTests();
}

void BM_ConnectDisconnect_NoOpYield(benchmark::State& state) {
    connectCycle(state, false);
}
BENCHMARK(BM_ConnectDisconnect_NoOpYield)->Unit(benchmark::kMicrosecond);

void BM_ConnectDisconnect_PumpingYield(benchmark::State& state) {
    connectCycle(state, true);
}
BENCHMARK(BM_ConnectDisconnect_PumpingYield)->Unit(benchmark::kMicrosecond);

// A manual-mode register read: one exchange of a one-byte read command and its reply.
void BM_RegisterReadExchange(benchmark::State& state) {
    installBoard();
    BenchHost host(true);
    board::StandaloneMainWindow main;
    board::BoardLink link(host, main);
    link.InitColors();
    link.Connect_Usb();
    link.setManualConnect(true);
    link.setI2cAddress(0x60);
    if (!link.usbOpened()) {
        state.SkipWithError("no board attached");
        return;
    }
    std::size_t logBefore = main.Txtlog().Text().size();
    const std::vector<std::uint8_t> reg{0x02};
    board::Reply reply;
    for (auto _ : state) {
        reply = link.exchange(bridgeproto::i2cRead(1, link.i2cReadAddress(), reg));
        benchmark::DoNotOptimize(reply.bytes.data());
    }
    if (reply.byteAt(0) != 1 || main.Txtlog().Text().size() != logBefore) {
        state.SkipWithError("exchange failed");
    }
    state.SetItemsProcessed(state.iterations());
    link.Disconnect_USB();
    wdu::resetForTests();
}
BENCHMARK(BM_RegisterReadExchange);

}  // namespace
