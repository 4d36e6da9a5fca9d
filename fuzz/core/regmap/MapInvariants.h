// What every map a reader accepts must keep, checked by both reader fuzzers: a refusal names a
// line and changes nothing; an accepted map has registers of 8, 16 or 32 bits in address order
// that do not overlap, fields within their register on bits of their own, enumerated values that
// fit, and a masked write the planner lets through leaves every other field the chip shows as it
// was, under every write kind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "regmap/MapReader.h"
#include "regmap/MaskedWrite.h"

namespace fuzzmap {

// The value a chip holds after `written` meets `held` in bits of this write kind.
inline std::uint32_t chipAfter(regmap::WriteKind kind, std::uint32_t held, std::uint32_t written) {
    using regmap::WriteKind;
    switch (kind) {
        case WriteKind::OneToClear:
            return held & ~written;
        case WriteKind::OneToSet:
            return held | written;
        case WriteKind::OneToToggle:
            return held ^ written;
        case WriteKind::ZeroToClear:
            return held & written;
        case WriteKind::ZeroToSet:
            return held | ~written;
        case WriteKind::ZeroToToggle:
            return held ^ ~written;
        case WriteKind::Clear:
            return 0;
        case WriteKind::Set:
            return 0xFFFFFFFFu;
        default:
            return written;
    }
}

using fuzz::check;

inline void checkMap(std::string_view text) {
    const regmap::MapReadResult result = regmap::readRegisterMap(text, "fuzz.xml");
    if (!result.ok()) {
        check(result.error.rfind("fuzz.xml:", 0) == 0);
        return;
    }
    const regmap::RegisterMap& map = *result.map;
    for (std::size_t i = 0; i < map.registers.size(); ++i) {
        const regmap::Register& reg = map.registers[i];
        check(reg.width == 8 || reg.width == 16 || reg.width == 32);
        check(i == 0 || map.registers[i - 1].lastAddress() < reg.address);
        std::uint32_t used = 0;
        for (const regmap::Field& field : reg.fields) {
            check((field.mask() & ~reg.valueMask()) == 0 && field.mask() != 0);
            check((used & field.mask()) == 0);
            used |= field.mask();
            for (const regmap::EnumeratedValue& named : field.values) {
                check(named.value <= field.maxValue());
            }
            regmap::MaskedWrite write(reg);
            if (!write.assign(field, field.maxValue()).empty() || !write.blocked().empty()) {
                continue;
            }
            const std::uint32_t current = 0xA5A5A5A5u & reg.valueMask();
            const std::uint32_t planned = write.plan(current);
            // What the chip holds after the write: every other field it can show keeps its
            // value, whatever its write kind.
            for (const regmap::Field& other : reg.fields) {
                if (&other == &field || !regmap::readable(other.access) ||
                    !regmap::writable(other.access) || !write.readsFirst()) {
                    continue;
                }
                check(((chipAfter(other.writeKind, current, planned) ^ current) & other.mask()) ==
                      0);
            }
            check((planned & field.mask()) == field.mask());
            check(map.decode(reg, map.encode(reg, planned)) == planned);
        }
    }
}

}  // namespace fuzzmap
