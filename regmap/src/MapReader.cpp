#include "regmap/MapReader.h"

#include <libxml/parser.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "MapRules.h"
#include "XmlMap.h"

namespace regmap {

namespace {

// Larger files are no register maps a bench tool would show.
constexpr std::size_t kMaxFileBytes = 32 * 1024 * 1024;

struct DocumentFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct ContextFree {
    void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};

std::string oneLine(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    for (char& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return text;
}

MapReadResult refused(const std::string& source, long line, const std::string& what) {
    MapReadResult result;
    result.error = source + ":" + std::to_string(line) + ": " + what;
    return result;
}

}  // namespace

MapReadResult readRegisterMap(std::string_view text, const std::string& source) {
    if (text.size() > kMaxFileBytes) {
        return refused(
            source, 1,
            "(file): larger than " + std::to_string(kMaxFileBytes / (1024 * 1024)) + " MiB");
    }
    xmlInitParser();
    std::unique_ptr<xmlParserCtxt, ContextFree> context(xmlNewParserCtxt());
    if (!context) {
        return refused(source, 1, "(file): out of memory");
    }
    // No network, no external entities, no DTD: a map file is read as it stands.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                        XML_PARSE_BIG_LINES | XML_PARSE_NOCDATA | XML_PARSE_NOBLANKS |
                        XML_PARSE_COMPACT;
    std::unique_ptr<xmlDoc, DocumentFree> doc(xmlCtxtReadMemory(context.get(), text.data(),
                                                                static_cast<int>(text.size()),
                                                                source.c_str(), nullptr, options));
    if (!doc || context->wellFormed == 0) {
        const xmlError* error = xmlCtxtGetLastError(context.get());
        const long line = error != nullptr && error->line > 0 ? error->line : 1;
        const std::string why =
            error != nullptr && error->message != nullptr ? oneLine(error->message) : "not XML";
        return refused(source, line, "(XML): " + why);
    }
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (root == nullptr) {
        return refused(source, 1, "(XML): no root element");
    }
    try {
        RegisterMap map;
        const std::string_view name = xml::localName(root);
        const std::string ns = root->ns != nullptr && root->ns->href != nullptr
                                   ? reinterpret_cast<const char*>(root->ns->href)
                                   : "";
        if (name == "component" && (ns.find("1685-2009") != std::string::npos ||
                                    ns.find("1685-2014") != std::string::npos)) {
            xml::readIpXact(root, map);
        } else if (name == "device" && ns.empty()) {
            xml::readSvd(root, map);
        } else {
            xml::refuse(root,
                        "neither an IP-XACT component (IEEE 1685-2009 or 1685-2014) nor a "
                        "CMSIS-SVD device");
        }
        checkRules(map);
        MapReadResult result;
        result.map = std::move(map);
        return result;
    } catch (const Refusal& refusal) {
        return refused(source, refusal.line, refusal.what());
    } catch (const std::bad_alloc&) {
        return refused(source, 1, "(file): out of memory");
    }
}

MapReadResult readRegisterMapFile(const std::string& path) {
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        MapReadResult result;
        result.error = path + ": cannot be opened";
        result.systemError = errno != 0 ? errno : ENOENT;
        return result;
    }
    std::string text;
    char buffer[65536];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(file.gcount()));
        if (text.size() > kMaxFileBytes) {
            break;
        }
    }
    if (file.bad()) {
        MapReadResult result;
        result.error = path + ": cannot be read";
        result.systemError = errno != 0 ? errno : EIO;
        return result;
    }
    return readRegisterMap(text, path);
}

}  // namespace regmap
