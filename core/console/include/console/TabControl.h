// A tab control with its page captions and the page shown.
#pragma once

#include <array>
#include <string>

#include "form/Controls.h"

namespace console {

struct TabControl : form::Control {
    // Position and size in twips, relative to the container's client area.
    int Left = 0, Top = 0, Width = 0, Height = 0;
    // Height of the strip that holds the tab headers.
    int TabHeight = 400;
    // The page shown, 0 or 1.
    int Tab = 0;
    std::array<std::string, 2> TabCaption;
};

}  // namespace console
