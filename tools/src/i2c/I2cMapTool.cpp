#include "tools/i2c/I2cMapTool.h"

#include <algorithm>

#include "board/HexText.h"
#include "regmap/MapReader.h"
#include "tools/i2c/I2cCommandLine.h"

namespace tools {

namespace {

using nlohmann::json;

std::string valueText(const regmap::Register& reg, std::uint32_t value) {
    return board::hexDigits(value, reg.width / 4);
}

std::string addressText(const regmap::RegisterMap& map, std::uint32_t address) {
    return board::hexDigits(address, static_cast<unsigned>(map.registerAddressBytes()) * 2);
}

std::string bitsText(const regmap::Field& field) {
    return field.width == 1 ? std::to_string(field.lsb)
                            : std::to_string(field.msb()) + ".." + std::to_string(field.lsb);
}

// A field's value: decimal up to 9, 0x hex above.
std::string numberText(std::uint32_t value) {
    return value <= 9 ? std::to_string(value) : "0x" + board::HexText(value);
}

std::string padded(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
    return text;
}

std::size_t widest(const std::vector<regmap::Field>& fields) {
    std::size_t width = 0;
    for (const regmap::Field& field : fields) {
        width = std::max(width, field.name.size());
    }
    return width;
}

std::string deviceText(std::uint8_t address) {
    return "address " + board::HexByteText(address);
}

// A transfer that did not run: the bridge board is gone, nothing after it can be trusted.
bool bridgeFailed(const client::BoardLinkClient::Exchange& exchange, client::BoardLinkClient& bus,
                  std::uint8_t address, I2cOutcome& result) {
    if (exchange.transferred()) {
        return false;
    }
    result.fail(kI2cNoBridge,
                deviceText(address) + ": bridge board failed: " + bus.statusText(exchange.status));
    return true;
}

// One read of the register's bytes; nothing (with the failure in result) when it fell short.
std::optional<std::vector<std::uint8_t>> readRegister(const I2cMapPlan& plan,
                                                      const regmap::Register& reg,
                                                      std::uint8_t address,
                                                      client::BoardLinkClient& bus,
                                                      I2cOutcome& result) {
    const int count = static_cast<int>(reg.byteCount());
    const client::BoardLinkClient::Exchange answer =
        bus.read(address, plan.map.addressBytes(reg.address), count);
    if (bridgeFailed(answer, bus, address, result)) {
        return std::nullopt;
    }
    if (answer.count != count) {
        result.fail(kI2cNoAcknowledge, answer.count == 0
                                           ? deviceText(address) + ": no acknowledge"
                                           : deviceText(address) + ": register " + reg.name + ": " +
                                                 std::to_string(answer.count) + " of " +
                                                 std::to_string(count) + " bytes read");
        return std::nullopt;
    }
    return answer.data;
}

}  // namespace

std::string I2cMapPlan::question(std::uint8_t address) const {
    std::string what;
    for (const regmap::MaskedWrite& write : writes) {
        for (const regmap::FieldAssignment& set : write.assignments()) {
            what += (what.empty() ? "" : ", ") + write.target().name +
                    (set.field.name == write.target().name ? "" : "." + set.field.name) + "=" +
                    numberText(set.value);
        }
    }
    std::string notes;
    for (const regmap::MaskedWrite& write : writes) {
        for (const std::string& note : write.notes()) {
            notes += "  " + note + "\n";
        }
    }
    return notes + "Write " + what + " on device " + board::HexByteText(address) + "?";
}

std::optional<I2cMapPlan> planI2cMapRequest(const I2cRequest& request, std::string& error) {
    regmap::MapReadResult read = regmap::readRegisterMapFile(request.mapFile);
    if (!read.ok()) {
        error = read.error;
        return std::nullopt;
    }
    I2cMapPlan plan{std::move(*read.map), nullptr, {}};
    if (request.byteOrder == "big") {
        plan.map.byteOrder = regmap::ByteOrder::MostSignificantFirst;
    } else if (request.byteOrder == "little") {
        plan.map.byteOrder = regmap::ByteOrder::LeastSignificantFirst;
    }
    if (request.command == I2cCommand::Get && !request.regText.empty()) {
        plan.reg = plan.map.named(request.regText);
        if (plan.reg == nullptr) {
            const auto number = parseHexNumber(request.regText);
            if (!number) {
                error = "no register named \"" + request.regText + "\" in the map";
                return std::nullopt;
            }
            if (*number > 0xFFFF) {
                error = "register " + request.regText + " is out of range (0000 to FFFF)";
                return std::nullopt;
            }
            plan.reg = plan.map.at(*number);
        }
    }
    if (request.command == I2cCommand::Get && request.regText.empty()) {
        plan.reg = plan.map.at(request.reg);
    }
    if (request.command == I2cCommand::Set) {
        for (const std::string& text : request.assignments) {
            regmap::FieldAssignment assignment;
            const regmap::Register* reg =
                regmap::MaskedWrite::parse(plan.map, text, assignment, error);
            if (reg == nullptr) {
                return std::nullopt;
            }
            auto same =
                std::find_if(plan.writes.begin(), plan.writes.end(),
                             [&](const regmap::MaskedWrite& w) { return &w.target() == reg; });
            if (same == plan.writes.end()) {
                plan.writes.emplace_back(*reg);
                same = plan.writes.end() - 1;
            }
            error = same->assign(assignment.field, assignment.value);
            if (!error.empty()) {
                return std::nullopt;
            }
        }
        for (const regmap::MaskedWrite& write : plan.writes) {
            if (error = write.blocked(); !error.empty()) {
                return std::nullopt;
            }
        }
    }
    return plan;
}

void runI2cMapGet(const I2cRequest& request, const I2cMapPlan& plan, client::BoardLinkClient& bus,
                  I2cOutcome& result) {
    const regmap::Register& reg = *plan.reg;
    result.object["register"] = addressText(plan.map, reg.address);
    result.object["count"] = reg.byteCount();
    result.object["name"] = reg.name;
    const auto bytes = readRegister(plan, reg, request.address, bus, result);
    if (!bytes) {
        return;
    }
    json data = json::array();
    for (std::uint8_t byte : *bytes) {
        data.push_back(board::HexByteText(byte));
    }
    result.object["data"] = data;
    const std::uint32_t value = plan.map.decode(reg, *bytes);
    result.text =
        addressText(plan.map, reg.address) + " " + reg.name + " = " + valueText(reg, value) + "\n";
    json fields = json::array();
    const std::size_t nameWidth = widest(reg.fields);
    for (const regmap::Field& field : reg.fields) {
        const std::uint32_t fieldValue = field.extract(value);
        const regmap::EnumeratedValue* named = field.valueFor(fieldValue);
        fields.push_back(
            {{"name", field.name},
             {"msb", field.msb()},
             {"lsb", field.lsb},
             {"value", fieldValue},
             {"enum", named != nullptr ? json(named->name) : json(nullptr)},
             {"access", std::string(regmap::accessName(field.access, field.writeKind))}});
        result.text += "  " + padded(bitsText(field), 6) + " " + padded(field.name, nameWidth) +
                       " = " + numberText(fieldValue) +
                       (named != nullptr ? " " + named->name : "") + "\n";
    }
    result.object["fields"] = fields;
}

namespace {

// The board link as a masked write reaches it; a failure leaves its reason in the outcome.
class BusRegisterIo : public regmap::RegisterIo {
  public:
    BusRegisterIo(const I2cMapPlan& plan, std::uint8_t address, client::BoardLinkClient& bus,
                  I2cOutcome& result)
        : plan_(plan), address_(address), bus_(bus), result_(result) {}

    int read(const regmap::Register& reg, std::vector<std::uint8_t>& bytes) override {
        const auto answer = readRegister(plan_, reg, address_, bus_, result_);
        if (!answer) {
            return result_.status;
        }
        bytes = *answer;
        return 0;
    }

    int write(const regmap::Register& reg, const std::vector<std::uint8_t>& bytes) override {
        const std::vector<std::uint8_t> where = plan_.map.addressBytes(reg.address);
        const client::BoardLinkClient::Exchange answer = bus_.write(address_, where, bytes);
        if (bridgeFailed(answer, bus_, address_, result_)) {
            return result_.status;
        }
        if (answer.count != 1 + static_cast<int>(where.size() + bytes.size())) {
            result_.fail(kI2cNoAcknowledge, answer.count == 0
                                                ? deviceText(address_) + ": no acknowledge"
                                                : deviceText(address_) + ": register " + reg.name +
                                                      ": write not acknowledged");
            return result_.status;
        }
        return 0;
    }

  private:
    const I2cMapPlan& plan_;
    std::uint8_t address_;
    client::BoardLinkClient& bus_;
    I2cOutcome& result_;
};

}  // namespace

void runI2cMapSet(const I2cRequest& request, const I2cMapPlan& plan, client::BoardLinkClient& bus,
                  I2cOutcome& result) {
    const std::uint8_t address = request.address;
    BusRegisterIo io(plan, address, bus, result);
    for (const regmap::MaskedWrite& write : plan.writes) {
        const regmap::Register& reg = write.target();
        json line = {{"command", "set"},
                     {"address", board::HexByteText(address)},
                     {"register", addressText(plan.map, reg.address)},
                     {"name", reg.name},
                     {"before", nullptr},
                     {"after", nullptr},
                     {"ok", false}};
        const regmap::MaskedWriteOutcome done =
            regmap::runMaskedWrite(plan.map, write, io, request.verify);
        if (done.before) {
            line["before"] = valueText(reg, *done.before);
        }
        if (done.ok() && !done.verified) {
            result.fail(kI2cNoAcknowledge, deviceText(address) + ": register " + reg.name +
                                               ": wrote " + valueText(reg, done.written) +
                                               ", read back " + valueText(reg, *done.after));
        }
        if (done.ok()) {
            line["after"] = valueText(reg, done.after.value_or(done.written));
            line["ok"] = done.verified;
        }
        if (!write.notes().empty()) {
            line["notes"] = write.notes();
        }
        if (!result.error.empty()) {
            line["error"] = result.error;
        }
        result.objects.push_back(line);
        if (!done.ok() || !done.verified) {
            return;
        }
        result.text += reg.name + ": " +
                       (done.before ? valueText(reg, *done.before)
                                    : std::string(regmap::readable(reg.access) ? "(not read)"
                                                                               : "(write-only)")) +
                       " -> " + valueText(reg, done.written) +
                       (done.after ? ", read back " + valueText(reg, *done.after) : "") + "\n";
    }
}

void runI2cMap(const I2cMapPlan& plan, I2cOutcome& result) {
    json registers = json::array();
    std::size_t nameWidth = 0;
    for (const regmap::Register& reg : plan.map.registers) {
        nameWidth = std::max(nameWidth, reg.name.size());
    }
    for (const regmap::Register& reg : plan.map.registers) {
        const std::string reset =
            reg.resetMask == 0 ? std::string("?") : valueText(reg, reg.resetValue);
        result.text += addressText(plan.map, reg.address) + " " + padded(reg.name, nameWidth) +
                       " " + padded(std::to_string(reg.width) + " bits", 7) + " " +
                       padded(std::string(regmap::accessName(reg.access, reg.writeKind)), 16) +
                       " reset " + reset + "\n";
        json fields = json::array();
        const std::size_t fieldWidth = widest(reg.fields);
        for (const regmap::Field& field : reg.fields) {
            json values = json::array();
            std::string names;
            for (const regmap::EnumeratedValue& named : field.values) {
                values.push_back({{"name", named.name}, {"value", named.value}});
                names += " " + named.name + "=" + numberText(named.value);
            }
            fields.push_back(
                {{"name", field.name},
                 {"msb", field.msb()},
                 {"lsb", field.lsb},
                 {"access", std::string(regmap::accessName(field.access, field.writeKind))},
                 {"reset", field.reset},
                 {"enums", values}});
            result.text +=
                "  " + padded(bitsText(field), 6) + " " + padded(field.name, fieldWidth) + " " +
                padded(std::string(regmap::accessName(field.access, field.writeKind)), 16) +
                " reset " + numberText(field.reset) + names + "\n";
        }
        registers.push_back(
            {{"name", reg.name},
             {"address", addressText(plan.map, reg.address)},
             {"width", reg.width},
             {"access", std::string(regmap::accessName(reg.access, reg.writeKind))},
             {"reset", reg.resetMask == 0 ? json(nullptr) : json(valueText(reg, reg.resetValue))},
             {"fields", fields}});
    }
    result.object["byte_order"] =
        plan.map.byteOrder == regmap::ByteOrder::MostSignificantFirst ? "big" : "little";
    result.object["registers"] = registers;
}

void addI2cDumpNames(const I2cRequest& request, const I2cMapPlan& plan, I2cOutcome& result) {
    if (!result.object.contains("registers")) {
        return;
    }
    const json& values = result.object["registers"];
    json names = json::object();
    std::string lines;
    for (const regmap::Register& reg : plan.map.registers) {
        if (reg.address < request.first || reg.lastAddress() > request.last) {
            continue;
        }
        std::vector<std::uint8_t> bytes;
        bool readable = true;
        for (std::uint32_t a = reg.address; a <= reg.lastAddress(); ++a) {
            const std::string key = board::hexDigits(a, request.reg16 ? 4 : 2);
            if (!values.contains(key) || values[key].is_null()) {
                readable = false;
                break;
            }
            bytes.push_back(static_cast<std::uint8_t>(
                parseHexNumber(values[key].get<std::string>()).value_or(0)));
        }
        names[board::hexDigits(reg.address, request.reg16 ? 4 : 2)] = reg.name;
        lines += board::hexDigits(reg.address, request.reg16 ? 4 : 2) + "  " + reg.name + " = " +
                 (readable            ? valueText(reg, plan.map.decode(reg, bytes))
                  : reg.readChanges() ? std::string("-- (not read: a read changes it)")
                                      : std::string("XX")) +
                 "\n";
    }
    result.object["names"] = names;
    if (!lines.empty()) {
        result.text += "\n" + lines;
    }
}

}  // namespace tools
