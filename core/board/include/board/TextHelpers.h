// Text pieces every window writes the same way: the line terminator, the program's message box
// title, ASCII upper case, the date and time stamps of the log and the script files, and a file's
// title.
#pragma once

#include <string>
#include <string_view>

#include "form/Host.h"

namespace board {

// The line terminator of log entries and of the files the program writes.
inline constexpr const char* kCrLf = "\r\n";
// The title of the program's message boxes.
inline constexpr const char* kProgramTitle = "Velmorix_I2C_Comm";

// ASCII upper case; every other byte unchanged, whatever the process locale, so a box shows the
// same text on every machine. Never fails.
std::string upperAscii(std::string_view text);

// The date as mm-dd-yyyy (a year wider than four digits shows in full). Never fails.
std::string dateText(const form::LocalDateTime& t);

// The time of day as hh:mm:ss (24-hour clock). Never fails.
std::string timeText(const form::LocalDateTime& t);

// The file name of a path without its folder, as the system names files: after the last "/"
// (on Windows also after a backslash or a drive's ":"). The window's captions and velmorix-script
// name a file alike through it. Never fails.
std::string fileTitle(std::string_view path);

}  // namespace board
