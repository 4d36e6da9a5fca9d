// What both map readers share: walking libxml2's tree by local element names, reading numbers
// and access kinds, and the refusal that names the line and the element. Inside this folder only.
#pragma once

#include <libxml/tree.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "MapRules.h"
#include "regmap/Access.h"
#include "regmap/RegisterMap.h"

namespace regmap::xml {

// The element's name without its namespace prefix.
std::string_view localName(const xmlNode* node);
// The element as a refusal names it: its local name, and its <name> child's text when it has one.
std::string describe(const xmlNode* node);
[[noreturn]] void refuse(const xmlNode* node, const std::string& problem);
// The first child element with this local name; nullptr when none.
const xmlNode* child(const xmlNode* node, std::string_view name);
// Every child element with this local name, in file order.
std::vector<const xmlNode*> children(const xmlNode* node, std::string_view name);
// The element's text, blanks at both ends removed.
std::string text(const xmlNode* node);
// The text of the named child; nothing when there is no such child.
std::optional<std::string> childText(const xmlNode* node, std::string_view name);
// The text of the named child, which must be there and not be empty.
std::string requiredText(const xmlNode* node, std::string_view name);
// The element's text as a map number; refused when it is not one.
std::uint32_t number(const xmlNode* node);
// The named child as a map number; nothing when there is no such child.
std::optional<std::uint32_t> childNumber(const xmlNode* node, std::string_view name);
// The element's access text (read-write, read-only, write-only, writeOnce, read-writeOnce).
Access access(const xmlNode* node);
// The element's modifiedWriteValues text; refused when it names no write kind.
WriteKind writeKind(const xmlNode* node);
// The element's readAction text; refused when it names no read action.
ReadAction readAction(const xmlNode* node);
// Takes the node's own access, write kind (the child `modifiedName`: SVD's modifiedWriteValues,
// IP-XACT's modifiedWriteValue) and read action over the ones given, which it keeps otherwise.
void readBehaviour(const xmlNode* node, std::string_view modifiedName, Access& access,
                   WriteKind& kind, ReadAction& action);

}  // namespace regmap::xml
