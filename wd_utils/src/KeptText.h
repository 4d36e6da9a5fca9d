// Texts handed out through the C ABI that must stay valid for the rest of the run.
#pragma once

#include <string>

namespace wdu {

// The text, kept once per distinct text and never freed (callers may hold it for the whole
// run); thread-safe.
const char* keptText(const std::string& text);

}  // namespace wdu
