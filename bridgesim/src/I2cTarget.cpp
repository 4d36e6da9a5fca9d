#include "bridgesim/I2cTarget.h"

namespace bridgesim {

I2cTarget::I2cTarget(const TargetConfig& config)
    : config_(config),
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
}

void I2cTarget::write(std::span<const std::uint8_t> bytes) {
    const std::size_t rb = static_cast<std::size_t>(config_.registerBytes);
    if (bytes.size() < rb) {
        return;
    }
    std::uint32_t reg = 0;
    for (std::size_t i = 0; i < rb; ++i) {
        reg = (reg << 8) | bytes[i];
    }
    pointer_ = wrap(reg);
    for (std::size_t i = rb; i < bytes.size(); ++i) {
        if (!readOnly_[pointer_]) {
            registers_[pointer_] = bytes[i];
            if (config_.interrupt && bytes[i] != 0 &&
                pointer_ == wrap(config_.interrupt->setByWrite)) {
                interruptAsserted_ = true;
            }
        }
        pointer_ = wrap(pointer_ + 1);
    }
}

void I2cTarget::read(std::span<std::uint8_t> out) {
    for (auto& byte : out) {
        byte = registers_[pointer_];
        if (config_.interrupt && pointer_ == wrap(config_.interrupt->clearedByRead)) {
            interruptAsserted_ = false;
        }
        pointer_ = wrap(pointer_ + 1);
    }
}

std::uint8_t I2cTarget::peek(std::uint32_t reg) const {
    return registers_[wrap(reg)];
}

void I2cTarget::poke(std::uint32_t reg, std::uint8_t value) {
    registers_[wrap(reg)] = value;
}

}  // namespace bridgesim
