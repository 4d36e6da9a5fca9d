// Small text helpers shared by the script loader and the recorder.
#pragma once

#include <string>
#include <string_view>

#include "form/Host.h"

namespace script::detail {

// ASCII upper case; other bytes unchanged.
std::string upperAscii(std::string_view text);

// The date as mm-dd-yyyy.
std::string dateText(const form::LocalDateTime& t);

// The time of day as hh:mm:ss (24-hour clock).
std::string timeText(const form::LocalDateTime& t);

// The line terminator of log entries and of the files the program writes.
inline constexpr const char* kCrLf = "\r\n";
// The title of the program's message boxes.
inline constexpr const char* kProgramTitle = "Velmorix_I2C_Comm";

// The file name of a path without its folder (after the last "/" or "\\").
std::string fileTitleOf(std::string_view path);

// The number a text box shows: a leading decimal number after blanks ("12abc" -> 12), 0 when
// the text does not start with one.
double numericValue(std::string_view text);

// A count as trimmed decimal text: "3", or "2.5" for a count that is not whole.
std::string countText(double value);

}  // namespace script::detail
