// The screen's measures: twips to pixels at its DPI, and the fonts every window is drawn with.
#pragma once

#include <windows.h>

#include <string>

namespace win32kit {

// The screen's logical dots per inch (96 unless the user scaled it).
int dpi();
// The pixel length of a twips length at the screen's DPI (1440 twips to the inch).
int pixels(int twips);
// The twips length of a pixel length at the screen's DPI.
int twips(int pixels);
// The system's message font, its bold form, and the large bold font of a title band; made once,
// never freed.
HFONT messageFont();
HFONT boldFont();
HFONT titleFont();
// The message font (bold or not) at `pixels` height; made once per size, never freed.
HFONT messageFontOfSize(int pixels, bool bold);
// The largest message font, down to 8 pixels at 96 DPI, in which `text` wrapped at the width of
// `area` fits its height; the smallest one when none does.
HFONT fittingFont(const std::wstring& text, const RECT& area, bool bold);

}  // namespace win32kit
