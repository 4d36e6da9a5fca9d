// A device's register map: its registers in address order and the order of a wider register's
// bytes on the bus.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "regmap/Access.h"
#include "regmap/Register.h"

namespace regmap {

class RegisterMap {
  public:
    std::vector<Register> registers;
    ByteOrder byteOrder = ByteOrder::MostSignificantFirst;

    // The register of that name (exact case first, then any case); nullptr when none.
    const Register* named(std::string_view name) const;
    // The register that starts at the address; nullptr when none does.
    const Register* at(std::uint32_t address) const;
    // 2 when a register reaches past FF (the device then takes two register-address bytes, as
    // --reg16 sends them), else 1.
    int registerAddressBytes() const;
    // The register address as it goes on the wire, most significant byte first.
    std::vector<std::uint8_t> addressBytes(std::uint32_t address) const;
    // The register's value from its bytes as read (first byte from the lowest address); missing
    // bytes read as 0.
    std::uint32_t decode(const Register& reg, const std::vector<std::uint8_t>& bytes) const;
    // The bytes that carry the value, first byte to the lowest address.
    std::vector<std::uint8_t> encode(const Register& reg, std::uint32_t value) const;
};

}  // namespace regmap
