// The register-map formats this build reads, for the open dialogs and the help texts: each with
// its name, what a file of it holds and the file endings it comes with. A build without an XML
// library reads none.
#pragma once

#include <string>
#include <vector>

namespace regmap {

struct MapFormat {
    std::string name;                     // "IP-XACT"
    std::string description;              // "an IP-XACT component (IEEE 1685-2009 or 1685-2014)"
    std::vector<std::string> extensions;  // without the dot: "xml"
};

// Every format the map reader knows, in the order it tries them.
const std::vector<MapFormat>& mapFormats();
// The open dialog's filter of map files: "Register maps (*.xml *.svd)"; "" when none is read.
std::string mapFileFilter();
// The formats' names for a help text: "IP-XACT or CMSIS-SVD".
std::string mapFormatNames();

}  // namespace regmap
