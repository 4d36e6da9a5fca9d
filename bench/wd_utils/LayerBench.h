// What the layer's benchmarks share: the attach callbacks that keep the device handle, and the
// timed loop of one register read (register 02 of the device at 60/61, which reads 7A).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

#include "wd_utils.h"
#include "wdu_sim.h"

namespace layerbench {

// Keeps the attached device's handle in *user and claims its interface.
inline int keepDevice(WDU_DEVICE_HANDLE device, const WDU_DEVICE*, void* user) {
    *static_cast<WDU_DEVICE_HANDLE*>(user) = device;
    return WDU_SetInterface(device, 0, 0) == WD_STATUS_SUCCESS;
}

inline void forgetDevice(WDU_DEVICE_HANDLE, void* user) {
    *static_cast<WDU_DEVICE_HANDLE*>(user) = 0;
}

// Times the read's command and reply for as long as the state runs, then closes the layer; a
// wrong reply ends the run with an error.
inline void timeRegisterReads(benchmark::State& state, WDU_DEVICE_HANDLE device,
                              WDU_DRIVER_HANDLE driver) {
    std::uint8_t command[3] = {0x01, 0x61, 0x02};
    std::uint8_t reply[2] = {};
    std::uint32_t moved = 0;
    for (auto _ : state) {
        WDU_Transfer(device, 2, 0, 0, command, sizeof command, &moved, nullptr, 1000);
        WDU_Transfer(device, 0x82, 1, 0, reply, sizeof reply, &moved, nullptr, 1000);
        if (reply[0] != 1 || reply[1] != 0x7A) {
            state.SkipWithError("wrong reply");
            break;
        }
        benchmark::DoNotOptimize(reply);
    }
    state.SetItemsProcessed(state.iterations());
    WDU_VB_Uninit(driver);
    wdu::resetForTests();
}

}  // namespace layerbench
