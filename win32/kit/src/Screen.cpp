#include "win32kit/Screen.h"

#include <map>
#include <memory>

#include "win32kit/Scale.h"

namespace win32kit {

namespace {

// The scale of the system's DPI as it is now; one per DPI met, so a font handed out earlier
// stays valid.
Scale& systemScale() {
    static std::map<int, std::unique_ptr<Scale>> scales;
    const int d = systemDpi();
    auto& scale = scales[d];
    if (!scale) {
        scale = std::make_unique<Scale>(d);
    }
    return *scale;
}

}  // namespace

int dpi() {
    return systemDpi();
}

int pixels(int twips) {
    return MulDiv(twips, dpi(), 1440);
}

int twips(int pixels) {
    return MulDiv(pixels, 1440, dpi());
}

HFONT messageFont() {
    return systemScale().messageFont();
}

HFONT boldFont() {
    return systemScale().boldFont();
}

HFONT titleFont() {
    return systemScale().titleFont();
}

HFONT messageFontOfSize(int pixels, bool bold) {
    return systemScale().fontOfSize(pixels, bold);
}

HFONT fittingFont(const std::wstring& text, const RECT& area, bool bold) {
    return systemScale().fittingFont(text, area, bold);
}

}  // namespace win32kit
