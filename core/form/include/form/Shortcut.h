// A menu entry's shortcut key as the menu table writes it ("Ctrl+Shift+O", "F5", "Del"), read
// into its parts for a front end that builds its own key table.
#pragma once

#include <optional>
#include <string_view>

namespace form {

struct Shortcut {
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
    // The key: an upper-case letter or a digit, else 0.
    char character = 0;
    // Or F1 to F24 as 1 to 24, else 0.
    int function = 0;
    // Or the Delete key ("Del").
    bool deleteKey = false;

    bool operator==(const Shortcut&) const = default;

    // The shortcut `text` names, modifiers first, each followed by "+"; nullopt for an empty
    // text, an unknown modifier or an unknown key.
    static std::optional<Shortcut> parse(std::string_view text);
};

}  // namespace form
