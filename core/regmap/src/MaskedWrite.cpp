#include "regmap/MaskedWrite.h"

#include "Numbers.h"

namespace regmap {

MaskedWrite::MaskedWrite(const Register& reg) : reg_(reg) {}

std::string MaskedWrite::refusal(const Register& reg, const Field& field, std::uint32_t value) {
    const bool whole = field.name == reg.name && field.width == reg.width && field.lsb == 0;
    const std::string what = whole ? "register " + reg.name : reg.name + "." + field.name;
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
    if (dot == std::string_view::npos) {
        assignment.field = reg->wholeField();
    } else {
        const std::string_view fieldName = name.substr(dot + 1);
        const Field* field = reg->field(fieldName);
        if (field == nullptr) {
            error =
                "register " + reg->name + " has no field named \"" + std::string(fieldName) + "\"";
            return nullptr;
        }
        assignment.field = *field;
    }
    const auto value = assignment.field.parseValue(valueText);
    if (!value) {
        std::string names;
        for (const EnumeratedValue& named : assignment.field.values) {
            names += (names.empty() ? "" : ", ") + named.name;
        }
        error = reg->name + (dot == std::string_view::npos ? "" : "." + assignment.field.name) +
                ": \"" + std::string(valueText) + "\" is not a number" +
                (names.empty() ? "" : " nor one of " + names);
        return nullptr;
    }
    assignment.value = *value;
    error = refusal(*reg, assignment.field, assignment.value);
    return error.empty() ? reg : nullptr;
}

std::string MaskedWrite::assign(const Field& field, std::uint32_t value) {
    std::string why = refusal(reg_, field, value);
    if (!why.empty()) {
        return why;
    }
    std::erase_if(assignments_, [&](const FieldAssignment& earlier) {
        return (earlier.field.mask() & field.mask()) != 0;
    });
    assignments_.push_back({field, value});
    return "";
}

bool MaskedWrite::readsFirst() const {
    return readable(reg_.access);
}

std::uint32_t MaskedWrite::plan(std::uint32_t current) const {
    std::uint32_t value = readsFirst() ? current : reg_.resetValue;
    if (reg_.access == Access::WriteOneToClear && reg_.fields.empty()) {
        value = 0;
    }
    for (const Field& field : reg_.fields) {
        if (field.access == Access::WriteOneToClear) {
            value &= ~field.mask();
        } else if (field.access == Access::WriteOnly) {
            value = (value & ~field.mask()) | ((field.reset << field.lsb) & field.mask());
        }
    }
    for (const FieldAssignment& set : assignments_) {
        value = (value & ~set.field.mask()) | ((set.value << set.field.lsb) & set.field.mask());
    }
    return value & reg_.valueMask();
}

std::vector<std::uint8_t> MaskedWrite::planBytes(const RegisterMap& map,
                                                 const std::vector<std::uint8_t>& current) const {
    return map.encode(reg_, plan(map.decode(reg_, current)));
}

std::uint32_t MaskedWrite::verifyMask() const {
    std::uint32_t mask = 0;
    if (!readable(reg_.access) || reg_.access == Access::WriteOneToClear) {
        return 0;
    }
    for (const FieldAssignment& set : assignments_) {
        if (set.field.access == Access::ReadWrite) {
            mask |= set.field.mask();
        }
    }
    return mask;
}

bool MaskedWrite::verified(std::uint32_t written, std::uint32_t readBack) const {
    return ((written ^ readBack) & verifyMask()) == 0;
}

}  // namespace regmap
