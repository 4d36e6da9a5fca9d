// One register READ as the console does it when it connects for each operation: register, take
// the attach (selecting the interface), read the device information, command OUT, reply IN,
// reset, unregister; through the libusb backend against the emulated bridge. Reports the USB
// requests that reached the device per READ beside the time. Needs the umockdev preload library
// (LD_PRELOAD=libumockdev-preload.so.0); skipped without it.
#include <benchmark/benchmark.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>

#include "LayerBench.h"
#include "emulator/EmulatedBridge.h"
#include "wd_utils.h"
#include "wdu_sim.h"

namespace {

int requestsSoFar(const EmulatedBridge& bridge) {
    int total = 0;
    const std::initializer_list<unsigned long> kinds = {USBDEVFS_GET_CAPABILITIES,
                                                        USBDEVFS_SETINTERFACE,
                                                        USBDEVFS_IOCTL,
                                                        USBDEVFS_GETDRIVER,
                                                        USBDEVFS_RESET,
                                                        USBDEVFS_CLAIMINTERFACE,
                                                        USBDEVFS_DISCONNECT_CLAIM,
                                                        USBDEVFS_RELEASEINTERFACE,
                                                        USBDEVFS_CLEAR_HALT,
                                                        USBDEVFS_RESETEP,
                                                        USBDEVFS_SUBMITURB,
                                                        USBDEVFS_DISCARDURB,
                                                        USBDEVFS_REAPURB,
                                                        USBDEVFS_REAPURBNDELAY};
    for (const unsigned long request : kinds) {
        total += bridge.requests(request);
    }
    return total;
}

void BM_AutomaticReadThroughLibusb(benchmark::State& state) {
    if (!EmulatedBridge::inMockEnvironment()) {
        state.SkipWithError("run under LD_PRELOAD=libumockdev-preload.so.0");
        return;
    }
    setenv("VELMORIX_BRIDGE", "usb", 1);
    wdu::resetForTests();
    auto board = bridgesim::Board::builtIn();
    auto bridge = std::make_unique<EmulatedBridge>(board);
    std::string error;
    if (!bridge->plug(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    WDU_DEVICE_HANDLE device = 0;
    WDU_MATCH_TABLE match{board->vendorId(), board->productId(), 0, 0, 0, 0, 0};
    WDU_EVENT_TABLE events{layerbench::keepDevice, layerbench::forgetDevice, nullptr, &device};
    std::uint8_t command[3] = {0x01, 0x61, 0x02};
    std::uint8_t reply[2] = {};
    std::uint32_t moved = 0;
    const int requestsBefore = requestsSoFar(*bridge);
    for (auto _ : state) {
        WDU_DRIVER_HANDLE driver = 0;
        device = 0;
        if (WDU_VB_Init(&driver, &match, 1, &events, 1, 0) != WD_STATUS_SUCCESS ||
            WDU_VB_PumpEvents() != 1 || device == 0) {
            state.SkipWithError("no attach");
            break;
        }
        WDU_DEVICE info{};
        WDU_GetDeviceInfo(device, &info);
        WDU_Transfer(device, 2, 0, 0, command, sizeof command, &moved, nullptr, 1000);
        WDU_Transfer(device, 0x82, 1, 0, reply, sizeof reply, &moved, nullptr, 1000);
        WDU_ResetDevice(device, 0);
        WDU_VB_Uninit(driver);
        if (reply[1] != 0x7A) {
            state.SkipWithError("wrong reply");
            break;
        }
    }
    state.counters["usb_requests"] = benchmark::Counter(requestsSoFar(*bridge) - requestsBefore,
                                                        benchmark::Counter::kAvgIterations);
    state.SetItemsProcessed(state.iterations());
    wdu::resetForTests();
    bridge.reset();
    unsetenv("VELMORIX_BRIDGE");
}

}  // namespace

BENCHMARK(BM_AutomaticReadThroughLibusb)->UseRealTime();
