// One register-read exchange (command OUT, reply IN) through wd_utils against the simulated
// board at zero latency: the layer's own cost per exchange.
#include <benchmark/benchmark.h>

#include "wd_utils.h"
#include "wdu_sim.h"

namespace {

int onAttach(WDU_DEVICE_HANDLE device, const WDU_DEVICE*, void* user) {
    *static_cast<WDU_DEVICE_HANDLE*>(user) = device;
    return WDU_SetInterface(device, 0, 0) == WD_STATUS_SUCCESS;
}

void onDetach(WDU_DEVICE_HANDLE, void* user) {
    *static_cast<WDU_DEVICE_HANDLE*>(user) = 0;
}

void BM_RegisterReadExchange(benchmark::State& state) {
    wdu::resetForTests();
    auto board = bridgesim::Board::builtIn();
    board->setLatency(std::chrono::microseconds(state.range(0)));
    wdu::installSimulatedBoard(board);
    WDU_DEVICE_HANDLE device = 0;
    WDU_MATCH_TABLE match{board->vendorId(), board->productId(), 0, 0, 0, 0, 0};
    WDU_EVENT_TABLE events{onAttach, onDetach, nullptr, &device};
    WDU_DRIVER_HANDLE driver = 0;
    if (WDU_VB_Init(&driver, &match, 1, &events, 1, 0) != WD_STATUS_SUCCESS ||
        WDU_VB_PumpEvents() != 1 || device == 0) {
        state.SkipWithError("no simulated device attached");
        return;
    }
    std::uint8_t command[3] = {0x01, 0x61, 0x02};
    std::uint8_t reply[2] = {};
    std::uint32_t moved = 0;
    for (auto _ : state) {
        WDU_Transfer(device, 2, 0, 0, command, sizeof command, &moved, nullptr, 1000);
        WDU_Transfer(device, 0x82, 1, 0, reply, sizeof reply, &moved, nullptr, 1000);
        if (reply[1] != 0x7A) {
            state.SkipWithError("wrong reply");
            break;
        }
        benchmark::DoNotOptimize(reply);
    }
    state.SetItemsProcessed(state.iterations());
    WDU_VB_Uninit(driver);
    wdu::resetForTests();
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
