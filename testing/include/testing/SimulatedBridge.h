// The simulation backend of the USB layer: the board answers on the caller's thread and its
// attach and detach reach the program at the next events.
#pragma once

#include "testing/TestBridge.h"

namespace apptest {

class SimulatedBridge : public TestBridge {
  public:
    // Installs the board in the simulation backend; never fails.
    bool install(std::shared_ptr<bridgesim::Board> board, std::string& why) override;
    // Detaches the board.
    void unplug() override;
    // Attaches the board.
    void plugIn() override;
    // Arms the board's detach at its n-th transfer.
    void unplugAtTransfer(std::uint32_t n) override;
    // Makes the endpoint time out after a short wait, so that the test stays fast.
    void timeOutOn(std::uint8_t endpoint) override;

  private:
    std::shared_ptr<bridgesim::Board> board_;
};

}  // namespace apptest
