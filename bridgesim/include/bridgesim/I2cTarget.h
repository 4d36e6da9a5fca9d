// A register-file device on the simulated I2C bus: a register pointer set by the first bytes of
// a write, auto-increment over multi-byte reads and writes, read-only registers, and an optional
// interrupt line it pulls low.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "bridgesim/SimulationConfig.h"

namespace bridgesim {

class I2cTarget {
  public:
    explicit I2cTarget(const TargetConfig& config);

    std::uint8_t address() const { return config_.address; }
    const TargetConfig& config() const { return config_; }

    // Bus write after the address byte: register-address bytes then data; every byte is
    // acknowledged. Fewer bytes than a register address leave the pointer where it was.
    void write(std::span<const std::uint8_t> bytes);
    // Bus read of out.size() bytes from the register pointer, advancing it.
    void read(std::span<std::uint8_t> out);

    // Register contents for tests; the register address wraps modulo the target's size.
    std::uint8_t peek(std::uint32_t reg) const;
    void poke(std::uint32_t reg, std::uint8_t value);

    // True while the target pulls its interrupt pin low.
    bool interruptAsserted() const { return interruptAsserted_; }

  private:
    std::uint32_t wrap(std::uint32_t reg) const { return reg % config_.size; }

    TargetConfig config_;
    std::vector<std::uint8_t> registers_;
    std::vector<bool> readOnly_;
    std::uint32_t pointer_ = 0;
    bool interruptAsserted_ = false;
};

}  // namespace bridgesim
