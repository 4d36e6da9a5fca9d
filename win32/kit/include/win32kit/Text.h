// Text between the models (UTF-8) and the Win32 API (UTF-16).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace win32kit {

// The UTF-16 form of a UTF-8 text; bytes that are not UTF-8 become U+FFFD.
std::wstring wide(std::string_view text);
// The UTF-8 form of a UTF-16 text.
std::string narrow(std::wstring_view text);
// The whole text of a window (a control's caption or contents); empty when it has none.
std::wstring windowText(HWND window);

}  // namespace win32kit
