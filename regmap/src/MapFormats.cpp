#include "regmap/MapFormats.h"

#include "MapFormatTable.h"
#include "XmlMap.h"

namespace regmap {

const std::vector<MapFormatEntry>& mapFormatTable() {
    static const std::vector<MapFormatEntry> table = {
        {{"IP-XACT", "an IP-XACT component (IEEE 1685-2009 or 1685-2014)", {"xml"}},
         xml::isIpXact,
         xml::readIpXact},
        {{"CMSIS-SVD", "a CMSIS-SVD device", {"svd", "xml"}}, xml::isSvd, xml::readSvd},
    };
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
