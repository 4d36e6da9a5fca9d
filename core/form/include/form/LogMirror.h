// What a log widget holds of a text box, in the box's terms, so that a paint only mirrors what
// changed: a long log changes at its two ends, the box dropping its oldest lines and appending
// new ones, and rewriting the whole text each paint would cost more than the exchange it logs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "form/Controls.h"

namespace form {

class LogMirror {
  public:
    // How to bring the widget up to the box.
    struct Change {
        // Replace the widget's whole text with the box's.
        bool whole = false;
        // The widget's first line is the notice (it skips it when it drops lines).
        bool hadNotice = false;
        // Lines to drop from the widget's front, below the notice.
        std::uint64_t dropLines = 0;
        // The notice appeared: put the box's first noticeSize() bytes on top.
        bool addNotice = false;
        // Append the box's text from this byte on (its size: nothing to append).
        std::size_t appendFrom = 0;
    };

    // What changed in `box` since the last call, which it then takes as painted; nullopt when
    // nothing did. A widget that `mirrorsDrops` drops the lines the box dropped itself; for any
    // other, a drop replaces the whole text. A replaced text, or a drop of text the widget never
    // got, always does.
    std::optional<Change> update(const TextBox& box, bool mirrorsDrops);

  private:
    // The widget holds the box's text from `dropped_` bytes (counted from the last replacement)
    // up to `end_`, behind the notice line when `notice_`.
    std::uint64_t generation_ = ~std::uint64_t{0};
    std::uint64_t dropped_ = 0;
    std::uint64_t droppedLines_ = 0;
    std::uint64_t end_ = 0;
    bool notice_ = false;
};

}  // namespace form
