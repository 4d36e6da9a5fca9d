// A Linux I2C adapter as the bridge (i2cdev:/dev/i2c-1), emulated with umockdev on the simulated
// board's own I2C bus: the layer plays the bridge's side of the packets itself, so the board sees
// bus transactions only, never packets. Runs only under LD_PRELOAD=libumockdev-preload.so.0.
#pragma once

#include <cstdint>
#include <memory>

#include "EmulatedI2cAdapter.h"
#include "testing/TestBridge.h"

namespace apptest {

class EmulatedI2cBridge : public TestBridge {
  public:
    ~EmulatedI2cBridge() override;

    // Plugs the adapter in when the simulation starts attached and chooses it as the bridge;
    // false outside the preload or when the emulation fails.
    bool install(std::shared_ptr<bridgesim::Board> board, std::string& why) override;
    // Takes the node away: open files die, the layer sees it gone at its next look.
    bool unplug() override;
    // Brings the node (back); a failure fails the test.
    bool plugIn() override;
    // Takes the node away right after the transfer before the n-th.
    bool unplugAtTransfer(std::uint32_t n) override;
    // The adapter times out the next transaction.
    bool timeOutOn(std::uint8_t endpoint) override;
    bool boardSeesPackets() const override { return false; }

  private:
    static void onTransfer(std::uint32_t pipe, std::uint32_t read, const std::uint8_t* bytes,
                           std::uint32_t length, std::uint32_t status, void* self);

    std::shared_ptr<bridgesim::Board> board_;
    std::unique_ptr<EmulatedI2cAdapter> adapter_;
    std::uint32_t transfersToCut_ = 0;  // 0: no cut armed
};

}  // namespace apptest
