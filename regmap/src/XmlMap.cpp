#include "XmlMap.h"

#include <cstring>

#include "Numbers.h"

namespace regmap::xml {

std::string_view localName(const xmlNode* node) {
    return node->name == nullptr ? std::string_view{}
                                 : std::string_view(reinterpret_cast<const char*>(node->name));
}

std::string describe(const xmlNode* node) {
    std::string element(localName(node));
    if (const xmlNode* name = child(node, "name")) {
        std::string label = text(name);
        if (label.size() > 40) {
            label = label.substr(0, 37) + "...";
        }
        element += " \"" + label + "\"";
    }
    return element;
}

void refuse(const xmlNode* node, const std::string& problem) {
    throw Refusal(xmlGetLineNo(node), describe(node), problem);
}

namespace {

// The element's name is `name`, compared without measuring it first: the readers look names up
// many thousand times in a large map.
bool named(const xmlNode* c, std::string_view name) {
    if (c->type != XML_ELEMENT_NODE || c->name == nullptr) {
        return false;
    }
    const auto* text = reinterpret_cast<const char*>(c->name);
    return std::strncmp(text, name.data(), name.size()) == 0 && text[name.size()] == '\0';
}

}  // namespace

const xmlNode* child(const xmlNode* node, std::string_view name) {
    for (const xmlNode* c = node->children; c != nullptr; c = c->next) {
        if (named(c, name)) {
            return c;
        }
    }
    return nullptr;
}

std::vector<const xmlNode*> children(const xmlNode* node, std::string_view name) {
    std::vector<const xmlNode*> found;
    for (const xmlNode* c = node->children; c != nullptr; c = c->next) {
        if (named(c, name)) {
            found.push_back(c);
        }
    }
    return found;
}

std::string text(const xmlNode* node) {
    std::string content;
    for (const xmlNode* c = node->children; c != nullptr; c = c->next) {
        if ((c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) &&
            c->content != nullptr) {
            content += reinterpret_cast<const char*>(c->content);
        } else if (c->type == XML_ENTITY_REF_NODE) {
            // Declared entities are not expanded (no DTD is read): the text would lose it.
            refuse(node, "entity reference &" +
                             std::string(c->name != nullptr ? reinterpret_cast<const char*>(c->name)
                                                            : "") +
                             "; is not read; write its text instead");
        }
    }
    const auto first = content.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return "";
    }
    const auto last = content.find_last_not_of(" \t\r\n");
    return content.substr(first, last - first + 1);
}

std::optional<std::string> childText(const xmlNode* node, std::string_view name) {
    const xmlNode* c = child(node, name);
    if (c == nullptr) {
        return std::nullopt;
    }
    return text(c);
}

std::string requiredText(const xmlNode* node, std::string_view name) {
    const xmlNode* c = child(node, name);
    if (c == nullptr) {
        refuse(node, "has no <" + std::string(name) + ">");
    }
    std::string value = text(c);
    if (value.empty()) {
        refuse(c, "is empty");
    }
    return value;
}

std::uint32_t number(const xmlNode* node) {
    const std::string value = text(node);
    const auto parsed = parseMapNumber(value);
    if (!parsed) {
        std::string shown = value.size() > 40 ? value.substr(0, 37) + "..." : value;
        refuse(node, "\"" + shown + "\" is not a number of 32 bits");
    }
    return *parsed;
}

std::optional<std::uint32_t> childNumber(const xmlNode* node, std::string_view name) {
    const xmlNode* c = child(node, name);
    if (c == nullptr) {
        return std::nullopt;
    }
    return number(c);
}

Access access(const xmlNode* node) {
    const std::string value = text(node);
    if (value == "read-write") {
        return Access::ReadWrite;
    }
    if (value == "writeOnce") {
        return Access::WriteOnce;
    }
    if (value == "read-writeOnce") {
        return Access::ReadWriteOnce;
    }
    if (value == "read-only") {
        return Access::ReadOnly;
    }
    if (value == "write-only") {
        return Access::WriteOnly;
    }
    refuse(node, "unknown access \"" + value +
                     "\" (read-write, read-only, write-only, writeOnce or read-writeOnce)");
}

WriteKind writeKind(const xmlNode* node) {
    const std::string value = text(node);
    if (const auto kind = writeKindNamed(value)) {
        return *kind;
    }
    refuse(node, "unknown write kind \"" + value +
                     "\" (oneToClear, oneToSet, oneToToggle, zeroToClear, zeroToSet, "
                     "zeroToToggle, clear, set or modify)");
}

void readBehaviour(const xmlNode* node, std::string_view modifiedName, Access& accessKind,
                   WriteKind& kind, ReadAction& action) {
    if (const xmlNode* a = child(node, "access")) {
        accessKind = access(a);
    }
    if (const xmlNode* modified = child(node, modifiedName)) {
        kind = writeKind(modified);
    }
    if (const xmlNode* read = child(node, "readAction")) {
        action = readAction(read);
    }
}

ReadAction readAction(const xmlNode* node) {
    const std::string value = text(node);
    if (const auto action = readActionNamed(value)) {
        return *action;
    }
    refuse(node, "unknown read action \"" + value + "\" (clear, set, modify or modifyExternal)");
}

}  // namespace regmap::xml
