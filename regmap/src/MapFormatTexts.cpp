#include <algorithm>

#include "regmap/MapFormats.h"

namespace regmap {

std::string mapFileFilter() {
    std::vector<std::string> endings;
    for (const MapFormat& format : mapFormats()) {
        for (const std::string& ending : format.extensions) {
            if (std::find(endings.begin(), endings.end(), ending) == endings.end()) {
                endings.push_back(ending);
            }
        }
    }
    if (endings.empty()) {
        return "";
    }
    std::string filter = "Register maps (";
    for (std::size_t i = 0; i < endings.size(); ++i) {
        filter += (i == 0 ? "*." : " *.") + endings[i];
    }
    return filter + ")";
}

std::string mapFormatNames() {
    const std::vector<MapFormat>& formats = mapFormats();
    std::string names;
    for (std::size_t i = 0; i < formats.size(); ++i) {
        if (i > 0) {
            names += i + 1 == formats.size() ? " or " : ", ";
        }
        names += formats[i].name;
    }
    return names;
}

}  // namespace regmap
