// A borderless panel that holds other controls; the scrolling layout moves and sizes it.
#pragma once

#include "form/Controls.h"

namespace console {

struct PictureBox : form::Control {
    // Position and size in twips, relative to the container's client area.
    int Left = 0, Top = 0, Width = 0, Height = 0;
};

}  // namespace console
