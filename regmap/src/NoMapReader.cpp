// The readers in a build without libxml2: no format is read, and every file is refused with the
// reason.
#include "regmap/MapFormats.h"
#include "regmap/MapReader.h"

namespace regmap {

const std::vector<MapFormat>& mapFormats() {
    static const std::vector<MapFormat> none;
    return none;
}

MapReadResult readRegisterMap(std::string_view, const std::string& source) {
    MapReadResult result;
    result.error = source + ":1: (file): this build reads no register map files (no libxml2)";
    return result;
}

MapReadResult readRegisterMapFile(const std::string& path) {
    return readRegisterMap({}, path);
}

}  // namespace regmap
