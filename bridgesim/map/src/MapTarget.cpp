#include "bridgesim/MapTarget.h"

#include "bridgesim/SimulationReader.h"
#include "regmap/MapReader.h"

namespace bridgesim {

namespace {

// The bit rules a map gives one field (or a register without fields).
void addRules(const regmap::Register& reg, const regmap::Field& part, BitRules& rules) {
    using regmap::WriteKind;
    const std::uint32_t mask = part.mask();
    if (!regmap::writable(reg.access) || !regmap::writable(part.access)) {
        rules.readOnly |= mask;
    } else if (!regmap::readable(part.access)) {
        rules.writeOnly |= mask;
        return;  // never read, so no read action either
    } else {
        switch (part.writeKind) {
            case WriteKind::OneToClear:
                rules.writeOneToClear |= mask;
                break;
            case WriteKind::OneToSet:
                rules.writeOneToSet |= mask;
                break;
            case WriteKind::OneToToggle:
                rules.writeOneToToggle |= mask;
                break;
            case WriteKind::ZeroToClear:
                rules.writeZeroToClear |= mask;
                break;
            case WriteKind::ZeroToSet:
                rules.writeZeroToSet |= mask;
                break;
            case WriteKind::ZeroToToggle:
                rules.writeZeroToToggle |= mask;
                break;
            case WriteKind::Clear:
                rules.writeClears |= mask;
                break;
            case WriteKind::Set:
                rules.writeSets |= mask;
                break;
            case WriteKind::Normal:
            case WriteKind::Modify:  // the map does not say how: it takes what is written
                break;
        }
    }
    if (part.readAction == regmap::ReadAction::Clear) {
        rules.clearOnRead |= mask;
    } else if (part.readAction == regmap::ReadAction::Set) {
        rules.setOnRead |= mask;
    }
}

}  // namespace

bool readMapTarget(const std::string& path, TargetConfig& target, std::string& error) {
    const regmap::MapReadResult read = regmap::readRegisterMapFile(path);
    if (!read.ok()) {
        error = read.error;
        return false;
    }
    const regmap::RegisterMap& map = *read.map;
    target.registerBytes = map.registerAddressBytes();
    target.size = target.registerBytes == 1 ? 256u : 65536u;
    target.leastSignificantFirst = map.byteOrder == regmap::ByteOrder::LeastSignificantFirst;
    for (const regmap::Register& reg : map.registers) {
        if (reg.byteCount() > 1) {
            target.widths[reg.address] = reg.byteCount();
        }
        const std::vector<std::uint8_t> bytes = map.encode(reg, reg.resetValue & reg.resetMask);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            target.registers[reg.address + static_cast<std::uint32_t>(i)] = bytes[i];
        }
        BitRules rules;
        if (reg.fields.empty()) {
            addRules(reg, reg.wholeField(), rules);
        }
        for (const regmap::Field& field : reg.fields) {
            addRules(reg, field, rules);
        }
        if (rules != BitRules{}) {
            target.bits[reg.address] = rules;
        }
    }
    return true;
}

void installMapReader() {
    SimulationReader::setMapReader(&readMapTarget);
}

}  // namespace bridgesim
