// What a simulation describes: the board's identity on the bus, its external pin levels and the
// I2C targets wired to it. Produced by SimulationReader, consumed by Board.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace bridgesim {

// The two GPIO ports of the bridge board.
enum class Port : std::uint8_t { B, C };

// One GPIO line: a port and a bit number 0..7.
struct Pin {
    Port port = Port::B;
    int bit = 0;
    bool operator==(const Pin&) const = default;
};

// A target that pulls a pin low after a non-zero write to one register until another is read.
struct InterruptConfig {
    Pin pin;
    std::uint32_t setByWrite = 0;
    std::uint32_t clearedByRead = 0;
};

// One register-file target on the I2C bus.
struct TargetConfig {
    std::uint8_t address = 0;  // 8-bit write address (bit 0 clear)
    int registerBytes = 1;     // 1 or 2 register-address bytes, most significant first
    std::uint32_t size = 256;  // number of registers; addresses wrap modulo size
    std::uint8_t fill = 0;     // value of every register not listed in registers
    std::map<std::uint32_t, std::uint8_t> registers;
    std::set<std::uint32_t> readOnly;
    std::optional<InterruptConfig> interrupt;
};

// A whole simulated bench.
struct SimulationConfig {
    std::string name;
    bool attached = true;
    std::uint32_t latencyUs = 0;
    std::uint8_t inputsB = 0xFF;  // external levels of port B lines that are not driven
    std::uint8_t inputsC = 0xFF;
    std::vector<TargetConfig> targets;
};

}  // namespace bridgesim
