#include "MapRules.h"

#include <algorithm>

#include "Numbers.h"

namespace regmap {

namespace {

std::string bits(const Field& field) {
    return field.width == 1
               ? "bit " + std::to_string(field.lsb)
               : "bits " + std::to_string(field.msb()) + ".." + std::to_string(field.lsb);
}

std::string quoted(const std::string& name) {
    return "\"" + name + "\"";
}

}  // namespace

void checkRegister(Register& reg) {
    std::uint32_t reset = reg.resetValue;
    for (Field& field : reg.fields) {
        const std::string where = "field " + quoted(field.name);
        if (field.width == 0) {
            throw Refusal(field.line, where, "is 0 bits wide");
        }
        if (field.lsb >= reg.width || field.width > reg.width - field.lsb) {
            throw Refusal(field.line, where,
                          bits(field) + " lie beyond the " + std::to_string(reg.width) +
                              " bits of register " + quoted(reg.name));
        }
        for (const EnumeratedValue& named : field.values) {
            if (named.value > field.maxValue()) {
                throw Refusal(named.line, "enumeratedValue " + quoted(named.name),
                              "value " + std::to_string(named.value) + " does not fit in the " +
                                  std::to_string(field.width) + " bits of field " +
                                  quoted(field.name));
            }
        }
        field.reset = field.extract(reset);
    }
    std::vector<const Field*> order;
    for (const Field& field : reg.fields) {
        order.push_back(&field);
    }
    std::sort(order.begin(), order.end(),
              [](const Field* a, const Field* b) { return a->lsb < b->lsb; });
    for (std::size_t i = 1; i < order.size(); ++i) {
        const Field& low = *order[i - 1];
        const Field& high = *order[i];
        if (high.lsb <= low.msb()) {
            const Field& later = high.line >= low.line ? high : low;
            const Field& earlier = &later == &high ? low : high;
            throw Refusal(later.line, "field " + quoted(later.name),
                          "bit " + std::to_string(high.lsb) + " is also in field " +
                              quoted(earlier.name) + " (" + bits(earlier) + ") of register " +
                              quoted(reg.name));
        }
    }
    // Fields on distinct bits are at most 32, so this stays cheap.
    for (std::size_t i = 0; i < reg.fields.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (reg.fields[i].name == reg.fields[j].name) {
                throw Refusal(
                    reg.fields[i].line, "field " + quoted(reg.fields[i].name),
                    "the name is also that of another field of register " + quoted(reg.name));
            }
        }
    }
}

void checkRules(RegisterMap& map) {
    for (Register& reg : map.registers) {
        if (reg.width != 8 && reg.width != 16 && reg.width != 32) {
            throw Refusal(reg.line, "register " + quoted(reg.name),
                          "size " + std::to_string(reg.width) + " is not 8, 16 or 32 bits");
        }
        if (reg.address > 0xFFFF || reg.lastAddress() > 0xFFFF) {
            throw Refusal(reg.line, "register " + quoted(reg.name),
                          "address " + hexNumber(reg.address) +
                              " is beyond the two register-address bytes (0xFFFF)");
        }
        checkRegister(reg);
    }
    const auto byAddress = [](const Register& a, const Register& b) {
        return a.address < b.address;
    };
    // Most files list their registers in address order already.
    if (!std::is_sorted(map.registers.begin(), map.registers.end(), byAddress)) {
        std::stable_sort(map.registers.begin(), map.registers.end(), byAddress);
    }
    for (std::size_t i = 1; i < map.registers.size(); ++i) {
        const Register& low = map.registers[i - 1];
        const Register& high = map.registers[i];
        if (high.address <= low.lastAddress()) {
            const Register& later = high.line >= low.line ? high : low;
            const Register& earlier = &later == &high ? low : high;
            const std::string problem = low.address == high.address
                                            ? "address " + hexNumber(high.address) +
                                                  " is also register " + quoted(earlier.name)
                                            : "address " + hexNumber(high.address) +
                                                  " lies inside register " + quoted(low.name) +
                                                  " (" + hexNumber(low.address) + ".." +
                                                  hexNumber(low.lastAddress()) + ")";
            throw Refusal(later.line, "register " + quoted(later.name),
                          problem + (earlier.line > 0 ? ", line " + std::to_string(earlier.line)
                                                      : std::string()));
        }
    }
    std::vector<const Register*> byName;
    for (const Register& reg : map.registers) {
        byName.push_back(&reg);
    }
    std::sort(byName.begin(), byName.end(), [](const Register* a, const Register* b) {
        return a->name < b->name || (a->name == b->name && a->line < b->line);
    });
    for (std::size_t i = 1; i < byName.size(); ++i) {
        if (byName[i]->name == byName[i - 1]->name) {
            throw Refusal(byName[i]->line, "register " + quoted(byName[i]->name),
                          "the name is also that of the register at line " +
                              std::to_string(byName[i - 1]->line));
        }
    }
}

}  // namespace regmap
