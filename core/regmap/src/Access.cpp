#include "regmap/Access.h"

namespace regmap {

std::string_view accessName(Access access) {
    switch (access) {
        case Access::ReadOnly:
            return "read-only";
        case Access::WriteOnly:
            return "write-only";
        case Access::WriteOneToClear:
            return "write-1-to-clear";
        case Access::ReadWrite:
            break;
    }
    return "read-write";
}

bool readable(Access access) {
    return access != Access::WriteOnly;
}

bool writable(Access access) {
    return access != Access::ReadOnly;
}

}  // namespace regmap
