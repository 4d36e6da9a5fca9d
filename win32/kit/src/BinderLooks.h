// What the files of the Win32 control binder share: the palette's default colours, the messages
// it posts to itself, and the small window calls every control family makes.
#pragma once

#include <windows.h>

#include <string>

#include "form/Controls.h"
#include "win32kit/Scale.h"

namespace win32kit {

inline constexpr form::PaletteIndex kDefaultLabelBack = 7;
inline constexpr form::PaletteIndex kDefaultBoxBack = 15;
inline constexpr form::PaletteIndex kDefaultFore = 0;
// The title band's colours.
inline constexpr form::PaletteIndex kTitleBack = 1;
inline constexpr form::PaletteIndex kTitleFore = 15;
// Height of a heading row's words at 96 DPI.
inline constexpr int kHeadingPixels = 17;
// The subclass of the text boxes, whose messages the binder sees first.
inline constexpr UINT_PTR kEditSubclass = 1;

// A palette colour; a negative index is the system's button-text colour.
COLORREF colour(form::PaletteIndex index);

// Which part of a control its caption has.
enum class CaptionArea { Whole, Button, CheckBox };

// Sets the caption and shrinks the font, a pixel at a time, until the wrapped caption fits the
// control (the design rectangles were drawn for a narrower font than most systems have).
void setCaption(HWND w, const std::string& caption, CaptionArea kind, bool bold, Scale& scale);
void setFont(HWND w, HFONT font);
// Moves and sizes a child window to `r`, in its parent's pixels.
void place(HWND w, const RECT& r);
// The rectangle of a child window in its parent's pixels.
RECT childRect(HWND w);

}  // namespace win32kit
