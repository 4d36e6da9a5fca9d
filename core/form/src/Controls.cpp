#include "form/Controls.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

namespace form {

Rgb paletteRgb(PaletteIndex index) {
    static constexpr std::array<Rgb, 16> kPalette{{{0, 0, 0},
                                                   {0, 0, 128},
                                                   {0, 128, 0},
                                                   {0, 128, 128},
                                                   {128, 0, 0},
                                                   {128, 0, 128},
                                                   {128, 128, 0},
                                                   {192, 192, 192},
                                                   {128, 128, 128},
                                                   {0, 0, 255},
                                                   {0, 255, 0},
                                                   {0, 255, 255},
                                                   {255, 0, 0},
                                                   {255, 0, 255},
                                                   {255, 255, 0},
                                                   {255, 255, 255}}};
    if (index < 0 || index >= static_cast<int>(kPalette.size())) {
        return kPalette[0];
    }
    return kPalette[static_cast<std::size_t>(index)];
}

namespace {

std::size_t linesIn(std::string_view text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

std::size_t characterCount(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

void TextBox::setText(std::string text) {
    text_ = std::move(text);
    characters_ = characterCount(text_);
    // Clearing a long text (the log's "Clear Log") must give its memory back.
    if (text_.capacity() > 2 * text_.size() + 4096) {
        text_.shrink_to_fit();
    }
    ++generation_;
    if (SelStart > characters_) {
        SelStart = characters_;
    }
    if (budgeted_) {
        forgetPieces();
        noticeSize_ = 0;
        droppedBytes_ = 0;
        droppedLines_ = 0;
        if (!text_.empty()) {
            pieces_.push_back({text_.size(), linesIn(text_)});
            heldBytes_ = text_.size();
            heldLines_ = pieces_.back().lines;
        }
    }
}

void TextBox::appendText(std::string_view more) {
    characters_ += characterCount(more);
    if (!budgeted_) {
        text_.append(more);
        return;
    }
    const std::size_t lines = linesIn(more);
    const bool overBytes = budget_.maxBytes > 0 && heldBytes_ + more.size() > budget_.maxBytes;
    const bool overLines = budget_.maxLines > 0 && heldLines_ + lines > budget_.maxLines;
    if (overBytes || overLines) {
        dropOldest(more.size(), lines);
    }
    const std::size_t needed = text_.size() + more.size();
    if (needed > text_.capacity() && budget_.maxBytes > 0) {
        // Grow geometrically, but never past what the budget can hold.
        const std::size_t ceiling = budget_.notice.size() + budget_.maxBytes;
        text_.reserve(std::max(needed, std::min(2 * text_.capacity(), ceiling)));
    }
    text_.append(more);
    pieces_.push_back({more.size(), lines});
    heldBytes_ += more.size();
    heldLines_ += lines;
}

void TextBox::keepNewest(TextBudget budget) {
    budget_ = std::move(budget);
    if (!budgeted_) {
        budgeted_ = true;
        // What the box holds already counts as one append.
        forgetPieces();
        if (!text_.empty()) {
            pieces_.push_back({text_.size(), linesIn(text_)});
            heldBytes_ = text_.size();
            heldLines_ = pieces_.back().lines;
        }
    }
}

void TextBox::dropOldest(std::size_t bytes, std::size_t lines) {
    // Dropping to seven eighths of the budget, not just enough for this append, means the
    // text is moved once per eighth of the budget appended rather than at every append.
    auto target = [](std::size_t limit) { return limit == 0 ? SIZE_MAX : limit - limit / 8; };
    const std::size_t byteTarget = target(budget_.maxBytes);
    const std::size_t lineTarget = target(budget_.maxLines);
    std::size_t dropBytes = 0;
    std::size_t dropLines = 0;
    while (!pieces_.empty() &&
           (heldBytes_ + bytes > byteTarget || heldLines_ + lines > lineTarget)) {
        const Piece piece = pieces_.front();
        pieces_.pop_front();
        heldBytes_ -= piece.bytes;
        heldLines_ -= piece.lines;
        dropBytes += piece.bytes;
        dropLines += piece.lines;
    }
    if (dropBytes == 0) {
        return;
    }
    if (text_[noticeSize_ + dropBytes - 1] != '\n') {
        // The kept text would start inside a line: views cannot mirror that line by line.
        ++generation_;
    }
    characters_ -= characterCount(std::string_view(text_).substr(noticeSize_, dropBytes));
    if (noticeSize_ == 0) {
        characters_ += characterCount(budget_.notice);
        text_.replace(0, dropBytes, budget_.notice);
        noticeSize_ = budget_.notice.size();
    } else {
        text_.erase(noticeSize_, dropBytes);
    }
    droppedBytes_ += dropBytes;
    droppedLines_ += dropLines;
    if (SelStart > characters_) {
        SelStart = characters_;
    }
}

void TextBox::forgetPieces() {
    std::deque<Piece>().swap(pieces_);
    heldBytes_ = 0;
    heldLines_ = 0;
}

}  // namespace form
