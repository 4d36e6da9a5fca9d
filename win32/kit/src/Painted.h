// Visible and enabled as last painted on a control, so that an unchanged state is not set again.
#pragma once

#include <windows.h>

#include "form/Controls.h"

namespace win32kit {

struct Painted {
    // -1: never painted.
    int visible = -1;
    int enabled = -1;

    // Shows or hides `w` and enables it as `c` and `enabled` say, where that changed.
    void paint(HWND w, const form::Control& c, bool enabled) {
        if (visible != int{c.Visible}) {
            visible = c.Visible;
            ShowWindow(w, c.Visible ? SW_SHOWNA : SW_HIDE);
        }
        if (this->enabled != int{enabled}) {
            this->enabled = enabled;
            EnableWindow(w, enabled ? TRUE : FALSE);
        }
    }
};

}  // namespace win32kit
