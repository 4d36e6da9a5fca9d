#include "win32kit/Surface.h"

#include <algorithm>

#include "win32kit/Guard.h"

namespace win32kit {

namespace {

constexpr const wchar_t* kTopClass = L"VelmorixWindow";
constexpr const wchar_t* kPanelClass = L"VelmorixPanel";

LRESULT CALLBACK route(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* target = reinterpret_cast<MessageTarget*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    LRESULT result = 0;
    bool handled = false;
    // A handler that throws leaves its message to the default handling; the program goes on.
    if (target != nullptr &&
        guarded("window message",
                [&] { handled = target->onMessage(window, message, wParam, lParam, result); }) &&
        handled) {
        return result;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void registerClasses() {
    static const bool done = [] {
        WNDCLASSEXW c{};
        c.cbSize = sizeof c;
        c.style = CS_DBLCLKS;
        c.lpfnWndProc = route;
        c.hInstance = GetModuleHandleW(nullptr);
        c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        c.hIcon = LoadIconW(c.hInstance, MAKEINTRESOURCEW(1));
        c.lpszClassName = kTopClass;
        RegisterClassExW(&c);
        c.hIcon = nullptr;
        c.lpszClassName = kPanelClass;
        RegisterClassExW(&c);
        return true;
    }();
    (void)done;
}

}  // namespace

HWND createTopWindow(const std::wstring& title, DWORD style, int width, int height, HMENU menu,
                     MessageTarget* target) {
    registerClasses();
    RECT r{0, 0, width, height};
    AdjustWindowRectEx(&r, style, menu != nullptr, WS_EX_CONTROLPARENT);
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + std::max(0L, (work.right - work.left - w) / 2);
    const int y = work.top + std::max(0L, (work.bottom - work.top - h) / 2);
    return CreateWindowExW(WS_EX_CONTROLPARENT, kTopClass, title.c_str(), style | WS_CLIPCHILDREN,
                           x, y, w, h, nullptr, menu, GetModuleHandleW(nullptr), target);
}

HWND createPanel(HWND parent, const RECT& place, DWORD extraStyle, MessageTarget* target) {
    registerClasses();
    return CreateWindowExW(WS_EX_CONTROLPARENT, kPanelClass, L"",
                           WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | extraStyle, place.left,
                           place.top, place.right - place.left, place.bottom - place.top, parent,
                           nullptr, GetModuleHandleW(nullptr), target);
}

void setTarget(HWND window, MessageTarget* target) {
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(target));
}

bool isKitWindow(HWND window) {
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    return lstrcmpW(name, kTopClass) == 0 || lstrcmpW(name, kPanelClass) == 0;
}

void fitOnScreen(HWND window) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
        return;
    }
    const RECT& work = monitor.rcWork;
    RECT r{};
    GetWindowRect(window, &r);
    const LONG width = std::min(r.right - r.left, work.right - work.left);
    const LONG height = std::min(r.bottom - r.top, work.bottom - work.top);
    const LONG x = std::clamp(r.left, work.left, work.right - width);
    const LONG y = std::clamp(r.top, work.top, work.bottom - height);
    SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace win32kit
