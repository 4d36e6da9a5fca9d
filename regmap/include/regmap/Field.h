// A bit field of a register: bits lsb..lsb+width-1, its access, reset value and named values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "regmap/Access.h"
#include "regmap/EnumeratedValue.h"

namespace regmap {

struct Field {
    std::string name;
    std::string description;
    unsigned lsb = 0;
    unsigned width = 1;
    Access access = Access::ReadWrite;
    WriteKind writeKind = WriteKind::Normal;
    ReadAction readAction = ReadAction::None;
    std::uint32_t reset = 0;
    std::vector<EnumeratedValue> values;
    // Line of the map file that defined it (0 when made in code).
    int line = 0;

    unsigned msb() const { return lsb + width - 1; }
    // The field's bits in place within its register.
    std::uint32_t mask() const;
    // The largest value the field holds.
    std::uint32_t maxValue() const;
    // The field's value within a register value.
    std::uint32_t extract(std::uint32_t registerValue) const;
    // The named value equal to `value`; nullptr when none is.
    const EnumeratedValue* valueFor(std::uint32_t value) const;
    // The value a text names: an enumerated name (exact case first, then any case) or a number
    // (decimal, 0x hex, 0b binary); nothing when it is neither.
    std::optional<std::uint32_t> parseValue(std::string_view text) const;
};

}  // namespace regmap
