#include <gtest/gtest.h>

#include <optional>
#include <string_view>

#include "form/Shortcut.h"

namespace {

TEST(Shortcut_Parse, ModifiersAndKeysReadUnknownOnesRefused) {
    struct Case {
        std::string_view text;
        std::optional<form::Shortcut> parsed;
    };
    const Case cases[] = {
        {"Ctrl+O", form::Shortcut{.ctrl = true, .character = 'O'}},
        {"Ctrl+Shift+s", form::Shortcut{.ctrl = true, .shift = true, .character = 'S'}},
        {"Alt+F4", form::Shortcut{.alt = true, .function = 4}},
        {"F24", form::Shortcut{.function = 24}},
        {"Del", form::Shortcut{.deleteKey = true}},
        {"7", form::Shortcut{.character = '7'}},
        {"", std::nullopt},
        {"f", form::Shortcut{.character = 'F'}},
        {"F0", std::nullopt},
        {"F25", std::nullopt},
        {"F1x", std::nullopt},
        {"Ctrl+", std::nullopt},
        {"Meta+X", std::nullopt},
        {"Ctrl+Tab", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(form::Shortcut::parse(c.text), c.parsed) << c.text;
    }
}

}  // namespace
