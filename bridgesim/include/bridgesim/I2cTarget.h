// A register-file device on the simulated I2C bus: a register pointer set by the first bytes of
// a write, auto-increment over multi-byte reads and writes, read-only registers, and an optional
// interrupt line it pulls low. Beyond an ideal memory it behaves as real chips do when its
// configuration says so: per-bit write rules (write-1-to-clear, write-only...), bits a read
// clears, values that change on their own, FIFO registers (a burst stays on the FIFO and pops one
// value per byte), register addresses it does not acknowledge, a busy time after each write in
// which it acknowledges nothing, and extra time per transfer.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "bridgesim/SimClock.h"
#include "bridgesim/SimulationConfig.h"

namespace bridgesim {

class I2cTarget {
  public:
    // clock: the board's time for time-based values and the busy time (nullptr: its own).
    explicit I2cTarget(const TargetConfig& config, const SimClock* clock = nullptr);

    std::uint8_t address() const { return config_.address; }
    const TargetConfig& config() const { return config_; }

    // Bus write after the address byte: register-address bytes then data. Returns the bytes
    // acknowledged, the address byte included: 0 while busy, short of all when the register
    // address is one it does not acknowledge. Fewer bytes than a register address leave the
    // pointer where it was.
    std::uint32_t write(std::span<const std::uint8_t> bytes);
    // Bus read of out.size() bytes from the register pointer, advancing it; false (out
    // untouched) when the target does not acknowledge its address.
    bool read(std::span<std::uint8_t> out);
    // The extra time each transfer to it takes.
    std::uint32_t stretchUs() const { return config_.stretchUs; }

    // Register contents for tests, without side effects; the address wraps modulo the size.
    std::uint8_t peek(std::uint32_t reg) const;
    void poke(std::uint32_t reg, std::uint8_t value);

    // True while the target pulls its interrupt pin low.
    bool interruptAsserted() const { return interruptAsserted_; }

  private:
    // The rules of one byte: the register's masks cut down to this byte's bits.
    struct ByteRules {
        std::uint8_t keep = 0;  // read-only: a write leaves it
        std::uint8_t oneClears = 0, oneSets = 0, oneToggles = 0;
        std::uint8_t zeroClears = 0, zeroSets = 0, zeroToggles = 0;
        std::uint8_t clears = 0, sets = 0;
        std::uint8_t hidden = 0;  // write-only: reads as 0
        std::uint8_t clearOnRead = 0, setOnRead = 0;
    };
    // A register whose value changes on its own, over `width` bytes from `first`.
    struct Changing {
        ChangingConfig config;
        std::uint32_t first = 0;
        unsigned width = 1;
        std::uint64_t sample = 0;  // changes applied so far (time-based: the last sample)
        bool readNow = false;      // read by the transaction under way
    };
    struct Fifo {
        std::vector<std::uint8_t> values;
        std::size_t head = 0;
        std::uint8_t empty = 0;
    };

    std::uint32_t wrap(std::uint32_t reg) const { return reg % config_.size; }
    std::uint8_t writeByte(std::uint32_t reg, std::uint8_t value);
    std::uint64_t value(const Changing& changing) const;
    void store(const Changing& changing, std::uint64_t value);
    void applyChange(Changing& changing, std::uint64_t steps);
    // Brings time-based values up to now.
    void catchUp(Changing& changing);
    std::chrono::microseconds now() const;
    bool busy() const;

    TargetConfig config_;
    const SimClock* clock_;  // the board's; nullptr: ownClock_
    SimClock ownClock_;
    std::vector<std::uint8_t> registers_;
    std::vector<bool> readOnly_;
    // Present only for targets with such behaviour, one entry per register byte.
    std::vector<ByteRules> rules_;
    std::vector<std::int32_t> changingAt_;  // index into changing_, -1 = none
    std::vector<std::int32_t> fifoAt_;      // index into fifos_, -1 = none
    std::vector<bool> nak_;
    std::vector<Changing> changing_;
    std::vector<Fifo> fifos_;
    bool plain_ = true;                     // none of the above: the fast path
    std::vector<std::uint32_t> readBytes_;  // bytes read by the transaction under way
    std::chrono::microseconds busyUntil_{0};
    std::uint32_t pointer_ = 0;
    bool interruptAsserted_ = false;
};

}  // namespace bridgesim
