// Qt-free control primitives: each holds only what the window logic reads or writes. Views
// render them; tests inspect them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace form {

// Index into the classic 16-colour palette.
using PaletteIndex = int;

struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

// The palette colour of an index 0..15; other indices give black.
Rgb paletteRgb(PaletteIndex index);

// Properties every control has.
struct Control {
    bool Visible = true;
    bool Enabled = true;
    std::string ToolTipText;
};

// A text box. Appends grow the text in place, so a long log never gets copied; a view tells an
// append from a replacement by comparing textGeneration() with what it rendered last.
class TextBox : public Control {
  public:
    const std::string& Text() const { return text_; }
    // Replaces the whole text.
    void setText(std::string text);
    // Adds to the end of the text without copying what is there.
    void appendText(std::string_view more);
    // Changes whenever the text is replaced rather than appended to.
    std::uint64_t textGeneration() const { return generation_; }
    // Caret position in characters; SelStart = length moves to the end.
    std::size_t SelStart = 0;
    PaletteIndex BackColor = 15;
    PaletteIndex ForeColor = 0;
    bool Locked = false;

  private:
    std::string text_;
    std::uint64_t generation_ = 0;
};

struct Label : Control {
    std::string Caption;
    PaletteIndex BackColor = 7;
    PaletteIndex ForeColor = 0;
};

struct Button : Control {
    std::string Caption;
};

struct CheckBox : Control {
    std::string Caption;
    // 0 unticked, 1 ticked.
    int Value = 0;
};

// A small filled shape whose fill colour shows a result.
struct Lamp : Control {
    PaletteIndex FillColor = 0;
};

struct Frame : Control {
    std::string Caption;
};

struct MenuItem : Control {
    std::string Caption;
    bool Checked = false;
};

}  // namespace form
