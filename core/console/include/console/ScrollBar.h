// A scroll bar of the main window; Form_Resize places it and sets its range.
#pragma once

#include "form/Controls.h"

namespace console {

struct ScrollBar : form::Control {
    // Position in twips in the window's client area.
    int Left = 0, Top = 0, Width = 0, Height = 0;
    int Min = 0;
    int Max = 0;
    int Value = 0;
    int LargeChange = 1;
    int SmallChange = 1;
};

}  // namespace console
