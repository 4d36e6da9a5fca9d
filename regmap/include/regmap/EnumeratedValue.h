// One named value of a bit field ("CONTINUOUS" = 2).
#pragma once

#include <cstdint>
#include <string>

namespace regmap {

struct EnumeratedValue {
    std::string name;
    std::uint32_t value = 0;
    std::string description;
    // Line of the map file that defined it (0 when made in code).
    int line = 0;
};

}  // namespace regmap
