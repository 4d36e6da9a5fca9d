#include "win32kit/Screen.h"

#include <cstdlib>

#include <map>
#include <utility>

namespace win32kit {

namespace {

// The smallest font a caption may shrink to, at 96 DPI. At 9 pixels "Transfer Count" and
// "Device Register Address" wrap into one line more than their boxes hold in wide system fonts,
// and the last line is cut; at 8 they fit.
constexpr int kMinCaptionPixels = 8;

// The title band's text height at 96 DPI.
constexpr int kTitlePixels = 16;

LOGFONTW messageLogFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) == 0) {
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(LOGFONTW), &metrics.lfMessageFont);
    }
    return metrics.lfMessageFont;
}

HFONT makeFont(bool bold, int height) {
    LOGFONTW font = messageLogFont();
    if (bold) {
        font.lfWeight = FW_BOLD;
    }
    if (height != 0) {
        font.lfHeight = height;
    }
    return CreateFontIndirectW(&font);
}

}  // namespace

int dpi() {
    static const int value = [] {
        HDC screen = GetDC(nullptr);
        const int d = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        return d > 0 ? d : 96;
    }();
    return value;
}

int pixels(int twips) {
    return MulDiv(twips, dpi(), 1440);
}

int twips(int pixels) {
    return MulDiv(pixels, 1440, dpi());
}

HFONT messageFont() {
    static const HFONT font = makeFont(false, 0);
    return font;
}

HFONT boldFont() {
    static const HFONT font = makeFont(true, 0);
    return font;
}

HFONT titleFont() {
    static const HFONT font = makeFont(true, -MulDiv(kTitlePixels, dpi(), 96));
    return font;
}

HFONT messageFontOfSize(int pixels, bool bold) {
    static std::map<std::pair<int, bool>, HFONT> fonts;
    auto found = fonts.find({pixels, bold});
    if (found != fonts.end()) {
        return found->second;
    }
    return fonts[{pixels, bold}] = makeFont(bold, -pixels);
}

HFONT fittingFont(const std::wstring& text, const RECT& area, bool bold) {
    const int full = std::abs(messageLogFont().lfHeight);
    const int smallest = MulDiv(kMinCaptionPixels, dpi(), 96);
    HDC dc = GetDC(nullptr);
    HFONT chosen = nullptr;
    for (int size = full; size >= smallest; --size) {
        chosen = messageFontOfSize(size, bold);
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

}  // namespace win32kit
