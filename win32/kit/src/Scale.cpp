#include "win32kit/Scale.h"

#include <cstdlib>

namespace win32kit {

namespace {

// The smallest font a caption may shrink to, at 96 DPI. At 9 pixels "Transfer Count" and
// "Device Register Address" wrap into one line more than their boxes hold in wide system fonts,
// and the last line is cut; at 8 they fit.
constexpr int kMinCaptionPixels = 8;

// The title band's text height at 96 DPI.
constexpr int kTitlePixels = 16;

// The calls that tell a DPI per window or per screen are looked up at run time: the program also
// runs on Windows versions without them.
template <class Function>
Function user32(const char* name) {
    HMODULE user = GetModuleHandleW(L"user32.dll");
    // Through void(*)(), which any function pointer converts from and to without a warning.
    return user == nullptr ? nullptr
                           : reinterpret_cast<Function>(
                                 reinterpret_cast<void (*)()>(GetProcAddress(user, name)));
}

using DpiForWindow = UINT(WINAPI*)(HWND);
using MetricsForDpi = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

// The message font as the system describes it for `dpi`.
LOGFONTW messageLogFont(int dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    static const auto forDpi = user32<MetricsForDpi>("SystemParametersInfoForDpi");
    if (forDpi != nullptr &&
        forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, static_cast<UINT>(dpi))) {
        return metrics.lfMessageFont;
    }
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) == 0) {
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(LOGFONTW), &metrics.lfMessageFont);
    }
    // Measured at the system's DPI.
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi, systemDpi());
    return metrics.lfMessageFont;
}

}  // namespace

Scale::Scale(int dpi) : dpi_(dpi > 0 ? dpi : 96) {}

Scale::~Scale() {
    for (auto& [size, font] : fonts_) {
        DeleteObject(font);
    }
}

int Scale::messageHeight() const {
    return std::abs(messageLogFont(dpi_).lfHeight);
}

HFONT Scale::titleFont() {
    return fontOfSize(scaled(kTitlePixels), true);
}

HFONT Scale::fontOfSize(int pixels, bool bold) {
    auto found = fonts_.find({pixels, bold});
    if (found != fonts_.end()) {
        return found->second;
    }
    LOGFONTW font = messageLogFont(dpi_);
    font.lfHeight = -pixels;
    if (bold) {
        font.lfWeight = FW_BOLD;
    }
    return fonts_[{pixels, bold}] = CreateFontIndirectW(&font);
}

HFONT Scale::fittingFont(const std::wstring& text, const RECT& area, bool bold) {
    const int full = messageHeight();
    const int smallest = scaled(kMinCaptionPixels);
    HDC dc = GetDC(nullptr);
    HFONT chosen = nullptr;
    for (int size = full; size >= smallest || chosen == nullptr; --size) {
        chosen = fontOfSize(size, bold);
        HGDIOBJ old = SelectObject(dc, chosen);
        RECT need{0, 0, area.right - area.left, 0};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &need,
                  DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, old);
        if (need.right - need.left <= area.right - area.left &&
            need.bottom - need.top <= area.bottom - area.top) {
            break;
        }
    }
    ReleaseDC(nullptr, dc);
    return chosen;
}

int systemDpi() {
    HDC screen = GetDC(nullptr);
    const int d = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return d > 0 ? d : 96;
}

int windowDpi(HWND window) {
    static const auto forWindow = user32<DpiForWindow>("GetDpiForWindow");
    const UINT d = forWindow != nullptr && window != nullptr ? forWindow(window) : 0;
    return d > 0 ? static_cast<int>(d) : systemDpi();
}

void adjustWindowRect(RECT& client, DWORD style, bool menu, DWORD exStyle, int dpi) {
    static const auto forDpi = user32<AdjustForDpi>("AdjustWindowRectExForDpi");
    if (forDpi == nullptr ||
        !forDpi(&client, style, menu ? TRUE : FALSE, exStyle, static_cast<UINT>(dpi))) {
        AdjustWindowRectEx(&client, style, menu ? TRUE : FALSE, exStyle);
    }
}

void setClientSize(HWND window, int width, int height, int dpi) {
    if (window == nullptr) {
        return;
    }
    RECT outer{0, 0, width, height};
    adjustWindowRect(outer, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)),
                     GetMenu(window) != nullptr,
                     static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)), dpi);
    SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace win32kit
