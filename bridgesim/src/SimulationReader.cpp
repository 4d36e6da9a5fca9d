#include "bridgesim/SimulationReader.h"

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace bridgesim {

// Defined in the generated BuiltInSimulation.cpp.
extern const char* const kBuiltInSimulationJson;

namespace {

using nlohmann::json;

constexpr std::uint32_t kMaxLatencyUs = 1'000'000;

// Carries "KEY: problem" up to fromText, which adds the source name; never leaves this file.
struct ReadError : std::runtime_error {
    ReadError(const std::string& key, const std::string& problem)
        : std::runtime_error(key + ": " + problem) {}
};

// A value as JSON text, control characters escaped, cut short after 40 characters.
std::string describe(const json& v) {
    std::string text = v.dump(-1, ' ', false, json::error_handler_t::replace);
    if (text.size() > 40) {
        text = text.substr(0, 37) + "...";
    }
    return text;
}

// A text from the file in quotes, shown like describe shows it.
std::string quoted(const std::string& s) {
    return describe(json(s));
}

// A hex text of 1..maxDigits digits, no prefix.
std::uint32_t hexText(const std::string& text, const std::string& key, int maxDigits) {
    if (text.empty() || text.size() > static_cast<std::size_t>(maxDigits)) {
        throw ReadError(
            key, "expected 1 to " + std::to_string(maxDigits) + " hex digits, got " + quoted(text));
    }
    std::uint32_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else {
            throw ReadError(key, "bad hex " + quoted(text));
        }
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value;
}

std::uint32_t hexValue(const json& v, const std::string& key, int maxDigits) {
    if (!v.is_string()) {
        throw ReadError(key, "expected a hex text in quotes, got " + describe(v));
    }
    return hexText(v.get<std::string>(), key, maxDigits);
}

std::uint8_t hexByte(const json& v, const std::string& key) {
    return static_cast<std::uint8_t>(hexValue(v, key, 2));
}

void requireObject(const json& v, const std::string& key) {
    if (!v.is_object()) {
        throw ReadError(key, "expected an object, got " + describe(v));
    }
}

void rejectUnknownKeys(const json& obj, const std::string& where,
                       std::initializer_list<const char*> known) {
    for (const auto& item : obj.items()) {
        bool found = false;
        for (const char* k : known) {
            found = found || item.key() == k;
        }
        if (!found) {
            std::string allowed;
            for (const char* k : known) {
                allowed += (allowed.empty() ? "" : ", ") + std::string(k);
            }
            throw ReadError(where + (where.empty() ? "" : ".") + item.key(),
                            "unknown key (allowed: " + allowed + ")");
        }
    }
}

std::string child(const std::string& parent, const std::string& key) {
    return parent.empty() ? key : parent + "." + key;
}

Pin pinName(const json& v, const std::string& key) {
    if (v.is_string()) {
        const std::string name = v.get<std::string>();
        if (name.size() == 3 && name[0] == 'P' && name[2] >= '0' && name[2] <= '7') {
            const int bit = name[2] - '0';
            if (name[1] == 'B') {
                return Pin{Port::B, bit};
            }
            if (name[1] == 'C' && bit >= 4) {
                return Pin{Port::C, bit};
            }
        }
    }
    throw ReadError(key, "expected a pin name PB0..PB7 or PC4..PC7, got " + describe(v));
}

std::uint32_t registerAddress(const json& v, const std::string& key, const TargetConfig& target) {
    const std::uint32_t reg = hexValue(v, key, target.registerBytes * 2);
    if (reg >= target.size) {
        throw ReadError(key, "register " + quoted(v.get<std::string>()) +
                                 " is beyond the target's size of " + std::to_string(target.size) +
                                 " registers");
    }
    return reg;
}

std::uint32_t registerKey(const std::string& text, const std::string& key,
                          const TargetConfig& target) {
    return registerAddress(json(text), key, target);
}

TargetConfig readTarget(const json& v, const std::string& where) {
    requireObject(v, where);
    rejectUnknownKeys(
        v, where,
        {"address", "register_bytes", "size", "fill", "registers", "read_only", "interrupt"});
    TargetConfig target;
    if (!v.contains("address")) {
        throw ReadError(child(where, "address"), "missing (every target needs its address)");
    }
    target.address = hexByte(v["address"], child(where, "address"));
    if (target.address & 1) {
        throw ReadError(child(where, "address"),
                        "must be the 8-bit write address (bit 0 clear), got " +
                            quoted(v["address"].get<std::string>()));
    }
    if (v.contains("register_bytes")) {
        const json& rb = v["register_bytes"];
        if (!rb.is_number_integer() || (rb.get<long long>() != 1 && rb.get<long long>() != 2)) {
            throw ReadError(child(where, "register_bytes"), "must be 1 or 2, got " + describe(rb));
        }
        target.registerBytes = rb.get<int>();
    }
    const std::uint32_t fullSpace = target.registerBytes == 1 ? 256u : 65536u;
    target.size = fullSpace;
    if (v.contains("size")) {
        const json& s = v["size"];
        if (!s.is_number_integer() || s.get<long long>() < 1 ||
            s.get<long long>() > static_cast<long long>(fullSpace)) {
            throw ReadError(child(where, "size"), "must be a number of registers from 1 to " +
                                                      std::to_string(fullSpace) + ", got " +
                                                      describe(s));
        }
        target.size = s.get<std::uint32_t>();
    }
    if (v.contains("fill")) {
        target.fill = hexByte(v["fill"], child(where, "fill"));
    }
    if (v.contains("registers")) {
        const std::string key = child(where, "registers");
        requireObject(v["registers"], key);
        for (const auto& item : v["registers"].items()) {
            const std::string itemKey = key + "." + item.key();
            const std::uint32_t reg = registerKey(item.key(), itemKey, target);
            if (!target.registers.emplace(reg, hexByte(item.value(), itemKey)).second) {
                throw ReadError(itemKey, "register listed twice");
            }
        }
    }
    if (v.contains("read_only")) {
        const std::string key = child(where, "read_only");
        const json& list = v["read_only"];
        if (!list.is_array()) {
            throw ReadError(key, "expected a list of register addresses, got " + describe(list));
        }
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string itemKey = key + "[" + std::to_string(i) + "]";
            if (!target.readOnly.insert(registerAddress(list[i], itemKey, target)).second) {
                throw ReadError(itemKey, "register listed twice");
            }
        }
    }
    if (v.contains("interrupt")) {
        const std::string key = child(where, "interrupt");
        const json& irq = v["interrupt"];
        requireObject(irq, key);
        rejectUnknownKeys(irq, key, {"pin", "set_by_write", "cleared_by_read"});
        for (const char* required : {"pin", "set_by_write", "cleared_by_read"}) {
            if (!irq.contains(required)) {
                throw ReadError(child(key, required), "missing");
            }
        }
        InterruptConfig config;
        config.pin = pinName(irq["pin"], child(key, "pin"));
        config.setByWrite =
            registerAddress(irq["set_by_write"], child(key, "set_by_write"), target);
        config.clearedByRead =
            registerAddress(irq["cleared_by_read"], child(key, "cleared_by_read"), target);
        target.interrupt = config;
    }
    return target;
}

SimulationConfig readSimulation(const json& doc) {
    requireObject(doc, "(top level)");
    rejectUnknownKeys(doc, "", {"name", "attached", "latency_us", "inputs", "targets"});
    SimulationConfig config;
    if (doc.contains("name")) {
        if (!doc["name"].is_string()) {
            throw ReadError("name", "expected a text in quotes, got " + describe(doc["name"]));
        }
        config.name = doc["name"].get<std::string>();
    }
    if (doc.contains("attached")) {
        if (!doc["attached"].is_boolean()) {
            throw ReadError("attached", "expected true or false, got " + describe(doc["attached"]));
        }
        config.attached = doc["attached"].get<bool>();
    }
    if (doc.contains("latency_us")) {
        const json& l = doc["latency_us"];
        if (!l.is_number_integer() || l.get<long long>() < 0 ||
            l.get<long long>() > static_cast<long long>(kMaxLatencyUs)) {
            throw ReadError("latency_us", "expected microseconds from 0 to " +
                                              std::to_string(kMaxLatencyUs) + ", got " +
                                              describe(l));
        }
        config.latencyUs = l.get<std::uint32_t>();
    }
    if (doc.contains("inputs")) {
        requireObject(doc["inputs"], "inputs");
        rejectUnknownKeys(doc["inputs"], "inputs", {"PB", "PC"});
        if (doc["inputs"].contains("PB")) {
            config.inputsB = hexByte(doc["inputs"]["PB"], "inputs.PB");
        }
        if (doc["inputs"].contains("PC")) {
            config.inputsC = hexByte(doc["inputs"]["PC"], "inputs.PC");
        }
    }
    if (!doc.contains("targets")) {
        throw ReadError("targets", "missing (give [] for a bus with no targets)");
    }
    const json& targets = doc["targets"];
    if (!targets.is_array()) {
        throw ReadError("targets", "expected a list of targets, got " + describe(targets));
    }
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const std::string where = "targets[" + std::to_string(i) + "]";
        TargetConfig target = readTarget(targets[i], where);
        for (std::size_t j = 0; j < config.targets.size(); ++j) {
            if (config.targets[j].address == target.address) {
                throw ReadError(where + ".address",
                                "duplicate address " +
                                    quoted(targets[i]["address"].get<std::string>()) +
                                    " (also targets[" + std::to_string(j) + "])");
            }
        }
        config.targets.push_back(std::move(target));
    }
    return config;
}

// nlohmann keeps the last of two equal keys silently; a simulation must not lose a line that way.
// The error names the repeated key by its full path, as every other error does.
json parseRejectingDuplicateKeys(std::string_view text) {
    struct Container {
        bool object = true;
        std::string path;
        std::string key;                // object: the key whose value is being read
        std::vector<std::string> keys;  // object: the keys seen so far
        std::size_t elements = 0;       // array: the elements seen so far
    };
    std::vector<Container> open;
    // The path of the value starting now inside the innermost open container.
    const auto nextValuePath = [&]() -> std::string {
        if (open.empty()) {
            return "";
        }
        Container& parent = open.back();
        if (parent.object) {
            return child(parent.path, parent.key);
        }
        return parent.path + "[" + std::to_string(parent.elements++) + "]";
    };
    auto callback = [&](int, json::parse_event_t event, json& parsed) {
        switch (event) {
            case json::parse_event_t::object_start:
            case json::parse_event_t::array_start: {
                std::string path = nextValuePath();
                open.push_back(
                    Container{event == json::parse_event_t::object_start, std::move(path), {}, {}});
                break;
            }
            case json::parse_event_t::object_end:
            case json::parse_event_t::array_end:
                if (!open.empty()) {
                    open.pop_back();
                }
                break;
            case json::parse_event_t::value:
                nextValuePath();
                break;
            case json::parse_event_t::key: {
                Container& object = open.back();
                object.key = parsed.get<std::string>();
                for (const auto& k : object.keys) {
                    if (k == object.key) {
                        throw ReadError(child(object.path, object.key),
                                        "key given twice in the same object");
                    }
                }
                object.keys.push_back(object.key);
                break;
            }
        }
        return true;
    };
    return json::parse(text.begin(), text.end(), callback);
}

}  // namespace

std::optional<SimulationConfig> SimulationReader::fromText(std::string_view text,
                                                           std::string_view source,
                                                           std::string& error) {
    try {
        return readSimulation(parseRejectingDuplicateKeys(text));
    } catch (const ReadError& e) {
        error = std::string(source) + ": " + e.what();
    } catch (const json::parse_error& e) {
        error = std::string(source) + ": (syntax): not valid JSON at byte " +
                std::to_string(e.byte) + ": " + e.what();
    } catch (const json::exception& e) {
        error = std::string(source) + ": (top level): " + e.what();
    } catch (const std::exception& e) {
        error = std::string(source) + ": (top level): " + e.what();
    }
    return std::nullopt;
}

#if defined(_WIN32)
namespace {

// True unless path opens as something other than a disk file (a device, a pipe); a path that
// does not open at all is left to the reading below, which names that failure.
bool isDiskFile(const std::string& path) {
    const HANDLE file = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return true;
    }
    const DWORD type = ::GetFileType(file);
    ::CloseHandle(file);
    return type == FILE_TYPE_DISK;
}

}  // namespace
#endif

std::optional<SimulationConfig> SimulationReader::fromFile(const std::string& path,
                                                           std::string& error) {
    std::error_code ignored;
    const std::filesystem::file_status kind = std::filesystem::status(path, ignored);
    if (std::filesystem::is_directory(kind)) {
        error = path + ": (file): is a folder, not a simulation file";
        return std::nullopt;
    }
    // A device or pipe (/dev/zero, a FIFO) could be read forever.
    if (std::filesystem::exists(kind) && !std::filesystem::is_regular_file(kind)) {
        error = path + ": (file): is not a regular file";
        return std::nullopt;
    }
#if defined(_WIN32)
    // Windows devices (NUL, CON, COM1) have no file status; only a disk file is read.
    if (!isDiskFile(path)) {
        error = path + ": (file): is not a regular file";
        return std::nullopt;
    }
#endif
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": (file): cannot be opened for reading";
        return std::nullopt;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        error = path + ": (file): read error";
        return std::nullopt;
    }
    return fromText(content.str(), path, error);
}

std::string_view SimulationReader::builtInText() {
    return kBuiltInSimulationJson;
}

SimulationConfig SimulationReader::builtIn() {
    std::string error;
    auto config = fromText(builtInText(), "built-in simulation", error);
    return config ? *config : SimulationConfig{};
}

}  // namespace bridgesim
