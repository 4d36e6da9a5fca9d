// The map reader's table of formats: what each is, how its root element is known and how it is
// read. A new format is a reader of its own and one line in this table's definition
// (MapFormats.cpp). Inside this folder only.
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
