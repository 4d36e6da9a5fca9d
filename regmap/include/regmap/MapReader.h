// Reads a register map from an IP-XACT (IEEE 1685-2009 or 1685-2014) or CMSIS-SVD file. A file
// that is neither, or that breaks the map's rules (two fields on one bit, a field beyond its
// register, two registers at one address, an enumerated value too wide for its field), is
// refused with one message: "FILE:LINE: ELEMENT: problem".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "regmap/RegisterMap.h"

namespace regmap {

struct MapReadResult {
    std::optional<RegisterMap> map;
    // The refusal when map is empty.
    std::string error;
    // The system's errno when the file itself could not be opened or read (ENOENT, EACCES...);
    // 0 for a file that was read and refused.
    int systemError = 0;
    bool ok() const { return map.has_value(); }
};

// Reads the file; `path` names it in the refusal. Never throws.
MapReadResult readRegisterMapFile(const std::string& path);
// Reads the text of a file; `source` names it in the refusal. Never throws.
MapReadResult readRegisterMap(std::string_view text, const std::string& source);

}  // namespace regmap
