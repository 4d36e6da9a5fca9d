#include "testing/SimulatedBridge.h"

#include <chrono>
#include <cstdlib>

#include "wdu_sim.h"

namespace apptest {

bool SimulatedBridge::install(std::shared_ptr<bridgesim::Board> board, std::string&) {
    board_ = std::move(board);
    setenv("VELMORIX_BRIDGE", "sim", 1);
    wdu::resetForTests();
    wdu::installSimulatedBoard(board_);
    return true;
}

void SimulatedBridge::unplug() {
    board_->detach();
}

void SimulatedBridge::plugIn() {
    board_->attach();
}

void SimulatedBridge::unplugAtTransfer(std::uint32_t n) {
    board_->detachAtTransfer(n);
}

void SimulatedBridge::timeOutOn(std::uint8_t endpoint) {
    board_->setTimeoutWait(std::chrono::microseconds(1000));
    board_->setEndpointTimesOut(endpoint, true);
}

}  // namespace apptest
