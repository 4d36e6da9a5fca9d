#include "testing/SimulatedBridge.h"

#include <chrono>
#include <cstdlib>

#include "wdu_env.h"
#include "wdu_sim.h"

namespace apptest {

bool SimulatedBridge::install(std::shared_ptr<bridgesim::Board> board, std::string&) {
    board_ = std::move(board);
    setenv("VELMORIX_BRIDGE", "sim", 1);
    wdu::resetForTests();
    wdu::installSimulatedBoard(board_);
    return true;
}

bool SimulatedBridge::unplug() {
    board_->detach();
    return true;
}

bool SimulatedBridge::plugIn() {
    board_->attach();
    return true;
}

bool SimulatedBridge::unplugAtTransfer(std::uint32_t n) {
    board_->detachAtTransfer(n);
    return true;
}

bool SimulatedBridge::timeOutOn(std::uint8_t endpoint) {
    board_->setTimeoutWait(std::chrono::microseconds(1000));
    board_->setEndpointTimesOut(endpoint, true);
    return true;
}

}  // namespace apptest
