#include "regmap/MaskedWrite.h"

#include "Numbers.h"

namespace regmap {

namespace {

std::string partName(const Register& reg, const Field& field) {
    const bool whole = field.name == reg.name && field.width == reg.width && field.lsb == 0;
    return whole ? "register " + reg.name : reg.name + "." + field.name;
}

bool anyWriteChanges(WriteKind kind) {
    return kind == WriteKind::Clear || kind == WriteKind::Set || kind == WriteKind::Modify;
}

}  // namespace

MaskedWrite::MaskedWrite(const Register& reg) : reg_(reg) {}

std::string MaskedWrite::refusal(const Register& reg, const Field& field, std::uint32_t value) {
    const std::string what = partName(reg, field);
    if (!writable(reg.access)) {
        return "register " + reg.name + " is read-only";
    }
    if (!writable(field.access)) {
        return what + " is read-only";
    }
    if (value > field.maxValue()) {
        return what + ": value " + std::to_string(value) + " (" + hexNumber(value) +
               ") does not fit in " + std::to_string(field.width) + " bit" +
               (field.width == 1 ? "" : "s");
    }
    return "";
}

const Register* MaskedWrite::parse(const RegisterMap& map, std::string_view text,
                                   FieldAssignment& assignment, std::string& error) {
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        error = "\"" + std::string(text) + "\" is not NAME.FIELD=VALUE";
        return nullptr;
    }
    const std::string_view name = text.substr(0, equals);
    const std::string_view valueText = text.substr(equals + 1);
    // A register's own name may hold dots (a peripheral's prefix): the whole name first.
    const Register* reg = map.named(name);
    std::size_t dot = std::string_view::npos;
    if (reg == nullptr) {
        dot = name.rfind('.');
        reg = map.named(name.substr(0, dot));
    }
    if (reg == nullptr) {
        error = "no register named \"" + std::string(name.substr(0, dot)) + "\" in the map";
        return nullptr;
    }
    MaskedWrite probe(*reg);
    error = probe.assign(dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1),
                         valueText);
    if (!error.empty()) {
        return nullptr;
    }
    assignment = probe.assignments_.front();
    return reg;
}

std::string MaskedWrite::assign(const Field& field, std::uint32_t value) {
    std::string why = refusal(reg_, field, value);
    if (why.empty()) {
        assignments_.push_back({field, value});
    }
    return why;
}

std::string MaskedWrite::fieldNamed(std::string_view fieldName, Field& field) const {
    if (const Field* named = fieldName.empty() ? nullptr : reg_.field(fieldName)) {
        field = *named;
    } else if (fieldName.empty() || fieldName == reg_.name) {
        field = reg_.wholeField();
    } else {
        return "register " + reg_.name + " has no field named \"" + std::string(fieldName) + "\"";
    }
    return "";
}

std::string MaskedWrite::assign(std::string_view fieldName, std::uint32_t value) {
    Field field;
    std::string why = fieldNamed(fieldName, field);
    return why.empty() ? assign(field, value) : why;
}

std::string MaskedWrite::assign(std::string_view fieldName, std::string_view valueText) {
    Field field;
    if (std::string why = fieldNamed(fieldName, field); !why.empty()) {
        return why;
    }
    const auto value = field.parseValue(valueText);
    if (!value) {
        std::string names;
        for (const EnumeratedValue& named : field.values) {
            names += (names.empty() ? "" : ", ") + named.name;
        }
        const bool whole = fieldName.empty() || field.name == reg_.name;
        return reg_.name + (whole ? "" : "." + field.name) + ": \"" + std::string(valueText) +
               "\" is not a number" + (names.empty() ? "" : " nor one of " + names);
    }
    return assign(field, *value);
}

std::uint32_t MaskedWrite::namedMask() const {
    std::uint32_t mask = 0;
    for (const FieldAssignment& set : assignments_) {
        mask |= set.field.mask();
    }
    return mask & reg_.valueMask();
}

std::vector<Field> MaskedWrite::parts() const {
    return reg_.fields.empty() ? std::vector<Field>{reg_.wholeField()} : reg_.fields;
}

std::string MaskedWrite::readEffects() const {
    std::string reading;
    for (const Field& part : parts()) {
        if (part.readAction != ReadAction::None && readable(part.access)) {
            reading += (reading.empty() ? "" : ", ") + partName(reg_, part) + " (" +
                       std::string(readActionName(part.readAction)) + ")";
        }
    }
    if (reg_.readAction != ReadAction::None && reading.empty()) {
        reading =
            "register " + reg_.name + " (" + std::string(readActionName(reg_.readAction)) + ")";
    }
    return reading;
}

bool MaskedWrite::readsFirst() const {
    // A read that changes the chip is never made: blocked() then asks for every field.
    return readable(reg_.access) && (reg_.valueMask() & ~namedMask()) != 0 && readEffects().empty();
}

std::string MaskedWrite::blocked() const {
    const std::uint32_t named = namedMask();
    for (const Field& part : parts()) {
        if ((part.mask() & ~named) != 0 && anyWriteChanges(part.writeKind) &&
            writable(part.access)) {
            return partName(reg_, part) + " is " + std::string(writeKindName(part.writeKind)) +
                   ": every write of the register changes it, so name it in the write";
        }
    }
    bool everyField = true;
    for (const Field& part : parts()) {
        everyField = everyField && (part.mask() & ~named) == 0;
    }
    if (const std::string reading = readEffects();
        !reading.empty() && !everyField && readable(reg_.access)) {
        return "reading register " + reg_.name + " first would change " + reading +
               ": name every field of it so that it is written without a read";
    }
    return "";
}

std::uint32_t MaskedWrite::plan(std::uint32_t current) const {
    std::uint32_t value = readsFirst() ? current : reg_.resetValue;
    const std::uint32_t named = namedMask();
    std::uint32_t fieldBits = 0;
    const auto put = [&value](std::uint32_t mask, std::uint32_t bits) {
        value = (value & ~mask) | (bits & mask);
    };
    for (const Field& part : parts()) {
        fieldBits |= part.mask();
        const std::uint32_t unnamed = part.mask() & ~named;
        if (unnamed == 0 || !writable(part.access)) {
            continue;
        }
        if (const auto neutral = neutralBit(part.writeKind)) {
            put(unnamed, *neutral ? 0xFFFFFFFFu : 0u);
        } else if (!readable(part.access)) {
            put(unnamed, part.reset << part.lsb);
        }
    }
    // Bits outside every field follow the register's own write kind.
    if (const auto neutral = neutralBit(reg_.writeKind)) {
        put(~fieldBits & ~named, *neutral ? 0xFFFFFFFFu : 0u);
    }
    for (const FieldAssignment& set : assignments_) {
        put(set.field.mask(), set.value << set.field.lsb);
    }
    return value & reg_.valueMask();
}

std::vector<std::uint8_t> MaskedWrite::planBytes(const RegisterMap& map,
                                                 const std::vector<std::uint8_t>& current) const {
    return map.encode(reg_, plan(map.decode(reg_, current)));
}

std::uint32_t MaskedWrite::verifyMask() const {
    if (!readable(reg_.access) || reg_.readAction != ReadAction::None) {
        return 0;
    }
    const std::uint32_t named = namedMask();
    std::uint32_t mask = 0;
    for (const Field& part : parts()) {
        if (part.readAction != ReadAction::None) {
            return 0;  // the read-back itself would change the chip
        }
        if (part.access == Access::ReadWrite && part.writeKind == WriteKind::Normal) {
            mask |= part.mask() & named;
        }
    }
    return mask;
}

bool MaskedWrite::verified(std::uint32_t written, std::uint32_t readBack) const {
    return ((written ^ readBack) & verifyMask()) == 0;
}

std::vector<std::string> MaskedWrite::notes() const {
    std::vector<std::string> lines;
    const std::uint32_t named = namedMask();
    for (const Field& part : parts()) {
        const std::string name = partName(reg_, part);
        const bool isNamed = (part.mask() & ~named) == 0;
        if (!isNamed && writable(part.access)) {
            if (const auto neutral = neutralBit(part.writeKind)) {
                lines.push_back(name + " written as " + (*neutral ? "1s" : "0s") + " (" +
                                std::string(writeKindName(part.writeKind)) + "), so it stays");
            } else if (!readable(part.access)) {
                lines.push_back(name + " written at its reset value " + hexNumber(part.reset) +
                                " (" + std::string(accessName(part.access)) +
                                ": it cannot be read)");
            }
        }
        if (isNamed && (part.access == Access::WriteOnce || part.access == Access::ReadWriteOnce)) {
            lines.push_back(name + " is " + std::string(accessName(part.access)) +
                            ": the chip may take only the first write after a reset");
        }
    }
    return lines;
}

MaskedWriteOutcome runMaskedWrite(const RegisterMap& map, const MaskedWrite& write, RegisterIo& io,
                                  bool verify) {
    MaskedWriteOutcome outcome;
    const Register& reg = write.target();
    outcome.refusal = write.blocked();
    if (!outcome.refusal.empty()) {
        outcome.stage = MaskedWriteOutcome::Stage::Refused;
        return outcome;
    }
    std::vector<std::uint8_t> bytes;
    if (write.readsFirst()) {
        if ((outcome.status = io.read(reg, bytes)) != 0) {
            outcome.stage = MaskedWriteOutcome::Stage::Read;
            return outcome;
        }
        outcome.before = map.decode(reg, bytes);
    }
    outcome.written = write.plan(outcome.before.value_or(0));
    if ((outcome.status = io.write(reg, map.encode(reg, outcome.written))) != 0) {
        outcome.stage = MaskedWriteOutcome::Stage::Write;
        return outcome;
    }
    if (verify && write.verifyMask() != 0) {
        if ((outcome.status = io.read(reg, bytes)) != 0) {
            outcome.stage = MaskedWriteOutcome::Stage::ReadBack;
            return outcome;
        }
        outcome.after = map.decode(reg, bytes);
        outcome.verified = write.verified(outcome.written, *outcome.after);
    }
    return outcome;
}

}  // namespace regmap
