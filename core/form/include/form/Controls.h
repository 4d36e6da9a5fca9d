// Qt-free control primitives: each holds only what the window logic reads or writes. Views
// render them; tests inspect them.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "form/TextBudget.h"

namespace form {

// Index into the classic 16-colour palette.
using PaletteIndex = int;

struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

// The palette colour of an index 0..15; other indices give black.
Rgb paletteRgb(PaletteIndex index);

// Characters (code points) in UTF-8 text: every byte but the continuation bytes. Text is UTF-8
// throughout; a caret or a length a user sees counts characters, not bytes.
std::size_t characterCount(std::string_view utf8);

// Properties every control has.
struct Control {
    bool Visible = true;
    bool Enabled = true;
    std::string ToolTipText;
};

// A text box. Appends grow the text in place, so a long log never gets copied; a view tells an
// append from a replacement by comparing textGeneration() with what it rendered last. A box
// given a budget (the log) keeps only its newest appends: it drops the oldest whole appends in
// batches, so appending stays amortised constant time, and puts the budget's notice line on top.
class TextBox : public Control {
  public:
    const std::string& Text() const { return text_; }
    // Length of Text() in characters, kept as the text changes.
    std::size_t characters() const { return characters_; }
    // Replaces the whole text (a budgeted box keeps a replacement whole, as one append) and
    // frees the memory a longer text held.
    void setText(std::string text);
    // Adds to the end of the text without copying what is there; a budgeted box first drops its
    // oldest appends when this one would go over the budget, but always keeps the newest.
    void appendText(std::string_view more);
    // Changes whenever the text is replaced rather than appended to.
    std::uint64_t textGeneration() const { return generation_; }

    // Keeps the text to the budget from the next append on; a zero limit means no limit.
    void keepNewest(TextBudget budget);
    bool budgeted() const { return budgeted_; }
    // Bytes and lines ('\n') dropped from the front since the text was last replaced; views
    // mirror the drop with these. Dropped text always ends a line: a drop that would split one
    // counts as a replacement.
    std::uint64_t droppedBytes() const { return droppedBytes_; }
    std::uint64_t droppedLines() const { return droppedLines_; }
    // Length of the notice line (with its line break) at the front of Text(); 0 before a drop.
    std::size_t noticeSize() const { return noticeSize_; }
    // Caret position in characters, never bytes; SelStart = characters() moves to the end. A
    // view converts to its toolkit's unit.
    std::size_t SelStart = 0;
    PaletteIndex BackColor = 15;
    PaletteIndex ForeColor = 0;
    bool Locked = false;

  private:
    // One append of a budgeted box.
    struct Piece {
        std::size_t bytes;
        std::size_t lines;
    };
    // Drops the oldest appends until `bytes` and `lines` more fit with room to spare.
    void dropOldest(std::size_t bytes, std::size_t lines);
    void forgetPieces();

    std::string text_;
    std::size_t characters_ = 0;
    std::uint64_t generation_ = 0;
    bool budgeted_ = false;
    TextBudget budget_;
    std::deque<Piece> pieces_;
    std::size_t heldBytes_ = 0;
    std::size_t heldLines_ = 0;
    std::size_t noticeSize_ = 0;
    std::uint64_t droppedBytes_ = 0;
    std::uint64_t droppedLines_ = 0;
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
