// Numbers as register-map files and users write them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace regmap {

// A number as a map file writes it: decimal, 0x hex, SVD's #binary, and the SystemVerilog forms
// of 1685-2014 ('h1F, 8'h1F, 'b101, 'd10, 'o17); blanks around it and '_' between digits are
// ignored. Nothing for any other text or a value wider than 32 bits.
std::optional<std::uint32_t> parseMapNumber(std::string_view text);
// A number as a user types it: decimal, 0x hex or 0b binary; nothing for any other text or a
// value wider than 32 bits.
std::optional<std::uint32_t> parseUserNumber(std::string_view text);

// "0x" and the value in upper-case hex without leading zeros: 0x1F.
std::string hexNumber(std::uint32_t value);

}  // namespace regmap
