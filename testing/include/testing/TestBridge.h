// The way a test's program reaches its simulated board: straight through the simulation
// backend, or through a real backend with the board behind an emulated device. A scenario
// written against this runs unchanged on every bridge.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "bridgesim/Board.h"

namespace apptest {

class TestBridge {
  public:
    virtual ~TestBridge() = default;

    // Puts the board behind this bridge and makes the USB layer use the bridge from its next
    // registration on; false with the reason when this bridge cannot run here.
    virtual bool install(std::shared_ptr<bridgesim::Board> board, std::string& why) = 0;
    // The faults below return false when this bridge cannot bring them about (an adapter with
    // no cable to pull): the scenario that needs one is then skipped.

    // Pulls the cable now; the program hears of it through its events, maybe a little later.
    virtual bool unplug() = 0;
    // Plugs the board in now, again after an unplug.
    virtual bool plugIn() = 0;
    // Pulls the cable instead of the n-th transfer from now (n >= 1).
    virtual bool unplugAtTransfer(std::uint32_t n) = 0;
    // Transfers on this endpoint find no answer and end at their own time-out.
    virtual bool timeOutOn(std::uint8_t endpoint) = 0;
    // False for a bridge that plays the bridge's side of the packets itself (a Linux I2C
    // adapter): the board then sees bus transactions only, never packets, endpoints or GPIO.
    virtual bool boardSeesPackets() const { return true; }
};

}  // namespace apptest
