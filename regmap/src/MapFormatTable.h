// The map reader's table of formats: what each is, how its root element is known and how it is
// read. A new format is a reader file of its own, NameReader.cpp, that defines mapFormatName(),
// and its Name in the list of map_format_readers in this folder's CMakeLists.txt, from which
// the build writes the table (MapFormatList.h). Inside this folder only.
#pragma once

#include <libxml/tree.h>

#include <vector>

#include "regmap/MapFormats.h"
#include "regmap/RegisterMap.h"

namespace regmap {

struct MapFormatEntry {
    MapFormat format;
    // True when the document's root element is one of this format's.
    bool (*sniff)(const xmlNode* root);
    // Fills the map from the root element, refusing what is wrong.
    void (*read)(const xmlNode* root, RegisterMap& map);
};

const std::vector<MapFormatEntry>& mapFormatTable();

}  // namespace regmap
