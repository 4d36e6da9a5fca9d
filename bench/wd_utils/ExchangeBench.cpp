// One register-read exchange (command OUT, reply IN) through wd_utils against the simulated
// board at zero latency: the layer's own cost per exchange.
#include <benchmark/benchmark.h>

#include "LayerBench.h"
#include "wd_utils.h"
#include "wdu_sim.h"

namespace {

void BM_RegisterReadExchange(benchmark::State& state) {
    wdu::resetForTests();
    auto board = bridgesim::Board::builtIn();
    board->setLatency(std::chrono::microseconds(state.range(0)));
    wdu::installSimulatedBoard(board);
    WDU_DEVICE_HANDLE device = 0;
    WDU_MATCH_TABLE match{board->vendorId(), board->productId(), 0, 0, 0, 0, 0};
    WDU_EVENT_TABLE events{layerbench::keepDevice, layerbench::forgetDevice, nullptr, &device};
    WDU_DRIVER_HANDLE driver = 0;
    if (WDU_VB_Init(&driver, &match, 1, &events, 1, 0) != WD_STATUS_SUCCESS ||
        WDU_VB_PumpEvents() != 1 || device == 0) {
        state.SkipWithError("no simulated device attached");
        return;
    }
    layerbench::timeRegisterReads(state, device, driver);
}

// Idle cost of the pump the program calls at every yield.
void BM_PumpNothingQueued(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(WDU_VB_PumpEvents());
    }
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_RegisterReadExchange)->Arg(0)->Arg(250)->UseRealTime();
BENCHMARK(BM_PumpNothingQueued);
