// The windows the kit makes itself: top-level windows and the plain panels that hold controls.
// Each sends its messages to a MessageTarget (a view, or the control binder for a panel).
#pragma once

#include <windows.h>

#include <string>

namespace win32kit {

class MessageTarget {
  public:
    virtual ~MessageTarget() = default;
    // Handles one message of `window`; false leaves it to the default handling.
    virtual bool onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                           LRESULT& result) = 0;
};

// A hidden top-level window, centred on the screen, whose client area is `width` x `height`
// pixels (below the menu bar when `menu` is given). Null when Windows refuses to make it.
HWND createTopWindow(const std::wstring& title, DWORD style, int width, int height, HMENU menu,
                     MessageTarget* target);
// A visible child panel of `parent` that holds controls and tabs between them.
HWND createPanel(HWND parent, const RECT& place, DWORD extraStyle, MessageTarget* target);
// Sends the window's later messages to `target`.
void setTarget(HWND window, MessageTarget* target);
// True for a window the kit made (a message loop runs its dialog keys).
bool isKitWindow(HWND window);
// Shrinks `window` to the work area of the screen it is on and moves it inside it.
void fitOnScreen(HWND window);

}  // namespace win32kit
