// Small text helpers shared by the script loader, the recorder and the script window.
#pragma once

#include <string>
#include <string_view>

namespace script::detail {

// The number a text box shows: a leading decimal number after blanks ("12abc" -> 12), 0 when
// the text does not start with one.
double numericValue(std::string_view text);

// A count as trimmed decimal text: "3", or "2.5" for a count that is not whole.
std::string countText(double value);

}  // namespace script::detail
