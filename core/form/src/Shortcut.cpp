#include "form/Shortcut.h"

#include <cctype>
#include <charconv>

namespace form {

std::optional<Shortcut> Shortcut::parse(std::string_view text) {
    Shortcut s;
    for (auto plus = text.find('+'); plus != std::string_view::npos && plus + 1 < text.size();
         plus = text.find('+')) {
        const std::string_view modifier = text.substr(0, plus);
        if (modifier == "Ctrl") {
            s.ctrl = true;
        } else if (modifier == "Shift") {
            s.shift = true;
        } else if (modifier == "Alt") {
            s.alt = true;
        } else {
            return std::nullopt;
        }
        text.remove_prefix(plus + 1);
    }
    if (text.size() == 1 && std::isalnum(static_cast<unsigned char>(text[0])) != 0) {
        s.character = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
        return s;
    }
    if (text == "Del") {
        s.deleteKey = true;
        return s;
    }
    if (text.size() < 2 || text[0] != 'F') {
        return std::nullopt;
    }
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data() + 1, last, s.function);
    if (error != std::errc() || end != last || s.function < 1 || s.function > 24) {
        return std::nullopt;
    }
    return s;
}

}  // namespace form
