#include "bridgesim/I2cTarget.h"

#include <cmath>
#include <numbers>

namespace bridgesim {

namespace {

// A FIFO that keeps being written without being read stops taking values, as a full one does.
constexpr std::size_t kMaxFifoValues = 65536;

std::uint8_t byteOf(std::uint32_t mask, unsigned shift) {
    return static_cast<std::uint8_t>(mask >> shift);
}

// A well-mixed 64-bit value of a seed and a sample number, for repeatable noise.
std::uint64_t mix(std::uint64_t seed, std::uint64_t sample) {
    std::uint64_t z = seed + (sample + 1) * 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

I2cTarget::I2cTarget(const TargetConfig& config, const SimClock* clock)
    : config_(config),
      clock_(clock),
      registers_(config.size == 0 ? 1 : config.size, config.fill),
      readOnly_(registers_.size(), false) {
    if (config_.size == 0) {
        config_.size = 1;
    }
    for (const auto& [reg, value] : config_.registers) {
        registers_[wrap(reg)] = value;
    }
    for (std::uint32_t reg : config_.readOnly) {
        readOnly_[wrap(reg)] = true;
    }
    const std::size_t size = registers_.size();
    const auto shiftOf = [this](unsigned width, unsigned i) {
        return config_.leastSignificantFirst ? 8 * i : 8 * (width - 1 - i);
    };
    if (!config_.bits.empty()) {
        rules_.resize(size);
        for (const auto& [reg, bits] : config_.bits) {
            const unsigned width = config_.widthAt(reg);
            for (unsigned i = 0; i < width; ++i) {
                const unsigned shift = shiftOf(width, i);
                ByteRules& r = rules_[wrap(reg + i)];
                r.keep = byteOf(bits.readOnly, shift);
                r.oneClears = byteOf(bits.writeOneToClear, shift);
                r.oneSets = byteOf(bits.writeOneToSet, shift);
                r.oneToggles = byteOf(bits.writeOneToToggle, shift);
                r.zeroClears = byteOf(bits.writeZeroToClear, shift);
                r.zeroSets = byteOf(bits.writeZeroToSet, shift);
                r.zeroToggles = byteOf(bits.writeZeroToToggle, shift);
                r.clears = byteOf(bits.writeClears, shift);
                r.sets = byteOf(bits.writeSets, shift);
                r.hidden = byteOf(bits.writeOnly, shift);
                r.clearOnRead = byteOf(bits.clearOnRead, shift);
                r.setOnRead = byteOf(bits.setOnRead, shift);
            }
        }
    }
    if (!config_.changing.empty()) {
        changingAt_.assign(size, -1);
        for (const auto& [reg, changing] : config_.changing) {
            Changing c{changing, wrap(reg), config_.widthAt(reg)};
            for (unsigned i = 0; i < c.width; ++i) {
                changingAt_[wrap(reg + i)] = static_cast<std::int32_t>(changing_.size());
            }
            if (changing.kind != ChangingConfig::Kind::Counter) {
                applyChange(c, 0);
            }
            changing_.push_back(std::move(c));
        }
    }
    if (!config_.fifo.empty()) {
        fifoAt_.assign(size, -1);
        for (const auto& [reg, fifo] : config_.fifo) {
            fifoAt_[wrap(reg)] = static_cast<std::int32_t>(fifos_.size());
            fifos_.push_back(Fifo{fifo.values, 0, fifo.empty});
        }
    }
    if (!config_.nakRegisters.empty()) {
        nak_.assign(size, false);
        for (std::uint32_t reg : config_.nakRegisters) {
            nak_[wrap(reg)] = true;
        }
    }
    plain_ = rules_.empty() && changing_.empty() && fifos_.empty() && nak_.empty() &&
             config_.busyAfterWriteMs == 0;
}

std::chrono::microseconds I2cTarget::now() const {
    // Its own clock is a member, so that a target moved in its vector keeps a valid one.
    return clock_ != nullptr ? clock_->now() : ownClock_.now();
}

bool I2cTarget::busy() const {
    return config_.busyAfterWriteMs > 0 && now() < busyUntil_;
}

std::uint32_t I2cTarget::write(std::span<const std::uint8_t> bytes) {
    if (busy()) {
        return 0;
    }
    const std::size_t rb = static_cast<std::size_t>(config_.registerBytes);
    const auto all = static_cast<std::uint32_t>(1 + bytes.size());
    if (bytes.size() < rb) {
        return all;
    }
    std::uint32_t reg = 0;
    for (std::size_t i = 0; i < rb; ++i) {
        reg = (reg << 8) | bytes[i];
    }
    if (!nak_.empty() && nak_[wrap(reg)]) {
        // The last register-address byte is the one it refuses.
        return static_cast<std::uint32_t>(rb);
    }
    pointer_ = wrap(reg);
    for (std::size_t i = rb; i < bytes.size(); ++i) {
        if (!fifoAt_.empty() && fifoAt_[pointer_] >= 0) {
            Fifo& fifo = fifos_[static_cast<std::size_t>(fifoAt_[pointer_])];
            if (fifo.values.size() - fifo.head < kMaxFifoValues) {
                fifo.values.push_back(bytes[i]);
            }
            continue;  // a burst stays on the FIFO
        }
        if (!changingAt_.empty() && changingAt_[pointer_] >= 0) {
            catchUp(changing_[static_cast<std::size_t>(changingAt_[pointer_])]);
        }
        if (!readOnly_[pointer_]) {
            registers_[pointer_] = writeByte(pointer_, bytes[i]);
            if (config_.interrupt && bytes[i] != 0 &&
                pointer_ == wrap(config_.interrupt->setByWrite)) {
                interruptAsserted_ = true;
            }
        }
        pointer_ = wrap(pointer_ + 1);
    }
    if (bytes.size() > rb && config_.busyAfterWriteMs > 0) {
        busyUntil_ = now() + std::chrono::milliseconds(config_.busyAfterWriteMs);
    }
    return all;
}

std::uint8_t I2cTarget::writeByte(std::uint32_t reg, std::uint8_t value) {
    if (rules_.empty()) {
        return value;
    }
    const ByteRules& r = rules_[reg];
    const unsigned o = registers_[reg];
    const unsigned v = value;
    const unsigned plain = ~(r.keep | r.oneClears | r.oneSets | r.oneToggles | r.zeroClears |
                             r.zeroSets | r.zeroToggles | r.clears | r.sets);
    const unsigned result = (v & plain) | (o & r.keep) | (o & ~v & r.oneClears) |
                            ((o | v) & r.oneSets) | ((o ^ v) & r.oneToggles) |
                            (o & v & r.zeroClears) | ((o | ~v) & r.zeroSets) |
                            ((o ^ ~v) & r.zeroToggles) | r.sets;
    return static_cast<std::uint8_t>(result);
}

bool I2cTarget::read(std::span<std::uint8_t> out) {
    if (plain_) {
        for (auto& byte : out) {
            byte = registers_[pointer_];
            if (config_.interrupt && pointer_ == wrap(config_.interrupt->clearedByRead)) {
                interruptAsserted_ = false;
            }
            pointer_ = wrap(pointer_ + 1);
        }
        return true;
    }
    if (busy()) {
        return false;
    }
    readBytes_.clear();
    for (auto& byte : out) {
        if (!fifoAt_.empty() && fifoAt_[pointer_] >= 0) {
            Fifo& fifo = fifos_[static_cast<std::size_t>(fifoAt_[pointer_])];
            if (fifo.head < fifo.values.size()) {
                byte = fifo.values[fifo.head++];
                if (fifo.head == fifo.values.size()) {
                    fifo.values.clear();
                    fifo.head = 0;
                }
            } else {
                byte = fifo.empty;
            }
            continue;  // a burst stays on the FIFO
        }
        if (!changingAt_.empty() && changingAt_[pointer_] >= 0) {
            Changing& changing = changing_[static_cast<std::size_t>(changingAt_[pointer_])];
            catchUp(changing);
            changing.readNow = true;
        }
        byte = registers_[pointer_];
        if (!rules_.empty()) {
            byte &= static_cast<std::uint8_t>(~rules_[pointer_].hidden);
            if ((rules_[pointer_].clearOnRead | rules_[pointer_].setOnRead) != 0) {
                readBytes_.push_back(pointer_);
            }
        }
        if (config_.interrupt && pointer_ == wrap(config_.interrupt->clearedByRead)) {
            interruptAsserted_ = false;
        }
        pointer_ = wrap(pointer_ + 1);
    }
    // What a read does to the chip happens once it has returned the bytes.
    for (std::uint32_t reg : readBytes_) {
        const ByteRules& r = rules_[reg];
        registers_[reg] =
            static_cast<std::uint8_t>((registers_[reg] & ~r.clearOnRead) | r.setOnRead);
    }
    for (Changing& changing : changing_) {
        if (changing.readNow) {
            changing.readNow = false;
            if (!changing.config.every) {
                applyChange(changing, 1);
            }
        }
    }
    return true;
}

std::uint64_t I2cTarget::value(const Changing& changing) const {
    std::uint64_t value = 0;
    for (unsigned i = 0; i < changing.width; ++i) {
        const unsigned shift = config_.leastSignificantFirst ? 8 * i : 8 * (changing.width - 1 - i);
        value |= static_cast<std::uint64_t>(registers_[wrap(changing.first + i)]) << shift;
    }
    return value;
}

void I2cTarget::store(const Changing& changing, std::uint64_t value) {
    for (unsigned i = 0; i < changing.width; ++i) {
        const unsigned shift = config_.leastSignificantFirst ? 8 * i : 8 * (changing.width - 1 - i);
        registers_[wrap(changing.first + i)] = static_cast<std::uint8_t>(value >> shift);
    }
}

void I2cTarget::applyChange(Changing& changing, std::uint64_t steps) {
    const ChangingConfig& c = changing.config;
    const std::uint64_t modulus = 1ull << (8 * changing.width);
    changing.sample += steps;
    switch (c.kind) {
        case ChangingConfig::Kind::Counter: {
            const auto m = static_cast<std::int64_t>(modulus);
            const auto step = static_cast<std::uint64_t>(((c.step % m) + m) % m);
            store(changing, (value(changing) + step * (steps % modulus)) % modulus);
            return;
        }
        case ChangingConfig::Kind::Sequence:
            if (!c.values.empty()) {
                store(changing, c.values[changing.sample % c.values.size()]);
            }
            return;
        default:
            break;
    }
    // The waveforms are functions of time, sampled at each change; with every read, each read
    // is one millisecond.
    const double everyMs = c.every ? static_cast<double>(c.every->count()) / 1000.0 : 1.0;
    const double t = static_cast<double>(changing.sample) * everyMs;
    if (c.kind == ChangingConfig::Kind::Noise) {
        // A new random value each period, the same for the same seed.
        const std::uint64_t span = static_cast<std::uint64_t>(c.max) - c.min + 1;
        const auto period = static_cast<std::uint64_t>(t / c.periodMs);
        store(changing, c.min + mix(c.seed, period) % span);
        return;
    }
    const double phase = std::fmod(t, static_cast<double>(c.periodMs)) / c.periodMs;
    const double range = static_cast<double>(c.max) - c.min;
    const double v =
        c.kind == ChangingConfig::Kind::Ramp
            ? c.min + range * phase
            : c.min + range / 2.0 + range / 2.0 * std::sin(2.0 * std::numbers::pi * phase);
    store(changing, static_cast<std::uint64_t>(std::llround(v)));
}

void I2cTarget::catchUp(Changing& changing) {
    if (!changing.config.every || changing.config.every->count() <= 0) {
        return;
    }
    const auto sample = static_cast<std::uint64_t>(now() / *changing.config.every);
    if (sample > changing.sample) {
        applyChange(changing, sample - changing.sample);
    }
}

std::uint8_t I2cTarget::peek(std::uint32_t reg) const {
    return registers_[wrap(reg)];
}

void I2cTarget::poke(std::uint32_t reg, std::uint8_t value) {
    registers_[wrap(reg)] = value;
}

}  // namespace bridgesim
