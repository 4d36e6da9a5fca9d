// A single-line text box as last painted on a widget, so that a binder sets again only what the
// model changed: whether it takes input, its colours, its text.
#pragma once

#include <cstddef>
#include <cstdint>

#include "form/Controls.h"

namespace form {

struct PaintedTextBox {
    struct Changes {
        bool readOnly = false;  // the box is read-only now (Locked, or an operation runs)
        bool readOnlyChanged = false;
        bool coloursChanged = false;
        bool textChanged = false;  // the widget's text may differ from the box's
    };

    // What differs from the last paint, remembered as painted now. Never fails.
    Changes update(const TextBox& box, bool busy) {
        Changes c;
        c.readOnly = box.Locked || busy;
        c.readOnlyChanged = readOnly_ != static_cast<int>(c.readOnly);
        readOnly_ = c.readOnly;
        c.coloursChanged = back_ != box.BackColor || fore_ != box.ForeColor;
        back_ = box.BackColor;
        fore_ = box.ForeColor;
        c.textChanged = generation_ != box.textGeneration() || size_ != box.Text().size();
        generation_ = box.textGeneration();
        size_ = box.Text().size();
        return c;
    }

  private:
    std::uint64_t generation_ = ~std::uint64_t{0};
    std::size_t size_ = 0;
    int readOnly_ = -1;
    int back_ = -1, fore_ = -1;
};

}  // namespace form
