// The masked read-modify-write of one register, as pure logic: which fields change to what, the
// bytes to write given the bytes read, and which bits a read-back can check. Front ends do the
// exchanges themselves (velmorix-i2c and the "Register Map" window).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "regmap/Field.h"
#include "regmap/Register.h"
#include "regmap/RegisterMap.h"

namespace regmap {

// One field (or a whole register, as its wholeField) set to a value.
struct FieldAssignment {
    Field field;
    std::uint32_t value = 0;
};

class MaskedWrite {
  public:
    // An empty register: add fields with assign, then plan.
    explicit MaskedWrite(const Register& reg);

    // "NAME.FIELD=VALUE" (or "NAME=VALUE" for a whole register) against the map. Returns the
    // register it names, or nullptr with `error` saying why: an unknown name, a read-only
    // register or field, a value that is neither a number nor an enumerated name, or one too
    // wide for its field.
    static const Register* parse(const RegisterMap& map, std::string_view text,
                                 FieldAssignment& assignment, std::string& error);
    // Checks that the value may be written to the field of this register; "" when it may,
    // otherwise the reason.
    static std::string refusal(const Register& reg, const Field& field, std::uint32_t value);

    // Adds a field to set; a later value for the same bits replaces an earlier one. Returns the
    // reason when the field may not take the value (nothing added then), else "".
    std::string assign(const Field& field, std::uint32_t value);
    const Register& target() const { return reg_; }
    const std::vector<FieldAssignment>& assignments() const { return assignments_; }

    // True when the register must be read first (it is not write-only).
    bool readsFirst() const;
    // The value to write given the value read: the named fields' bits as given, every other
    // write-1-to-clear field zero (so that no flag is cleared by accident), the bits of
    // write-only fields not named at their reset value, everything else as read.
    std::uint32_t plan(std::uint32_t current) const;
    // The same on bytes: the bytes read (first from the lowest address) to the bytes to write.
    std::vector<std::uint8_t> planBytes(const RegisterMap& map,
                                        const std::vector<std::uint8_t>& current) const;
    // The bits a read-back can check: those of named read-write fields.
    std::uint32_t verifyMask() const;
    // True when the read-back shows what was written in every bit verifyMask names.
    bool verified(std::uint32_t written, std::uint32_t readBack) const;

  private:
    const Register& reg_;
    std::vector<FieldAssignment> assignments_;
};

}  // namespace regmap
