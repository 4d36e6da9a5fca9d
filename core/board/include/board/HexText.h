// Hex text conversion, field splitting and the hex keystroke filter shared by every window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace board {

// The text read as a hex number up to the first non-hex character, as a 16-bit two's-complement
// value ("" -> 0, "ff" -> 255, "FFFF" -> -1, "1G" -> 1). A value wider than 16 bits gives its
// low 16 bits; callers that check a range use HexValChecked instead.
std::int16_t HexVal(std::string_view text);

// Like HexVal, but empty when the text has more than four significant hex digits, so that a
// range check can treat it as out of range.
std::optional<std::int16_t> HexValChecked(std::string_view text);

// A byte as two upper-case hex digits: "0A", "FF".
std::string HexByteText(std::uint8_t value);

// A number in upper-case hex without leading zeros, as log messages show after "&H"
// (a negative 32-bit value shows as eight digits).
std::string HexText(std::uint32_t value);

// A number in upper-case hex, zero-padded to at least `width` digits: (0x1F, 4) -> "001F",
// (0x1F, 0) -> "1F".
std::string hexDigits(std::uint32_t value, unsigned width);

// "0x" and the number in upper-case hex, zero-padded to at least `width` digits, as Python and
// C show numbers: (0x1F, 2) -> "0x1F", (5, 2) -> "0x05".
std::string prefixedHex(std::uint64_t value, unsigned width);

// True for 0-9, a-f and A-F.
bool isHexDigit(char c);
// True for one or more characters, every one a hex digit.
bool isHexText(std::string_view text);

// A number in decimal with one blank before a number that is not negative, "-" before a
// negative one: 0 -> " 0", -3 -> "-3".
std::string DecimalWithSign(long value);

// Splits text at a one-character separator into fields[0..fields.size()-1] and returns the index
// of the last field stored (0 when none). The text comes back with the separator appended.
int SplitFields(std::string& text, std::vector<std::string>& fields, char separator);

// Filters a keystroke for a hex entry box: digits and backspace (8) pass, a..f become A..F (the
// caller's key changes too), A..F pass, anything else gives 0 (discard the keystroke).
int HexKeyFilter(int& key);

}  // namespace board
