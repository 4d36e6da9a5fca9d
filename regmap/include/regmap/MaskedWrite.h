// The masked read-modify-write of one register: which bits change to what, the bytes to write
// given the bytes read, and which bits a read-back can check. Only the named fields change on the
// chip: every other field is written so that the chip leaves it as it is (its neutral value for
// the write-1 and write-0 kinds, its reset value when it cannot be read), and a write that cannot
// promise that (a field that any write clears or sets, a read that would clear what it reads) is
// refused. runMaskedWrite does the exchanges over a front end's RegisterIo.
#pragma once

#include <cstdint>
#include <optional>
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

    // Adds a field to set. Assignments apply in order, each to its own bits, so a whole value
    // followed by a field changes that field's bits of the value. Returns the reason when the
    // field may not take the value (nothing added then), else "".
    std::string assign(const Field& field, std::uint32_t value);
    // The field of that name (the register's own name, or "", for the whole register) set to a
    // number; the reason when there is no such field or it may not take the value.
    std::string assign(std::string_view fieldName, std::uint32_t value);
    // The same with the value as typed: a number or one of the field's enumerated names.
    std::string assign(std::string_view fieldName, std::string_view valueText);
    const Register& target() const { return reg_; }
    const std::vector<FieldAssignment>& assignments() const { return assignments_; }

    // Why the write cannot be done without changing something nobody named ("" when it can): a
    // field that any write clears, sets or modifies, or a read-first that would clear or change
    // what it reads.
    std::string blocked() const;
    // True when the register is read first: it can be read, some of its bits are not named,
    // and the read changes nothing on the chip.
    bool readsFirst() const;
    // The value to write given the value read (ignored when readsFirst is false).
    std::uint32_t plan(std::uint32_t current) const;
    // The same on bytes: the bytes read (first from the lowest address) to the bytes to write.
    std::vector<std::uint8_t> planBytes(const RegisterMap& map,
                                        const std::vector<std::uint8_t>& current) const;
    // The bits a read-back can check: named bits of plain read-write fields that a read leaves
    // alone. 0 when no read-back should be made.
    std::uint32_t verifyMask() const;
    // True when the read-back shows what was written in every bit verifyMask names.
    bool verified(std::uint32_t written, std::uint32_t readBack) const;
    // What the plan should tell the user besides the bytes: fields written at their neutral or
    // reset value, and write-once fields the chip may take only once.
    std::vector<std::string> notes() const;

  private:
    // The field of that name, or the whole register for "" or its own name; the reason when the
    // register has no such field.
    std::string fieldNamed(std::string_view fieldName, Field& field) const;
    // The bits named by any assignment.
    std::uint32_t namedMask() const;
    // The fields (or the register) a read changes, as the refusal names them; "" when none.
    std::string readEffects() const;
    // The register's fields, or the whole register as one field when it has none.
    std::vector<Field> parts() const;

    const Register& reg_;
    std::vector<FieldAssignment> assignments_;
};

// The bus as a masked write needs it; a front end's own failure codes pass through untouched
// (0 = success).
class RegisterIo {
  public:
    virtual ~RegisterIo() = default;
    // Reads the register's bytes (first from the lowest address); 0 or the front end's code.
    virtual int read(const Register& reg, std::vector<std::uint8_t>& bytes) = 0;
    // Writes the register's bytes; 0 or the front end's code.
    virtual int write(const Register& reg, const std::vector<std::uint8_t>& bytes) = 0;
};

// What a masked write did.
struct MaskedWriteOutcome {
    enum class Stage { Done, Refused, Read, Write, ReadBack };
    Stage stage = Stage::Done;            // Done, or where it stopped
    int status = 0;                       // the RegisterIo code of the failed exchange
    std::string refusal;                  // why it was refused (Stage::Refused)
    std::optional<std::uint32_t> before;  // the value read first, when it was
    std::uint32_t written = 0;
    std::optional<std::uint32_t> after;  // the read-back, when one was made
    bool verified = true;                // false when the read-back differs in a checked bit
    bool ok() const { return stage == Stage::Done; }
};

// Reads (when needed), writes and reads back (when `verify` and the write has bits to check),
// stopping at the first failed exchange. Nothing is sent when the write is blocked.
MaskedWriteOutcome runMaskedWrite(const RegisterMap& map, const MaskedWrite& write, RegisterIo& io,
                                  bool verify);

}  // namespace regmap
