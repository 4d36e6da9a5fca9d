// CMSIS-SVD: device / peripherals / peripheral / registers / (cluster /) register / fields /
// field, with the register properties (size, access, resetValue, resetMask) inherited from the
// device and the peripheral, dim arrays and derivedFrom on registers.
#include <algorithm>
#include <cctype>
#include <map>

#include "MapFormatTable.h"
#include "MapRules.h"
#include "Numbers.h"
#include "XmlMap.h"

namespace regmap::xml {

namespace {

constexpr std::size_t kMaxRegisters = 65536;
constexpr int kMaxDerivation = 8;
// Registers, fields and enumerated values of the whole map once dim arrays are expanded.
constexpr std::size_t kMaxElements = 1'000'000;

struct Properties {
    std::optional<std::uint32_t> size;
    Access access = Access::ReadWrite;
    WriteKind writeKind = WriteKind::Normal;
    ReadAction readAction = ReadAction::None;
    std::uint32_t resetValue = 0;
    std::optional<std::uint32_t> resetMask;
};

Properties inherit(const xmlNode* node, Properties properties) {
    if (const xmlNode* size = child(node, "size")) {
        properties.size = number(size);
    }
    readBehaviour(node, "modifiedWriteValues", properties.access, properties.writeKind,
                  properties.readAction);
    if (const auto value = childNumber(node, "resetValue")) {
        properties.resetValue = *value;
    }
    if (const auto mask = childNumber(node, "resetMask")) {
        properties.resetMask = *mask;
    }
    return properties;
}

void readEnumeratedValues(const xmlNode* field, Field& into) {
    for (const xmlNode* values : children(field, "enumeratedValues")) {
        for (const xmlNode* node : children(values, "enumeratedValue")) {
            const xmlNode* value = child(node, "value");
            if (value == nullptr) {
                continue;  // isDefault: the name of every other value, nothing to list
            }
            EnumeratedValue named;
            named.name = requiredText(node, "name");
            named.value = number(value);
            named.description = childText(node, "description").value_or("");
            named.line = static_cast<int>(xmlGetLineNo(node));
            into.values.push_back(std::move(named));
        }
    }
}

// The field's bits: bitOffset + bitWidth, lsb + msb, or bitRange "[msb:lsb]".
void readBits(const xmlNode* node, Field& field) {
    if (const xmlNode* offset = child(node, "bitOffset")) {
        field.lsb = number(offset);
        const auto width = childNumber(node, "bitWidth");
        field.width = width.value_or(1);
    } else if (const xmlNode* lsb = child(node, "lsb")) {
        const xmlNode* msb = child(node, "msb");
        if (msb == nullptr) {
            refuse(node, "has <lsb> but no <msb>");
        }
        field.lsb = number(lsb);
        const std::uint32_t high = number(msb);
        if (high < field.lsb) {
            refuse(msb,
                   "msb " + std::to_string(high) + " is below lsb " + std::to_string(field.lsb));
        }
        field.width = high - field.lsb + 1;
    } else if (const xmlNode* range = child(node, "bitRange")) {
        const std::string value = text(range);
        const auto colon = value.find(':');
        if (value.size() < 5 || value.front() != '[' || value.back() != ']' ||
            colon == std::string::npos) {
            refuse(range, "\"" + value + "\" is not [msb:lsb]");
        }
        const auto high = parseMapNumber(value.substr(1, colon - 1));
        const auto low = parseMapNumber(value.substr(colon + 1, value.size() - colon - 2));
        if (!high || !low || *high < *low || *high > 31) {
            refuse(range, "\"" + value + "\" is not [msb:lsb] within 32 bits");
        }
        field.lsb = *low;
        field.width = *high - *low + 1;
    } else {
        refuse(node, "has no bit position (bitOffset, lsb and msb, or bitRange)");
    }
    if (field.lsb > 31 || field.width > 32) {
        refuse(node, "bits beyond 32");
    }
}

Field readField(const xmlNode* node, const Register& reg) {
    Field field;
    field.name = requiredText(node, "name");
    field.description = childText(node, "description").value_or("");
    field.line = static_cast<int>(xmlGetLineNo(node));
    readBits(node, field);
    field.access = reg.access;
    field.writeKind = reg.writeKind;
    field.readAction = reg.readAction;
    readBehaviour(node, "modifiedWriteValues", field.access, field.writeKind, field.readAction);
    readEnumeratedValues(node, field);
    return field;
}

// dimIndex as "0-3", "A-D" or "A,B,C"; numbers 0..dim-1 when not given.
std::vector<std::string> dimNames(const xmlNode* node, std::uint32_t dim) {
    std::vector<std::string> names;
    const xmlNode* index = child(node, "dimIndex");
    if (index == nullptr) {
        for (std::uint32_t i = 0; i < dim; ++i) {
            names.push_back(std::to_string(i));
        }
        return names;
    }
    const std::string value = text(index);
    const auto dash = value.find('-');
    if (dash != std::string::npos && value.find(',') == std::string::npos) {
        const std::string from = value.substr(0, dash);
        const std::string to = value.substr(dash + 1);
        if (from.size() == 1 && to.size() == 1 &&
            std::isupper(static_cast<unsigned char>(from[0])) &&
            std::isupper(static_cast<unsigned char>(to[0])) && from[0] <= to[0]) {
            for (char c = from[0]; c <= to[0]; ++c) {
                names.push_back(std::string(1, c));
            }
        } else {
            const auto low = parseMapNumber(from);
            const auto high = parseMapNumber(to);
            if (!low || !high || *high < *low || *high - *low >= kMaxRegisters) {
                refuse(index, "\"" + value + "\" is not a range");
            }
            for (std::uint32_t i = *low; i <= *high; ++i) {
                names.push_back(std::to_string(i));
            }
        }
    } else {
        std::string item;
        for (char c : value + ",") {
            if (c == ',') {
                names.push_back(item);
                item.clear();
            } else if (c != ' ') {
                item += c;
            }
        }
    }
    if (names.size() != dim) {
        refuse(index, "names " + std::to_string(names.size()) + " elements, but dim is " +
                          std::to_string(dim));
    }
    return names;
}

class SvdReader {
  public:
    SvdReader(RegisterMap& map, bool prefix) : map_(map), prefix_(prefix) {}

    void peripheral(const xmlNode* node, const Properties& device,
                    const std::map<std::string, const xmlNode*>& peripherals) {
        const xmlNode* source = node;
        if (child(node, "registers") == nullptr) {
            if (const auto base = childText(node, "derivedFrom")) {
                const auto found = peripherals.find(*base);
                if (found == peripherals.end()) {
                    refuse(node, "derivedFrom \"" + *base + "\" names no peripheral before it");
                }
                source = found->second;
            } else if (const xmlChar* base = xmlGetProp(node, BAD_CAST "derivedFrom")) {
                const std::string name(reinterpret_cast<const char*>(base));
                xmlFree(const_cast<xmlChar*>(base));
                const auto found = peripherals.find(name);
                if (found == peripherals.end()) {
                    refuse(node, "derivedFrom \"" + name + "\" names no peripheral before it");
                }
                source = found->second;
            }
        }
        prefixText_ = prefix_ ? requiredText(node, "name") + "." : "";
        const Properties properties = inherit(node, inherit(source, device));
        const std::uint32_t base = childNumber(node, "baseAddress").value_or(0);
        const xmlNode* registers = child(source, "registers");
        if (registers == nullptr) {
            return;
        }
        named_.clear();
        collect(registers);
        block(registers, properties, base);
    }

  private:
    // Registers by name, for derivedFrom (clusters included).
    void collect(const xmlNode* registers) {
        for (const xmlNode* c = registers->children; c != nullptr; c = c->next) {
            if (c->type != XML_ELEMENT_NODE) {
                continue;
            }
            if (localName(c) == "register") {
                if (const auto name = childText(c, "name")) {
                    named_.emplace(*name, c);
                }
            } else if (localName(c) == "cluster") {
                collect(c);
            }
        }
    }

    void block(const xmlNode* registers, const Properties& properties, std::uint64_t base) {
        for (const xmlNode* c = registers->children; c != nullptr; c = c->next) {
            if (c->type != XML_ELEMENT_NODE) {
                continue;
            }
            if (localName(c) == "register") {
                reg(c, properties, base);
            } else if (localName(c) == "cluster") {
                if (child(c, "dim") != nullptr) {
                    refuse(c, "dim arrays of clusters are not read");
                }
                const xmlNode* offset = child(c, "addressOffset");
                if (offset == nullptr) {
                    refuse(c, "has no <addressOffset>");
                }
                block(c, inherit(c, properties), base + number(offset));
            }
        }
    }

    // The register's element, then the ones it derives from, nearest first.
    std::vector<const xmlNode*> chain(const xmlNode* node) {
        std::vector<const xmlNode*> found{node};
        for (;;) {
            const xmlNode* last = found.back();
            xmlChar* attribute = xmlGetProp(last, BAD_CAST "derivedFrom");
            if (attribute == nullptr) {
                return found;
            }
            std::string name(reinterpret_cast<const char*>(attribute));
            xmlFree(attribute);
            const auto dot = name.rfind('.');
            const auto it = named_.find(dot == std::string::npos ? name : name.substr(dot + 1));
            if (it == named_.end()) {
                refuse(last, "derivedFrom \"" + name + "\" names no register of this peripheral");
            }
            if (static_cast<int>(found.size()) > kMaxDerivation ||
                std::find(found.begin(), found.end(), it->second) != found.end()) {
                refuse(node, "derivedFrom runs in a circle or deeper than " +
                                 std::to_string(kMaxDerivation));
            }
            found.push_back(it->second);
        }
    }

    void reg(const xmlNode* node, const Properties& inherited, std::uint64_t base) {
        const std::vector<const xmlNode*> from = chain(node);
        Properties properties = inherited;
        std::string name, description;
        std::optional<std::uint32_t> offset, dim, increment;
        const xmlNode* fields = nullptr;
        const xmlNode* dimNode = nullptr;
        for (auto it = from.rbegin(); it != from.rend(); ++it) {
            const xmlNode* n = *it;
            properties = inherit(n, properties);
            name = childText(n, "name").value_or(name);
            description = childText(n, "description").value_or(description);
            offset = childNumber(n, "addressOffset") ? childNumber(n, "addressOffset") : offset;
            if (child(n, "dim") != nullptr) {
                dim = childNumber(n, "dim");
                increment = childNumber(n, "dimIncrement");
                dimNode = n;
            }
            if (const xmlNode* f = child(n, "fields")) {
                fields = f;
            }
        }
        if (name.empty()) {
            refuse(node, "has no <name>");
        }
        if (!offset) {
            refuse(node, "has no <addressOffset>");
        }
        if (!properties.size) {
            refuse(node, "no size given (on the register, its peripheral or the device)");
        }
        Register reg;
        reg.description = description;
        reg.line = static_cast<int>(xmlGetLineNo(node));
        reg.width = *properties.size;
        if (reg.width != 8 && reg.width != 16 && reg.width != 32) {
            refuse(node, "size " + std::to_string(reg.width) + " is not 8, 16 or 32 bits");
        }
        reg.access = properties.access;
        reg.writeKind = properties.writeKind;
        reg.readAction = properties.readAction;
        reg.resetValue = properties.resetValue & reg.valueMask();
        reg.resetMask = properties.resetMask.value_or(0xFFFFFFFFu) & reg.valueMask();
        if (fields != nullptr) {
            for (const xmlNode* field : children(fields, "field")) {
                reg.fields.push_back(readField(field, reg));
            }
        }
        reg.name = prefixText_ + name;
        // The rules of one element hold for all: check them before a dim array copies it.
        checkRegister(reg);
        std::size_t elements = 1;
        for (const Field& field : reg.fields) {
            elements += 1 + field.values.size();
        }
        if (!dim) {
            const std::uint64_t address = base + *offset;
            if (address > 0xFFFFFFFFu) {
                refuse(node, "the base address plus the offset lies beyond 32-bit addresses");
            }
            reg.address = static_cast<std::uint32_t>(address);
            count(node, elements);
            add(node, std::move(reg));
            return;
        }
        if (!increment) {
            refuse(dimNode, "has <dim> but no <dimIncrement>");
        }
        if (*dim == 0 || *dim > kMaxRegisters) {
            refuse(dimNode,
                   "dim " + std::to_string(*dim) + " is not 1 to " + std::to_string(kMaxRegisters));
        }
        const auto place = name.find("%s");
        if (place == std::string::npos) {
            refuse(node, "name \"" + name + "\" of a dim array has no %s");
        }
        count(dimNode, elements * *dim);
        const std::vector<std::string> index = dimNames(dimNode, *dim);
        for (std::uint32_t i = 0; i < *dim; ++i) {
            Register element = reg;
            element.name = prefixText_ + name.substr(0, place) + index[i] + name.substr(place + 2);
            const std::uint64_t address =
                base + *offset + static_cast<std::uint64_t>(i) * *increment;
            if (address > 0xFFFFFFFFu) {
                refuse(dimNode, "element " + std::to_string(i) + " lies beyond 32-bit addresses");
            }
            element.address = static_cast<std::uint32_t>(address);
            add(node, std::move(element));
        }
    }

    // Counts what a register brings into the map, refusing a map that would grow too large.
    void count(const xmlNode* node, std::size_t elements) {
        elements_ += elements;
        if (elements_ > kMaxElements) {
            refuse(node, "the map holds more than " + std::to_string(kMaxElements) +
                             " registers, fields and enumerated values once dim arrays are "
                             "expanded");
        }
    }

    void add(const xmlNode* node, Register reg) {
        if (map_.registers.size() >= kMaxRegisters) {
            refuse(node, "more than " + std::to_string(kMaxRegisters) + " registers");
        }
        map_.registers.push_back(std::move(reg));
    }

    RegisterMap& map_;
    bool prefix_;
    std::string prefixText_;
    std::map<std::string, const xmlNode*> named_;
    std::size_t elements_ = 0;
};

bool isSvd(const xmlNode* root) {
    const bool noNamespace =
        root->ns == nullptr || root->ns->href == nullptr || root->ns->href[0] == '\0';
    return localName(root) == "device" && noNamespace;
}

void readSvd(const xmlNode* root, RegisterMap& map) {
    if (const xmlNode* cpu = child(root, "cpu")) {
        if (const auto endian = childText(cpu, "endian")) {
            map.byteOrder = *endian == "little" ? ByteOrder::LeastSignificantFirst
                                                : ByteOrder::MostSignificantFirst;
        }
    }
    const Properties device = inherit(root, Properties{});
    const xmlNode* peripherals = child(root, "peripherals");
    if (peripherals == nullptr) {
        refuse(root, "has no <peripherals>");
    }
    const std::vector<const xmlNode*> list = children(peripherals, "peripheral");
    std::map<std::string, const xmlNode*> byName;
    SvdReader reader(map, list.size() > 1);
    for (const xmlNode* peripheral : list) {
        reader.peripheral(peripheral, device, byName);
        byName.emplace(requiredText(peripheral, "name"), peripheral);
    }
}

}  // namespace

}  // namespace regmap::xml

namespace regmap {

MapFormatEntry mapFormatSvd() {
    return {{"CMSIS-SVD", "a CMSIS-SVD device", {"svd", "xml"}}, xml::isSvd, xml::readSvd};
}

}  // namespace regmap
