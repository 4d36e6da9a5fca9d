#include "regmap/Field.h"

#include "Names.h"
#include "Numbers.h"

namespace regmap {

std::uint32_t Field::maxValue() const {
    return width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1u;
}

std::uint32_t Field::mask() const {
    return lsb >= 32 ? 0u : maxValue() << lsb;
}

std::uint32_t Field::extract(std::uint32_t registerValue) const {
    return lsb >= 32 ? 0u : (registerValue >> lsb) & maxValue();
}

const EnumeratedValue* Field::valueFor(std::uint32_t value) const {
    for (const EnumeratedValue& named : values) {
        if (named.value == value) {
            return &named;
        }
    }
    return nullptr;
}

std::optional<std::uint32_t> Field::parseValue(std::string_view text) const {
    if (const EnumeratedValue* named = findByName(values, text)) {
        return named->value;
    }
    return parseUserNumber(text);
}

}  // namespace regmap
