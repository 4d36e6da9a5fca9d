// The text grids of velmorix-i2c, in the layout of i2cdetect and i2cdump.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tools {

// What detect learnt of one 7-bit address.
enum class ProbeState { OutOfRange, Skipped, Absent, Present };

// The detect grid: 8-bit write addresses (16 rows of 8) or, with sevenBit, 7-bit addresses
// (8 rows of 16); "--" for no answer, the address for an answer, blank where nothing was probed.
// Never fails.
std::string detectGrid(const std::array<ProbeState, 128>& states, bool sevenBit);

// The dump grid of registers first to last, 16 a line: hex, then the bytes as characters (00 and
// FF as '.', other unprintable bytes as '?'); an unreadable register shows XX and 'X', one left
// unread (notRead, when given) -- and '-'. `values` holds one entry per register from first on.
// Never fails.
std::string dumpGrid(std::uint32_t first, std::uint32_t last,
                     const std::vector<std::optional<std::uint8_t>>& values, bool reg16,
                     const std::vector<bool>& notRead = {});

}  // namespace tools
