#include "bridgesim/SimulatedBus.h"

namespace bridgesim {

SimulatedBus::SimulatedBus(const std::vector<TargetConfig>& targets) {
    targetIndex_.fill(-1);
    targets_.reserve(targets.size());
    for (const auto& target : targets) {
        if (targetIndex_[target.address & 0xFE] >= 0) {
            continue;
        }
        targetIndex_[target.address & 0xFE] = static_cast<std::int16_t>(targets_.size());
        targets_.emplace_back(target);
    }
}

bridgeproto::BusResult SimulatedBus::write(std::uint8_t address,
                                           std::span<const std::uint8_t> bytes) {
    I2cTarget* target = findTarget(address);
    if (target == nullptr) {
        return {};
    }
    target->write(bytes);
    return {bridgeproto::BusStatus::Ok, static_cast<std::uint32_t>(1 + bytes.size())};
}

bridgeproto::BusResult SimulatedBus::writeRead(std::uint8_t address,
                                               std::span<const std::uint8_t> bytes,
                                               std::span<std::uint8_t> in) {
    I2cTarget* target = findTarget(address);
    if (target == nullptr) {
        return {};
    }
    if (!bytes.empty()) {
        target->write(bytes);
    }
    target->read(in);
    return {bridgeproto::BusStatus::Ok, static_cast<std::uint32_t>(in.size())};
}

I2cTarget* SimulatedBus::findTarget(std::uint8_t address) {
    const std::int16_t index = targetIndex_[address & 0xFE];
    return index < 0 ? nullptr : &targets_[static_cast<std::size_t>(index)];
}

const I2cTarget* SimulatedBus::findTarget(std::uint8_t address) const {
    const std::int16_t index = targetIndex_[address & 0xFE];
    return index < 0 ? nullptr : &targets_[static_cast<std::size_t>(index)];
}

}  // namespace bridgesim
