#include <gtest/gtest.h>

#include "form/Controls.h"
#include "form/Window.h"

namespace {

TEST(TextBox_Append, KeepsGenerationAndGrowsText) {
    form::TextBox box;
    box.setText("ab");
    auto generation = box.textGeneration();
    box.appendText("cd");
    box.appendText("");
    EXPECT_EQ(box.Text(), "abcd");
    EXPECT_EQ(box.textGeneration(), generation);
    box.setText("x");
    EXPECT_NE(box.textGeneration(), generation);
}

TEST(TextBox_SetText, ClampsCaretToNewLengthInCharacters) {
    struct Case {
        const char* text;
        std::size_t characters;
    };
    const Case cases[] = {{"hi", 2}, {"h\u00e9", 2}, {"\u65e5\u672c\u8a9e", 3}, {"", 0}};
    for (const auto& c : cases) {
        form::TextBox box;
        box.setText("hello world");
        box.SelStart = 11;
        box.setText(c.text);
        EXPECT_EQ(box.SelStart, c.characters) << c.text;
        EXPECT_EQ(box.characters(), c.characters) << c.text;
    }
}

TEST(Palette_Rgb, LampIndicesAndOutOfRange) {
    struct Case {
        form::PaletteIndex index;
        form::Rgb rgb;
    };
    const Case cases[] = {
        {0, {0, 0, 0}},        {2, {0, 128, 0}}, {10, {0, 255, 0}}, {12, {255, 0, 0}},
        {15, {255, 255, 255}}, {16, {0, 0, 0}},  {-1, {0, 0, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(form::paletteRgb(c.index), c.rgb) << c.index;
    }
}

TEST(Window_Handle, DistinctAndNonzero) {
    form::Window a, b;
    EXPECT_NE(a.hWnd(), 0u);
    EXPECT_NE(a.hWnd(), b.hWnd());
}

}  // namespace
