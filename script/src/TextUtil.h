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

}  // namespace script::detail
