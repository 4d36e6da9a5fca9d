#include "bridgesim/SimulatedBus.h"

#include <chrono>

namespace bridgesim {

namespace {

// A target that stretches the clock holds the bus, and so the board, that long.
void stretch(const I2cTarget& target) {
    if (target.stretchUs() == 0) {
        return;
    }
    const auto until =
        std::chrono::steady_clock::now() + std::chrono::microseconds(target.stretchUs());
    while (std::chrono::steady_clock::now() < until) {
    }
}

}  // namespace

SimulatedBus::SimulatedBus(const std::vector<TargetConfig>& targets, const SimClock* clock) {
    targetIndex_.fill(-1);
    targets_.reserve(targets.size());
    for (const auto& target : targets) {
        if (targetIndex_[target.address & 0xFE] >= 0) {
            continue;
        }
        targetIndex_[target.address & 0xFE] = static_cast<std::int16_t>(targets_.size());
        targets_.emplace_back(target, clock);
    }
}

bridgeproto::BusResult SimulatedBus::write(std::uint8_t address,
                                           std::span<const std::uint8_t> bytes) {
    I2cTarget* target = findTarget(address);
    if (target == nullptr) {
        return {};
    }
    const std::uint32_t acknowledged = target->write(bytes);
    stretch(*target);
    return {bridgeproto::BusStatus::Ok, acknowledged};
}

bridgeproto::BusResult SimulatedBus::writeRead(std::uint8_t address,
                                               std::span<const std::uint8_t> bytes,
                                               std::span<std::uint8_t> in) {
    I2cTarget* target = findTarget(address);
    if (target == nullptr) {
        return {};
    }
    stretch(*target);
    if (!bytes.empty() && target->write(bytes) < 1 + bytes.size()) {
        return {};
    }
    if (!target->read(in)) {
        return {};
    }
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
