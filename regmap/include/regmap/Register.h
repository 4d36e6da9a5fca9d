// A register of a register map: 8, 16 or 32 bits at one address (a wider register is that many
// consecutive byte registers), its reset value and mask, access and fields.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "regmap/Access.h"
#include "regmap/Field.h"

namespace regmap {

struct Register {
    std::string name;
    std::string description;
    std::uint32_t address = 0;
    unsigned width = 8;
    std::uint32_t resetValue = 0;
    // The bits whose reset value is known.
    std::uint32_t resetMask = 0xFFFFFFFFu;
    Access access = Access::ReadWrite;
    // The write kind and read action of the register, which its fields take when they name none.
    WriteKind writeKind = WriteKind::Normal;
    ReadAction readAction = ReadAction::None;
    std::vector<Field> fields;
    // Line of the map file that defined it (0 when made in code).
    int line = 0;

    unsigned byteCount() const { return width / 8; }
    std::uint32_t lastAddress() const { return address + byteCount() - 1; }
    // Every bit of the register.
    std::uint32_t valueMask() const;
    // The field of that name; nullptr when there is none.
    const Field* field(std::string_view fieldName) const;
    // The whole register as one field, for registers written as a whole.
    Field wholeField() const;
    // True when reading the register changes the chip: a read action on it or on a readable
    // field (a flag a read clears, a FIFO a read pops).
    bool readChanges() const;
    // True when a value read differs from the reset value in a bit whose reset is known.
    bool differsFromReset(std::uint32_t value) const;
};

}  // namespace regmap
