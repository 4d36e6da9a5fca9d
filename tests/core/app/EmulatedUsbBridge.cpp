#include "EmulatedUsbBridge.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "wdu_sim.h"

namespace apptest {

bool EmulatedUsbBridge::install(std::shared_ptr<bridgesim::Board> board, std::string& why) {
    if (!EmulatedBridge::inMockEnvironment()) {
        why =
            "the umockdev preload library is not active (run under "
            "LD_PRELOAD=libumockdev-preload.so.0)";
        return false;
    }
    board_ = std::move(board);
    setenv("VELMORIX_BRIDGE", "usb", 1);
    wdu::resetForTests();
    emulated_ = std::make_unique<EmulatedBridge>(board_);
    return !board_->attached() || emulated_->plug(why);
}

void EmulatedUsbBridge::unplug() {
    emulated_->unplug();
}

void EmulatedUsbBridge::plugIn() {
    std::string error;
    EXPECT_TRUE(emulated_->replug(error)) << error;
}

void EmulatedUsbBridge::unplugAtTransfer(std::uint32_t n) {
    if (n <= 1) {
        unplug();
    } else {
        emulated_->cutCableAfterTransfers(n - 1);
    }
}

void EmulatedUsbBridge::timeOutOn(std::uint8_t endpoint) {
    board_->setEndpointTimesOut(endpoint, true);
}

}  // namespace apptest
