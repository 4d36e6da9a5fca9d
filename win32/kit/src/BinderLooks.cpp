#include "BinderLooks.h"

#include "win32kit/Screen.h"
#include "win32kit/Text.h"

namespace win32kit {

COLORREF colour(form::PaletteIndex index) {
    if (index < 0) {
        return GetSysColor(COLOR_BTNTEXT);
    }
    const form::Rgb rgb = form::paletteRgb(index);
    return RGB(rgb.r, rgb.g, rgb.b);
}

void setCaption(HWND w, const std::string& caption, CaptionArea kind, bool bold, Scale& scale) {
    const std::wstring text = wide(caption);
    SetWindowTextW(w, text.c_str());
    RECT area{};
    GetClientRect(w, &area);
    if (kind == CaptionArea::Button) {
        InflateRect(&area, -scale.scaled(3), -scale.scaled(3));
    } else if (kind == CaptionArea::CheckBox) {
        // The system measures the check box at its own DPI.
        area.left +=
            MulDiv(GetSystemMetrics(SM_CXMENUCHECK), scale.dpi(), systemDpi()) + scale.scaled(4);
    }
    SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(scale.fittingFont(text, area, bold)),
                 TRUE);
}

void setFont(HWND w, HFONT font) {
    SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void place(HWND w, const RECT& r) {
    SetWindowPos(w, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT childRect(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace win32kit
