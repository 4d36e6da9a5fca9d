// IP-XACT (IEEE 1685-2009 and 1685-2014): component / memoryMaps / memoryMap / addressBlock /
// register / field. Resets sit on the register in 1685-2009 and on each field in 1685-2014; both
// are read in either.
#include "XmlMap.h"

namespace regmap::xml {

namespace {

void readEnumeratedValues(const xmlNode* field, Field& into) {
    const xmlNode* values = child(field, "enumeratedValues");
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
void readFieldReset(const xmlNode* node, const Field& field, Register& reg,
                    bool& registerResetKnown) {
    const xmlNode* resets = child(node, "resets");
    const xmlNode* reset = resets != nullptr ? child(resets, "reset") : child(node, "reset");
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

Field readField(const xmlNode* node, Register& reg, bool& registerResetKnown) {
    Field field;
    field.name = requiredText(node, "name");
    field.description = childText(node, "description").value_or("");
    field.line = static_cast<int>(xmlGetLineNo(node));
    const xmlNode* offset = child(node, "bitOffset");
    const xmlNode* width = child(node, "bitWidth");
    if (offset == nullptr || width == nullptr) {
        refuse(node, "needs <bitOffset> and <bitWidth>");
    }
    field.lsb = number(offset);
    field.width = number(width);
    if (field.lsb > 31 || field.width > 32) {
        refuse(node, "bits beyond 32 (offset " + std::to_string(field.lsb) + ", width " +
                         std::to_string(field.width) + ")");
    }
    field.access = reg.access;
    if (const xmlNode* a = child(node, "access")) {
        field.access = access(a);
    }
    if (const xmlNode* modified = child(node, "modifiedWriteValue")) {
        if (oneToClear(modified)) {
            field.access = Access::WriteOneToClear;
        }
    }
    readEnumeratedValues(node, field);
    readFieldReset(node, field, reg, registerResetKnown);
    return field;
}

Register readRegister(const xmlNode* node, std::uint32_t base) {
    Register reg;
    reg.name = requiredText(node, "name");
    reg.description = childText(node, "description").value_or("");
    reg.line = static_cast<int>(xmlGetLineNo(node));
    const xmlNode* offset = child(node, "addressOffset");
    if (offset == nullptr) {
        refuse(node, "has no <addressOffset>");
    }
    reg.address = base + number(offset);
    const xmlNode* size = child(node, "size");
    if (size == nullptr) {
        refuse(node, "has no <size>");
    }
    reg.width = number(size);
    if (reg.width != 8 && reg.width != 16 && reg.width != 32) {
        refuse(size, "size " + std::to_string(reg.width) + " is not 8, 16 or 32 bits");
    }
    if (const xmlNode* a = child(node, "access")) {
        reg.access = access(a);
    }
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
    for (const xmlNode* field : children(node, "field")) {
        reg.fields.push_back(readField(field, reg, resetKnown));
    }
    if (!resetKnown) {
        reg.resetValue = 0;
        reg.resetMask = 0;
    }
    return reg;
}

}  // namespace

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
            if (const xmlNode* file = child(block, "registerFile")) {
                refuse(file, "register files are not read; list their registers in the block");
            }
            for (const xmlNode* reg : children(block, "register")) {
                if (map.registers.size() >= 65536) {
                    refuse(reg, "more than 65536 registers");
                }
                map.registers.push_back(readRegister(reg, base));
            }
        }
    }
}

}  // namespace regmap::xml
