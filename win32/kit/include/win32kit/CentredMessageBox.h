// A message box centred on the window that raised it, not on the screen: Windows centres a box
// on its owner only sometimes (Wine on the screen), so a hook moves it as it becomes active.
#pragma once

#include <windows.h>

#include <string>

namespace win32kit {

// MessageBoxW over `owner` (centred on it, kept on the owner's screen); centred on the screen
// when the owner is null or hidden. Returns MessageBoxW's answer, 0 when the box cannot be made.
int centredMessageBox(HWND owner, const std::wstring& text, const std::wstring& title, UINT type);

}  // namespace win32kit
