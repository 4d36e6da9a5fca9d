#include "regmap/RegisterMap.h"

#include "Names.h"

namespace regmap {

const Register* RegisterMap::named(std::string_view name) const {
    return findByName(registers, name);
}

const Register* RegisterMap::at(std::uint32_t address) const {
    for (const Register& reg : registers) {
        if (reg.address == address) {
            return &reg;
        }
    }
    return nullptr;
}

int RegisterMap::registerAddressBytes() const {
    for (const Register& reg : registers) {
        if (reg.lastAddress() > 0xFF) {
            return 2;
        }
    }
    return 1;
}

std::vector<std::uint8_t> RegisterMap::addressBytes(std::uint32_t address) const {
    if (registerAddressBytes() == 2) {
        return {static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
    }
    return {static_cast<std::uint8_t>(address)};
}

std::uint32_t RegisterMap::decode(const Register& reg,
                                  const std::vector<std::uint8_t>& bytes) const {
    const unsigned count = reg.byteCount();
    std::uint32_t value = 0;
    for (unsigned i = 0; i < count; ++i) {
        const std::uint32_t byte = i < bytes.size() ? bytes[i] : 0u;
        const unsigned shift =
            byteOrder == ByteOrder::MostSignificantFirst ? 8 * (count - 1 - i) : 8 * i;
        value |= byte << shift;
    }
    return value;
}

std::vector<std::uint8_t> RegisterMap::encode(const Register& reg, std::uint32_t value) const {
    const unsigned count = reg.byteCount();
    std::vector<std::uint8_t> bytes(count);
    for (unsigned i = 0; i < count; ++i) {
        const unsigned shift =
            byteOrder == ByteOrder::MostSignificantFirst ? 8 * (count - 1 - i) : 8 * i;
        bytes[i] = static_cast<std::uint8_t>(value >> shift);
    }
    return bytes;
}

}  // namespace regmap
