#include "regmap/Field.h"

#include <algorithm>
#include <cctype>

#include "Numbers.h"

namespace regmap {

namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

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
    for (const EnumeratedValue& named : values) {
        if (named.name == text) {
            return named.value;
        }
    }
    for (const EnumeratedValue& named : values) {
        if (sameIgnoringCase(named.name, text)) {
            return named.value;
        }
    }
    return parseUserNumber(text);
}

}  // namespace regmap
