#include "form/Controls.h"

#include <array>
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

void TextBox::setText(std::string text) {
    text_ = std::move(text);
    ++generation_;
    if (SelStart > text_.size()) {
        SelStart = text_.size();
    }
}

void TextBox::appendText(std::string_view more) {
    text_.append(more);
}

}  // namespace form
