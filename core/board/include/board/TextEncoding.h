// The 8-bit text of files from the original platform, written in its Windows code page
// (Windows-1252), beside the UTF-8 that the program keeps every text in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace board {

// Whether the bytes are well-formed UTF-8 (no overlong form, no surrogate, nothing above
// U+10FFFF). Never fails.
bool isUtf8(std::string_view bytes);

// Windows-1252 bytes as UTF-8. The five bytes the code page leaves unassigned (81, 8D, 8F, 90,
// 9D) become the control characters of the same number, so every byte reads back. Never fails.
std::string utf8FromWindows1252(std::string_view bytes);

// The text of a file: its bytes when they are UTF-8, else the bytes read as Windows-1252.
std::string utf8FromFileBytes(std::string_view bytes);

// The Windows-1252 bytes of a UTF-8 text; nothing when a character has no byte there or the
// text is not UTF-8.
std::optional<std::string> windows1252FromUtf8(std::string_view text);

}  // namespace board
