// The rules every register map keeps, whichever format it came from, and the refusal every
// reader throws. Inside this folder only.
#pragma once

#include <stdexcept>
#include <string>

#include "regmap/RegisterMap.h"

namespace regmap {

// Carries "LINE: ELEMENT: problem" up to the reader's entry, which adds the file; never leaves
// this folder.
struct Refusal : std::runtime_error {
    Refusal(long line, const std::string& element, const std::string& problem)
        : std::runtime_error(element + ": " + problem), line(line) {}
    long line;
};

// The rules each register keeps on its own: fields within its bits, on no bit twice, with
// distinct names and enumerated values that fit; fills each field's reset value.
void checkRegister(Register& reg);
// The rules every map keeps; refuses the first break. Sorts the registers by address and fills
// each field's reset value from its register's.
void checkRules(RegisterMap& map);

}  // namespace regmap
