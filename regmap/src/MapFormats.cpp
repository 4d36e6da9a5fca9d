#include "regmap/MapFormats.h"

#include "MapFormatList.h"
#include "MapFormatTable.h"

namespace regmap {

const std::vector<MapFormatEntry>& mapFormatTable() {
    static const std::vector<MapFormatEntry> table = listedMapFormats();
    return table;
}

const std::vector<MapFormat>& mapFormats() {
    static const std::vector<MapFormat> formats = [] {
        std::vector<MapFormat> all;
        for (const MapFormatEntry& entry : mapFormatTable()) {
            all.push_back(entry.format);
        }
        return all;
    }();
    return formats;
}

}  // namespace regmap
