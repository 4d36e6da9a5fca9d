// A caption as last painted on a widget, and the binder's scale generation it was fitted at (a
// binder that never rescales leaves it 0), so that an unchanged one is not set again.
#pragma once

#include <string>

namespace form {

struct PaintedCaption {
    std::string text;
    bool set = false;
    int generation = 0;

    // True, and remembers it, when `caption` or the scale differs from what was painted last.
    bool changed(const std::string& caption, int scaleGeneration = 0) {
        if (set && text == caption && generation == scaleGeneration) {
            return false;
        }
        text = caption;
        set = true;
        generation = scaleGeneration;
        return true;
    }
};

}  // namespace form
