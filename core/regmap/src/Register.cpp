#include "regmap/Register.h"

#include <algorithm>
#include <cctype>

namespace regmap {

std::uint32_t Register::valueMask() const {
    return width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1u;
}

const Field* Register::field(std::string_view fieldName) const {
    for (const Field& f : fields) {
        if (f.name == fieldName) {
            return &f;
        }
    }
    auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
    for (const Field& f : fields) {
        if (f.name.size() == fieldName.size() &&
            std::equal(f.name.begin(), f.name.end(), fieldName.begin(),
                       [&](char a, char b) { return lower(a) == lower(b); })) {
            return &f;
        }
    }
    return nullptr;
}

Field Register::wholeField() const {
    Field whole;
    whole.name = name;
    whole.description = description;
    whole.lsb = 0;
    whole.width = width;
    whole.access = access;
    whole.reset = resetValue & valueMask();
    whole.line = line;
    return whole;
}

bool Register::differsFromReset(std::uint32_t value) const {
    return ((value ^ resetValue) & resetMask & valueMask()) != 0;
}

}  // namespace regmap
