// A window's scale: its DPI, lengths in twips and in 96-DPI pixels at that DPI, and the fonts its
// controls are drawn with, made for that DPI and freed with it. A window keeps one and replaces
// it when Windows moves the window to a screen of another DPI (WM_DPICHANGED).
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <utility>

namespace win32kit {

// Sent to a top-level window that moved to a screen of another DPI (older SDK headers lack it).
inline constexpr UINT kDpiChanged = 0x02E0;

class Scale {
  public:
    // A scale for `dpi` logical dots per inch; a value below 1 is taken as 96.
    explicit Scale(int dpi);
    ~Scale();
    Scale(const Scale&) = delete;
    Scale& operator=(const Scale&) = delete;

    int dpi() const { return dpi_; }
    // The pixel length of a twips length (1440 twips to the inch).
    int pixels(int twips) const { return MulDiv(twips, dpi_, 1440); }
    // The twips length of a pixel length.
    int twips(int pixels) const { return MulDiv(pixels, 1440, dpi_); }
    // The pixel length of a length measured in pixels at 96 DPI.
    int scaled(int pixelsAt96) const { return MulDiv(pixelsAt96, dpi_, 96); }

    // The system's message font at this DPI, its bold form, and the large bold font of a title
    // band; made on first use, freed with the scale.
    HFONT messageFont() { return fontOfSize(messageHeight(), false); }
    HFONT boldFont() { return fontOfSize(messageHeight(), true); }
    HFONT titleFont();
    // The message font (bold or not) `pixels` high.
    HFONT fontOfSize(int pixels, bool bold);
    // The largest message font, down to 8 pixels at 96 DPI, in which `text` wrapped at the width
    // of `area` fits its height; the smallest one when none does.
    HFONT fittingFont(const std::wstring& text, const RECT& area, bool bold);
    // The message font's height in pixels at this DPI.
    int messageHeight() const;

  private:
    int dpi_;
    std::map<std::pair<int, bool>, HFONT> fonts_;
};

// The DPI Windows gives the program when it starts (its primary screen's at log-on).
int systemDpi();
// The DPI of the screen `window` is on; the system's where Windows does not tell it per window.
int windowDpi(HWND window);
// Gives `window` (whose style it reads) a client area of `width` x `height` pixels at `dpi`,
// menu bar and borders measured at that DPI; it keeps its place. Nothing for a null window.
void setClientSize(HWND window, int width, int height, int dpi);
// The window rectangle, measured at `dpi`, around a client rectangle; `client` is changed in
// place like AdjustWindowRectEx does.
void adjustWindowRect(RECT& client, DWORD style, bool menu, DWORD exStyle, int dpi);

}  // namespace win32kit
