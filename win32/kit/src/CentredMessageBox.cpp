#include "win32kit/CentredMessageBox.h"

#include <algorithm>

namespace win32kit {

namespace {

// The box being placed on this thread: its owner and the hook that waits for it. A box raised
// while another is open (from a handler its loop ran) nests: each keeps the outer one's state.
struct Placing {
    HWND owner = nullptr;
    HHOOK hook = nullptr;
};
thread_local Placing placing;

// Centres `box` on `owner`, inside the work area of the owner's screen.
void centreOn(HWND box, HWND owner) {
    RECT outer{}, r{};
    GetWindowRect(owner, &outer);
    GetWindowRect(box, &r);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    const LONG width = r.right - r.left;
    const LONG height = r.bottom - r.top;
    LONG x = (outer.left + outer.right - width) / 2;
    LONG y = (outer.top + outer.bottom - height) / 2;
    x = std::max(work.left, std::min(x, work.right - width));
    y = std::max(work.top, std::min(y, work.bottom - height));
    SetWindowPos(box, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The first window of this thread owned by the box's owner to become active is the box: it is
// moved once, and the hook goes.
LRESULT CALLBACK watch(int code, WPARAM wParam, LPARAM lParam) {
    const HHOOK hook = placing.hook;
    const auto box = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_ACTIVATE && hook != nullptr && GetWindow(box, GW_OWNER) == placing.owner) {
        centreOn(box, placing.owner);
        UnhookWindowsHookEx(hook);
        placing.hook = nullptr;
    }
    return CallNextHookEx(hook, code, wParam, lParam);
}

}  // namespace

int centredMessageBox(HWND owner, const std::wstring& text, const std::wstring& title, UINT type) {
    if (owner != nullptr && !IsWindowVisible(owner)) {
        owner = nullptr;
    }
    const Placing outer = placing;
    if (owner != nullptr) {
        placing.owner = owner;
        placing.hook = SetWindowsHookExW(WH_CBT, &watch, nullptr, GetCurrentThreadId());
    }
    const int answer = MessageBoxW(owner, text.c_str(), title.c_str(), type);
    if (owner != nullptr && placing.hook != nullptr) {
        UnhookWindowsHookEx(placing.hook);
    }
    placing = outer;
    return answer;
}

}  // namespace win32kit
