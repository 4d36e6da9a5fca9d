// An I2C bus of simulated register-file targets. A present target acknowledges what its
// configuration lets it (everything, unless it is busy or refuses a register address). Not
// thread-safe: its owner locks.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "bridgeproto/I2cBus.h"
#include "bridgesim/I2cTarget.h"
#include "bridgesim/SimulationConfig.h"

namespace bridgesim {

class SimulatedBus : public bridgeproto::I2cBus {
  public:
    // The first target listed at an address wins; later ones at the same address are dropped.
    // clock: the time the targets' time-based behaviour follows (nullptr: each keeps its own).
    explicit SimulatedBus(const std::vector<TargetConfig>& targets,
                          const SimClock* clock = nullptr);

    // Always Ok: count = bytes the target acknowledged, the address byte included (0 for an
    // absent or busy one).
    bridgeproto::BusResult write(std::uint8_t address,
                                 std::span<const std::uint8_t> bytes) override;
    // Always Ok: count in.size() for a target that acknowledged the whole exchange, 0 (in
    // untouched) otherwise.
    bridgeproto::BusResult writeRead(std::uint8_t address, std::span<const std::uint8_t> bytes,
                                     std::span<std::uint8_t> in) override;

    // The target at an 8-bit address (bit 0 ignored); nullptr when none answers there.
    I2cTarget* findTarget(std::uint8_t address);
    const I2cTarget* findTarget(std::uint8_t address) const;
    const std::vector<I2cTarget>& targets() const { return targets_; }

  private:
    std::vector<I2cTarget> targets_;
    std::array<std::int16_t, 256> targetIndex_{};
};

}  // namespace bridgesim
