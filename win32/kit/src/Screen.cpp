#include "win32kit/Screen.h"

namespace win32kit {

namespace {

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

}  // namespace win32kit
