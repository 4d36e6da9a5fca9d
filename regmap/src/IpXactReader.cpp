// IP-XACT (IEEE 1685-2009 and 1685-2014): component / memoryMaps / memoryMap / addressBlock /
// register / field. Resets sit on the register in 1685-2009 and on each field in 1685-2014; both
// are read in either.
#include "MapFormatTable.h"
#include "XmlMap.h"

namespace regmap::xml {

namespace {

void readEnumeratedValues(const xmlNode* values, Field& into) {
    if (values == nullptr) {
        return;
    }
    for (const xmlNode* node : children(values, "enumeratedValue")) {
        EnumeratedValue named;
        named.name = requiredText(node, "name");
        const xmlNode* value = child(node, "value");
        if (value == nullptr) {
            refuse(node, "has no <value>");
        }
        named.value = number(value);
        named.description = childText(node, "description").value_or("");
        named.line = static_cast<int>(xmlGetLineNo(node));
        into.values.push_back(std::move(named));
    }
}

// A 1685-2014 field's reset (resets/reset/value, with an optional mask) folded into its
// register's reset value and mask.
void readFieldReset(const xmlNode* resets, const xmlNode* reset, const Field& field, Register& reg,
                    bool& registerResetKnown) {
    if (resets != nullptr) {
        reset = child(resets, "reset");
    }
    if (reset == nullptr) {
        return;
    }
    const xmlNode* valueNode = child(reset, "value");
    if (valueNode == nullptr) {
        refuse(reset, "has no <value>");
    }
    const std::uint32_t value = number(valueNode);
    if (value > field.maxValue()) {
        refuse(valueNode, "reset value " + std::to_string(value) + " does not fit in the " +
                              std::to_string(field.width) + " bits of field \"" + field.name +
                              "\"");
    }
    const std::uint32_t mask = childNumber(reset, "mask").value_or(field.maxValue());
    if (!registerResetKnown) {
        reg.resetValue = 0;
        reg.resetMask = 0;
        registerResetKnown = true;
    }
    reg.resetValue = (reg.resetValue & ~field.mask()) | ((value << field.lsb) & field.mask());
    reg.resetMask = (reg.resetMask & ~field.mask()) | ((mask << field.lsb) & field.mask());
}

// The children of a field element a reader looks at, found in one pass: a large map has many
// thousand fields, and walking each one's children once per name would cost more than the rest.
struct FieldElements {
    const xmlNode* name = nullptr;
    const xmlNode* description = nullptr;
    const xmlNode* bitOffset = nullptr;
    const xmlNode* bitWidth = nullptr;
    const xmlNode* access = nullptr;
    const xmlNode* modifiedWriteValue = nullptr;
    const xmlNode* readAction = nullptr;
    const xmlNode* enumeratedValues = nullptr;
    const xmlNode* resets = nullptr;
    const xmlNode* reset = nullptr;

    explicit FieldElements(const xmlNode* field) {
        for (const xmlNode* c = field->children; c != nullptr; c = c->next) {
            if (c->type != XML_ELEMENT_NODE) {
                continue;
            }
            const std::string_view n = localName(c);
            const xmlNode** slot = n == "name"                 ? &name
                                   : n == "description"        ? &description
                                   : n == "bitOffset"          ? &bitOffset
                                   : n == "bitWidth"           ? &bitWidth
                                   : n == "access"             ? &access
                                   : n == "modifiedWriteValue" ? &modifiedWriteValue
                                   : n == "readAction"         ? &readAction
                                   : n == "enumeratedValues"   ? &enumeratedValues
                                   : n == "resets"             ? &resets
                                   : n == "reset"              ? &reset
                                                               : nullptr;
            if (slot != nullptr && *slot == nullptr) {
                *slot = c;
            }
        }
    }
};

Field readField(const xmlNode* node, Register& reg, bool& registerResetKnown) {
    const FieldElements parts(node);
    Field field;
    if (parts.name == nullptr) {
        refuse(node, "has no <name>");
    }
    field.name = text(parts.name);
    if (field.name.empty()) {
        refuse(parts.name, "is empty");
    }
    field.description = parts.description != nullptr ? text(parts.description) : "";
    field.line = static_cast<int>(xmlGetLineNo(node));
    if (parts.bitOffset == nullptr || parts.bitWidth == nullptr) {
        refuse(node, "needs <bitOffset> and <bitWidth>");
    }
    field.lsb = number(parts.bitOffset);
    field.width = number(parts.bitWidth);
    if (field.lsb > 31 || field.width > 32) {
        refuse(node, "bits beyond 32 (offset " + std::to_string(field.lsb) + ", width " +
                         std::to_string(field.width) + ")");
    }
    field.access = parts.access != nullptr ? access(parts.access) : reg.access;
    field.writeKind =
        parts.modifiedWriteValue != nullptr ? writeKind(parts.modifiedWriteValue) : reg.writeKind;
    field.readAction = parts.readAction != nullptr ? readAction(parts.readAction) : reg.readAction;
    readEnumeratedValues(parts.enumeratedValues, field);
    readFieldReset(parts.resets, parts.reset, field, reg, registerResetKnown);
    return field;
}

Register readRegister(const xmlNode* node, std::uint64_t base, Access blockAccess) {
    Register reg;
    reg.access = blockAccess;
    reg.name = requiredText(node, "name");
    reg.description = childText(node, "description").value_or("");
    reg.line = static_cast<int>(xmlGetLineNo(node));
    const xmlNode* offset = child(node, "addressOffset");
    if (offset == nullptr) {
        refuse(node, "has no <addressOffset>");
    }
    const std::uint64_t address = base + number(offset);
    if (address > 0xFFFFFFFFu) {
        refuse(offset, "the block's base plus the offset lies beyond 32-bit addresses");
    }
    reg.address = static_cast<std::uint32_t>(address);
    const xmlNode* size = child(node, "size");
    if (size == nullptr) {
        refuse(node, "has no <size>");
    }
    reg.width = number(size);
    if (reg.width != 8 && reg.width != 16 && reg.width != 32) {
        refuse(size, "size " + std::to_string(reg.width) + " is not 8, 16 or 32 bits");
    }
    readBehaviour(node, "modifiedWriteValue", reg.access, reg.writeKind, reg.readAction);
    bool resetKnown = false;
    if (const xmlNode* reset = child(node, "reset")) {
        const xmlNode* value = child(reset, "value");
        if (value == nullptr) {
            refuse(reset, "has no <value>");
        }
        reg.resetValue = number(value);
        reg.resetMask = childNumber(reset, "mask").value_or(reg.valueMask());
        resetKnown = true;
    }
    const std::vector<const xmlNode*> fields = children(node, "field");
    reg.fields.reserve(fields.size());
    for (const xmlNode* field : fields) {
        reg.fields.push_back(readField(field, reg, resetKnown));
    }
    if (!resetKnown) {
        reg.resetValue = 0;
        reg.resetMask = 0;
    }
    return reg;
}

bool isIpXact(const xmlNode* root) {
    const std::string ns = root->ns != nullptr && root->ns->href != nullptr
                               ? reinterpret_cast<const char*>(root->ns->href)
                               : "";
    return localName(root) == "component" &&
           (ns.find("1685-2009") != std::string::npos || ns.find("1685-2014") != std::string::npos);
}

void readIpXact(const xmlNode* root, RegisterMap& map) {
    if (const xmlNode* interfaces = child(root, "busInterfaces")) {
        for (const xmlNode* bus : children(interfaces, "busInterface")) {
            if (const xmlNode* endianness = child(bus, "endianness")) {
                const std::string order = text(endianness);
                if (order != "big" && order != "little") {
                    refuse(endianness, "\"" + order + "\" is neither big nor little");
                }
                map.byteOrder = order == "little" ? ByteOrder::LeastSignificantFirst
                                                  : ByteOrder::MostSignificantFirst;
                break;
            }
        }
    }
    const xmlNode* maps = child(root, "memoryMaps");
    if (maps == nullptr) {
        refuse(root, "has no <memoryMaps>");
    }
    for (const xmlNode* memoryMap : children(maps, "memoryMap")) {
        if (const xmlNode* unit = child(memoryMap, "addressUnitBits")) {
            if (number(unit) != 8) {
                refuse(unit, "only byte addresses (8) are read, not " + text(unit));
            }
        }
        for (const xmlNode* block : children(memoryMap, "addressBlock")) {
            const xmlNode* baseNode = child(block, "baseAddress");
            const std::uint32_t base = baseNode != nullptr ? number(baseNode) : 0;
            const xmlNode* blockAccess = child(block, "access");
            const Access access =
                blockAccess != nullptr ? xml::access(blockAccess) : Access::ReadWrite;
            if (const xmlNode* file = child(block, "registerFile")) {
                refuse(file, "register files are not read; list their registers in the block");
            }
            const std::vector<const xmlNode*> registers = children(block, "register");
            map.registers.reserve(map.registers.size() + registers.size());
            for (const xmlNode* reg : registers) {
                if (map.registers.size() >= 65536) {
                    refuse(reg, "more than 65536 registers");
                }
                map.registers.push_back(readRegister(reg, base, access));
            }
        }
    }
}

}  // namespace

}  // namespace regmap::xml

namespace regmap {

MapFormatEntry mapFormatIpXact() {
    return {{"IP-XACT", "an IP-XACT component (IEEE 1685-2009 or 1685-2014)", {"xml"}},
            xml::isIpXact,
            xml::readIpXact};
}

}  // namespace regmap
