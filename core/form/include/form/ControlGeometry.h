// Design geometry of a window's controls as plain data, so a view can place its widgets from a
// table the window model publishes instead of repeating numbers of its own.
#pragma once

#include <string_view>

namespace form {

// Design positions are in twips: 1440 to the inch, 15 to a pixel at 96 dots per inch.
inline constexpr int kTwipsPerPixel = 15;

// Rendering hints that the behaviour does not read.
enum GeometryStyle : unsigned {
    StyleNone = 0,
    StyleCentred = 1u << 0,     // text box or label centres its text
    StyleBold = 1u << 1,        // bold font
    StyleMultiLine = 1u << 2,   // multi-line text box with both scroll bars
    StyleCircle = 1u << 3,      // lamp drawn as a solid circle (otherwise a solid rectangle)
    StyleRightAlign = 1u << 4,  // label text aligned to the right
    StyleTitleBand = 1u << 5,   // picture: sunken dark-blue band; label: its large bold title
};

// One control's place: `container` is the member name of the frame or panel it lies in (""
// for the window's client area) with its own index (-1 for a single one), and the rectangle is
// relative to that container's client area.
struct ControlGeometry {
    std::string_view container;
    int containerIndex = -1;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    unsigned style = StyleNone;
};

}  // namespace form
