// The screen's measures at the system's DPI, for what belongs to no window yet: twips to pixels,
// and the fonts. A window measures with its own Scale (ControlBinder::scale()), which follows it
// to a screen of another DPI.
#pragma once

#include <windows.h>

#include <string>

namespace win32kit {

// The system's logical dots per inch (96 unless the user scaled the screen), read each time.
int dpi();
// The pixel length of a twips length at the system's DPI (1440 twips to the inch).
int pixels(int twips);
// The twips length of a pixel length at the system's DPI.
int twips(int pixels);
// The system's message font, its bold form, and the large bold font of a title band, at the
// system's DPI; kept for as long as the program runs at that DPI.
HFONT messageFont();
HFONT boldFont();
HFONT titleFont();
// The message font (bold or not) at `pixels` height, at the system's DPI.
HFONT messageFontOfSize(int pixels, bool bold);
// The largest message font, down to 8 pixels at 96 DPI, in which `text` wrapped at the width of
// `area` fits its height; the smallest one when none does.
HFONT fittingFont(const std::wstring& text, const RECT& area, bool bold);

}  // namespace win32kit
