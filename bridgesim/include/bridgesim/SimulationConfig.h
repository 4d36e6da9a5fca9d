// What a simulation describes: the board's identity on the bus, its external pin levels and the
// I2C targets wired to it. Produced by SimulationReader, consumed by Board.
#pragma once

#include <chrono>
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

// What each bit of one register does, as masks of the register's bits. A bit is named by at most
// one of the write behaviours (readOnly .. writeOnly); clearOnRead and setOnRead add what a read
// does. Bits named nowhere take what is written.
struct BitRules {
    std::uint32_t readOnly = 0;           // a write leaves it
    std::uint32_t writeOneToClear = 0;    // 1 clears it, 0 leaves it
    std::uint32_t writeOneToSet = 0;      // 1 sets it, 0 leaves it
    std::uint32_t writeOneToToggle = 0;   // 1 toggles it, 0 leaves it
    std::uint32_t writeZeroToClear = 0;   // 0 clears it, 1 leaves it
    std::uint32_t writeZeroToSet = 0;     // 0 sets it, 1 leaves it
    std::uint32_t writeZeroToToggle = 0;  // 0 toggles it, 1 leaves it
    std::uint32_t writeClears = 0;        // any write clears it
    std::uint32_t writeSets = 0;          // any write sets it
    std::uint32_t writeOnly = 0;          // reads as 0, keeps what is written
    std::uint32_t clearOnRead = 0;        // cleared once a read has returned it
    std::uint32_t setOnRead = 0;          // set once a read has returned it
    bool operator==(const BitRules&) const = default;
};

// A register whose value changes on its own.
struct ChangingConfig {
    enum class Kind { Counter, Sequence, Ramp, Sine, Noise };
    Kind kind = Kind::Counter;
    std::int64_t step = 1;              // counter: added at each change, wrapping at the width
    std::vector<std::uint32_t> values;  // sequence: taken in turn, repeating
    std::uint32_t min = 0, max = 0;     // ramp, sine, noise: the range of values
    std::uint32_t periodMs = 1;         // ramp, sine: one period (with every read: reads)
    std::uint64_t seed = 0;             // noise
    // How often it changes: nullopt after every read that returned it, else this often.
    std::optional<std::chrono::microseconds> every;
};

// A register that reads from a queue: each read byte pops one, each written byte pushes one.
struct FifoConfig {
    std::vector<std::uint8_t> values;
    std::uint8_t empty = 0;  // what an empty queue reads
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
    // Registers wider than one byte (from a map): first address to bytes; others are one byte.
    std::map<std::uint32_t, unsigned> widths;
    bool leastSignificantFirst = false;      // the byte order of wider registers
    std::map<std::uint32_t, BitRules> bits;  // by a register's first address
    std::map<std::uint32_t, ChangingConfig> changing;
    std::map<std::uint32_t, FifoConfig> fifo;
    std::set<std::uint32_t> nakRegisters;  // register addresses it does not acknowledge
    std::uint32_t busyAfterWriteMs = 0;    // acknowledges nothing this long after a write
    std::uint32_t stretchUs = 0;           // extra time each transfer to it takes
    // The width of the register that starts at reg, in bytes (1 unless a map said otherwise).
    unsigned widthAt(std::uint32_t reg) const {
        const auto it = widths.find(reg);
        return it == widths.end() ? 1u : it->second;
    }
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
