#include "EmulatedI2cBridge.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "wd_utils.h"
#include "wdu_sim.h"

namespace apptest {

EmulatedI2cBridge::~EmulatedI2cBridge() {
    WDU_SetTransferTrace(nullptr, nullptr);
}

bool EmulatedI2cBridge::install(std::shared_ptr<bridgesim::Board> board, std::string& why) {
    if (!EmulatedI2cAdapter::inMockEnvironment()) {
        why =
            "the umockdev preload library is not active (run under "
            "LD_PRELOAD=libumockdev-preload.so.0)";
        return false;
    }
    board_ = std::move(board);
    wdu::resetForTests();
    adapter_ = std::make_unique<EmulatedI2cAdapter>(board_->i2cBus(), 1);
    if (board_->attached() && !adapter_->plug(why)) {
        return false;
    }
    if (WDU_SelectBridge(("i2cdev:" + adapter_->node()).c_str()) != WD_STATUS_SUCCESS) {
        why = WDU_BridgeError();
        return false;
    }
    return true;
}

bool EmulatedI2cBridge::unplug() {
    adapter_->unplug();
    return true;
}

bool EmulatedI2cBridge::plugIn() {
    std::string error;
    EXPECT_TRUE(adapter_->plug(error)) << error;
    return true;
}

bool EmulatedI2cBridge::unplugAtTransfer(std::uint32_t n) {
    if (n <= 1) {
        return unplug();
    }
    transfersToCut_ = n - 1;
    WDU_SetTransferTrace(&EmulatedI2cBridge::onTransfer, this);
    return true;
}

bool EmulatedI2cBridge::timeOutOn(std::uint8_t /*endpoint*/) {
    adapter_->failNext(ETIMEDOUT);
    return true;
}

void EmulatedI2cBridge::onTransfer(std::uint32_t, std::uint32_t, const std::uint8_t*, std::uint32_t,
                                   std::uint32_t, void* self) {
    auto* bridge = static_cast<EmulatedI2cBridge*>(self);
    if (bridge->transfersToCut_ > 0 && --bridge->transfersToCut_ == 0) {
        bridge->unplug();
    }
}

}  // namespace apptest
