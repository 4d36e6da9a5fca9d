#include "bridgesim/SimulationReader.h"

#include <array>
#include <atomic>
#include <cstdio>
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
constexpr std::uint32_t kMaxBusyMs = 60'000;
constexpr long long kMaxPeriodMs = 86'400'000;

std::atomic<MapTargetReader> mapReader{nullptr};

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

// An integer from min to max; `what` says what it counts.
long long integer(const json& v, const std::string& key, long long min, long long max,
                  const std::string& what) {
    if (!v.is_number_integer() || v.get<long long>() < min || v.get<long long>() > max) {
        throw ReadError(key, "expected " + what + " from " + std::to_string(min) + " to " +
                                 std::to_string(max) + ", got " + describe(v));
    }
    return v.get<long long>();
}

// The width in bytes of the register a key names; refused when the address lies inside a wider
// register rather than at its start.
unsigned registerWidth(const TargetConfig& target, std::uint32_t reg, const std::string& key) {
    auto it = target.widths.upper_bound(reg);
    if (it != target.widths.begin()) {
        --it;
        if (it->first != reg && reg < it->first + it->second) {
            char start[8];
            std::snprintf(start, sizeof start, "%02X", static_cast<unsigned>(it->first));
            throw ReadError(key, "lies inside the " + std::to_string(it->second) +
                                     "-byte register that starts at " + quoted(start));
        }
    }
    return target.widthAt(reg);
}

// A register address key of an object such as "bits" and its width.
std::pair<std::uint32_t, unsigned> registerEntry(const std::string& text, const std::string& key,
                                                 const TargetConfig& target) {
    const std::uint32_t reg = registerKey(text, key, target);
    return {reg, registerWidth(target, reg, key)};
}

BitRules readBits(const json& v, const std::string& key, unsigned width) {
    requireObject(v, key);
    // The write behaviours: a bit has at most one. A read behaviour adds to it.
    struct Behaviour {
        const char* name;
        std::uint32_t BitRules::*mask;
        bool write;
    };
    static constexpr std::array<Behaviour, 12> kBehaviours{{
        {"read_only", &BitRules::readOnly, true},
        {"write_1_to_clear", &BitRules::writeOneToClear, true},
        {"write_1_to_set", &BitRules::writeOneToSet, true},
        {"write_1_to_toggle", &BitRules::writeOneToToggle, true},
        {"write_0_to_clear", &BitRules::writeZeroToClear, true},
        {"write_0_to_set", &BitRules::writeZeroToSet, true},
        {"write_0_to_toggle", &BitRules::writeZeroToToggle, true},
        {"write_clears", &BitRules::writeClears, true},
        {"write_sets", &BitRules::writeSets, true},
        {"write_only", &BitRules::writeOnly, true},
        {"clear_on_read", &BitRules::clearOnRead, false},
        {"set_on_read", &BitRules::setOnRead, false},
    }};
    std::vector<const char*> names;
    for (const Behaviour& b : kBehaviours) {
        names.push_back(b.name);
    }
    for (const auto& item : v.items()) {
        if (std::find_if(kBehaviours.begin(), kBehaviours.end(), [&](const Behaviour& b) {
                return item.key() == b.name;
            }) == kBehaviours.end()) {
            std::string allowed;
            for (const char* name : names) {
                allowed += (allowed.empty() ? "" : ", ") + std::string(name);
            }
            throw ReadError(child(key, item.key()), "unknown key (allowed: " + allowed + ")");
        }
    }
    BitRules rules;
    std::uint32_t writeNamed = 0, readNamed = 0;
    std::array<const char*, 32> namedBy{};
    for (const Behaviour& b : kBehaviours) {
        if (!v.contains(b.name)) {
            continue;
        }
        const std::string itemKey = child(key, b.name);
        const std::uint32_t mask = hexValue(v[b.name], itemKey, static_cast<int>(2 * width));
        const bool writeOnly = b.mask == &BitRules::writeOnly;
        std::uint32_t clash = mask & (b.write ? writeNamed : readNamed);
        if (!b.write) {
            clash |= mask & rules.writeOnly;
        } else if (writeOnly) {
            clash |= mask & readNamed;
        }
        if (clash != 0) {
            int bit = 0;
            while ((clash & (1u << bit)) == 0) {
                ++bit;
            }
            throw ReadError(itemKey, "bit " + std::to_string(bit) + " is also named by " +
                                         namedBy[static_cast<std::size_t>(bit)] +
                                         " (a bit has one write behaviour and one read "
                                         "behaviour, and a write-only bit is never read)");
        }
        for (int bit = 0; bit < 32; ++bit) {
            if ((mask & (1u << bit)) != 0 && namedBy[static_cast<std::size_t>(bit)] == nullptr) {
                namedBy[static_cast<std::size_t>(bit)] = b.name;
            }
        }
        (b.write ? writeNamed : readNamed) |= mask;
        rules.*b.mask = mask;
    }
    return rules;
}

// "read", or a time such as "10 ms", "2 s", "500 us".
std::optional<std::chrono::microseconds> readEvery(const json& v, const std::string& key) {
    const std::string problem = "expected \"read\" or a time such as \"10 ms\", got ";
    if (!v.is_string()) {
        throw ReadError(key, problem + describe(v));
    }
    const std::string text = v.get<std::string>();
    if (text == "read") {
        return std::nullopt;
    }
    std::size_t digits = 0;
    while (digits < text.size() && digits < 9 && text[digits] >= '0' && text[digits] <= '9') {
        ++digits;
    }
    std::string unit = text.substr(digits);
    unit.erase(0, unit.find_first_not_of(' '));
    const long long count = digits == 0 ? 0 : std::stoll(text.substr(0, digits));
    const long long scale = unit == "us" ? 1 : unit == "ms" ? 1000 : unit == "s" ? 1000000 : 0;
    if (count <= 0 || scale == 0 || count * scale > kMaxPeriodMs * 1000) {
        throw ReadError(key, problem + quoted(text) + " (from 1 us to 1 day)");
    }
    return std::chrono::microseconds(count * scale);
}

ChangingConfig readChanging(const json& v, const std::string& key, unsigned width) {
    requireObject(v, key);
    static constexpr std::array<std::pair<const char*, ChangingConfig::Kind>, 5> kKinds{{
        {"counter", ChangingConfig::Kind::Counter},
        {"sequence", ChangingConfig::Kind::Sequence},
        {"ramp", ChangingConfig::Kind::Ramp},
        {"sine", ChangingConfig::Kind::Sine},
        {"noise", ChangingConfig::Kind::Noise},
    }};
    if (v.size() != 1) {
        throw ReadError(
            key, "expected one kind (counter, sequence, ramp, sine or noise), got " + describe(v));
    }
    const std::string kindName = v.begin().key();
    const auto found = std::find_if(kKinds.begin(), kKinds.end(),
                                    [&](const auto& k) { return kindName == k.first; });
    const std::string kindKey = child(key, kindName);
    if (found == kKinds.end()) {
        throw ReadError(kindKey, "unknown kind (allowed: counter, sequence, ramp, sine, noise)");
    }
    const json& body = v.begin().value();
    requireObject(body, kindKey);
    ChangingConfig changing;
    changing.kind = found->second;
    const int digits = static_cast<int>(2 * width);
    switch (changing.kind) {
        case ChangingConfig::Kind::Counter:
            rejectUnknownKeys(body, kindKey, {"step", "every"});
            if (body.contains("step")) {
                changing.step = integer(body["step"], child(kindKey, "step"), -2147483647LL,
                                        2147483647LL, "a step");
            }
            break;
        case ChangingConfig::Kind::Sequence: {
            rejectUnknownKeys(body, kindKey, {"values", "every"});
            const std::string valuesKey = child(kindKey, "values");
            if (!body.contains("values") || !body["values"].is_array() || body["values"].empty()) {
                throw ReadError(valuesKey, "expected a list of one or more hex values");
            }
            for (std::size_t i = 0; i < body["values"].size(); ++i) {
                changing.values.push_back(
                    hexValue(body["values"][i], valuesKey + "[" + std::to_string(i) + "]", digits));
            }
            break;
        }
        default: {
            rejectUnknownKeys(
                body, kindKey,
                changing.kind == ChangingConfig::Kind::Noise
                    ? std::initializer_list<const char*>{"min", "max", "period_ms", "seed", "every"}
                    : std::initializer_list<const char*>{"min", "max", "period_ms", "every"});
            for (const char* required : {"min", "max", "period_ms"}) {
                if (!body.contains(required)) {
                    throw ReadError(child(kindKey, required), "missing");
                }
            }
            changing.min = hexValue(body["min"], child(kindKey, "min"), digits);
            changing.max = hexValue(body["max"], child(kindKey, "max"), digits);
            if (changing.max < changing.min) {
                throw ReadError(child(kindKey, "max"), "is below min");
            }
            changing.periodMs = static_cast<std::uint32_t>(integer(
                body["period_ms"], child(kindKey, "period_ms"), 1, kMaxPeriodMs, "milliseconds"));
            if (body.contains("seed")) {
                changing.seed = static_cast<std::uint64_t>(
                    integer(body["seed"], child(kindKey, "seed"), 0, 9007199254740991LL, "a seed"));
            }
        }
    }
    if (body.contains("every")) {
        changing.every = readEvery(body["every"], child(kindKey, "every"));
    }
    return changing;
}

FifoConfig readFifo(const json& v, const std::string& key) {
    requireObject(v, key);
    rejectUnknownKeys(v, key, {"values", "empty"});
    FifoConfig fifo;
    if (v.contains("values")) {
        const std::string valuesKey = child(key, "values");
        if (!v["values"].is_array()) {
            throw ReadError(valuesKey,
                            "expected a list of hex bytes, got " + describe(v["values"]));
        }
        for (std::size_t i = 0; i < v["values"].size(); ++i) {
            fifo.values.push_back(
                hexByte(v["values"][i], valuesKey + "[" + std::to_string(i) + "]"));
        }
    }
    if (v.contains("empty")) {
        fifo.empty = hexByte(v["empty"], child(key, "empty"));
    }
    return fifo;
}

// A list of register addresses, none twice.
std::set<std::uint32_t> registerList(const json& list, const std::string& key,
                                     const TargetConfig& target) {
    if (!list.is_array()) {
        throw ReadError(key, "expected a list of register addresses, got " + describe(list));
    }
    std::set<std::uint32_t> registers;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string itemKey = key + "[" + std::to_string(i) + "]";
        if (!registers.insert(registerAddress(list[i], itemKey, target)).second) {
            throw ReadError(itemKey, "register listed twice");
        }
    }
    return registers;
}

void readMap(const json& v, const std::string& key, const std::string& baseDir,
             TargetConfig& target) {
    if (!v.is_string() || v.get<std::string>().empty()) {
        throw ReadError(key, "expected the path of a register map file, got " + describe(v));
    }
    const MapTargetReader reader = mapReader.load();
    if (reader == nullptr) {
        throw ReadError(key, "this build reads no register map files");
    }
    std::filesystem::path path(v.get<std::string>());
    if (path.is_relative() && !baseDir.empty()) {
        path = std::filesystem::path(baseDir) / path;
    }
    std::string error;
    if (!reader(path.string(), target, error)) {
        throw ReadError(key, error);
    }
}

// Calls each(register, width, key) for every entry of the object under `name`, if any.
template <typename Each>
void forEachRegisterEntry(const json& v, const std::string& where, const char* name,
                          const TargetConfig& target, Each each) {
    if (!v.contains(name)) {
        return;
    }
    const std::string key = child(where, name);
    requireObject(v[name], key);
    for (const auto& item : v[name].items()) {
        const std::string itemKey = key + "." + item.key();
        const auto [reg, width] = registerEntry(item.key(), itemKey, target);
        each(reg, width, item.value(), itemKey);
    }
}

// The per-register behaviours: "bits", "changing" and "fifo".
void readRegisterBehaviours(const json& v, const std::string& where, TargetConfig& target) {
    forEachRegisterEntry(
        v, where, "bits", target,
        [&](std::uint32_t reg, unsigned width, const json& item, const std::string& key) {
            target.bits[reg] = readBits(item, key, width);
        });
    forEachRegisterEntry(
        v, where, "changing", target,
        [&](std::uint32_t reg, unsigned width, const json& item, const std::string& key) {
            target.changing[reg] = readChanging(item, key, width);
        });
    forEachRegisterEntry(
        v, where, "fifo", target,
        [&](std::uint32_t reg, unsigned, const json& item, const std::string& key) {
            if (target.changing.contains(reg)) {
                throw ReadError(key, "a FIFO register cannot also be in \"changing\"");
            }
            target.fifo[reg] = readFifo(item, key);
        });
}

// The "interrupt" object: the pin and the registers that set and clear it.
InterruptConfig readInterrupt(const json& irq, const std::string& key, const TargetConfig& target) {
    requireObject(irq, key);
    rejectUnknownKeys(irq, key, {"pin", "set_by_write", "cleared_by_read"});
    for (const char* required : {"pin", "set_by_write", "cleared_by_read"}) {
        if (!irq.contains(required)) {
            throw ReadError(child(key, required), "missing");
        }
    }
    InterruptConfig config;
    config.pin = pinName(irq["pin"], child(key, "pin"));
    config.setByWrite = registerAddress(irq["set_by_write"], child(key, "set_by_write"), target);
    config.clearedByRead =
        registerAddress(irq["cleared_by_read"], child(key, "cleared_by_read"), target);
    return config;
}

TargetConfig readTarget(const json& v, const std::string& where, const std::string& baseDir) {
    requireObject(v, where);
    rejectUnknownKeys(
        v, where,
        {"address", "register_bytes", "size", "fill", "registers", "read_only", "interrupt", "bits",
         "changing", "fifo", "nak_registers", "busy_after_write_ms", "stretch_us", "map"});
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
    if (v.contains("map")) {
        readMap(v["map"], child(where, "map"), baseDir, target);
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
        // The file's values replace a map's reset values.
        std::set<std::uint32_t> listed;
        for (const auto& item : v["registers"].items()) {
            const std::string itemKey = key + "." + item.key();
            const std::uint32_t reg = registerKey(item.key(), itemKey, target);
            if (!listed.insert(reg).second) {
                throw ReadError(itemKey, "register listed twice");
            }
            target.registers[reg] = hexByte(item.value(), itemKey);
        }
    }
    if (v.contains("read_only")) {
        for (std::uint32_t reg : registerList(v["read_only"], child(where, "read_only"), target)) {
            target.readOnly.insert(reg);
        }
    }
    readRegisterBehaviours(v, where, target);
    if (v.contains("nak_registers")) {
        target.nakRegisters =
            registerList(v["nak_registers"], child(where, "nak_registers"), target);
    }
    if (v.contains("busy_after_write_ms")) {
        target.busyAfterWriteMs = static_cast<std::uint32_t>(
            integer(v["busy_after_write_ms"], child(where, "busy_after_write_ms"), 0, kMaxBusyMs,
                    "milliseconds"));
    }
    if (v.contains("stretch_us")) {
        target.stretchUs = static_cast<std::uint32_t>(
            integer(v["stretch_us"], child(where, "stretch_us"), 0, kMaxLatencyUs, "microseconds"));
    }
    if (v.contains("interrupt")) {
        target.interrupt = readInterrupt(v["interrupt"], child(where, "interrupt"), target);
    }
    return target;
}

SimulationConfig readSimulation(const json& doc, const std::string& baseDir) {
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
        TargetConfig target = readTarget(targets[i], where, baseDir);
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

void SimulationReader::setMapReader(MapTargetReader reader) {
    mapReader.store(reader);
}

std::optional<SimulationConfig> SimulationReader::fromText(std::string_view text,
                                                           std::string_view source,
                                                           std::string& error,
                                                           const std::string& baseDir) {
    try {
        return readSimulation(parseRejectingDuplicateKeys(text), baseDir);
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
    return fromText(content.str(), path, error, std::filesystem::path(path).parent_path().string());
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
