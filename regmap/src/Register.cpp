#include "regmap/Register.h"

#include "Names.h"

namespace regmap {

std::uint32_t Register::valueMask() const {
    return width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1u;
}

const Field* Register::field(std::string_view fieldName) const {
    return findByName(fields, fieldName);
}

Field Register::wholeField() const {
    Field whole;
    whole.name = name;
    whole.description = description;
    whole.lsb = 0;
    whole.width = width;
    whole.access = access;
    whole.writeKind = writeKind;
    whole.readAction = readAction;
    whole.reset = resetValue & valueMask();
    whole.line = line;
    return whole;
}

bool Register::readChanges() const {
    if (readAction != ReadAction::None) {
        return readable(access);
    }
    for (const Field& f : fields) {
        if (f.readAction != ReadAction::None && readable(f.access) && readable(access)) {
            return true;
        }
    }
    return false;
}

bool Register::differsFromReset(std::uint32_t value) const {
    return ((value ^ resetValue) & resetMask & valueMask()) != 0;
}

}  // namespace regmap
