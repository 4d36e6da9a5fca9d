#include "Numbers.h"

#include <cctype>
#include <string>

namespace regmap {

namespace {

std::optional<std::uint32_t> digitsIn(std::string_view text, unsigned base) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    bool any = false;
    for (char c : text) {
        if (c == '_') {
            continue;
        }
        const auto lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        unsigned digit;
        if (lower >= '0' && lower <= '9') {
            digit = static_cast<unsigned>(lower - '0');
        } else if (lower >= 'a' && lower <= 'f') {
            digit = static_cast<unsigned>(lower - 'a' + 10);
        } else {
            return std::nullopt;
        }
        if (digit >= base) {
            return std::nullopt;
        }
        value = value * base + digit;
        if (value > 0xFFFFFFFFu) {
            return std::nullopt;
        }
        any = true;
    }
    if (!any) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<unsigned> radixLetter(char c) {
    switch (std::tolower(static_cast<unsigned char>(c))) {
        case 'h':
            return 16;
        case 'd':
            return 10;
        case 'b':
            return 2;
        case 'o':
            return 8;
        default:
            return std::nullopt;
    }
}

}  // namespace

std::string hexNumber(std::uint32_t value) {
    static const char* digits = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), digits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return "0x" + text;
}

std::optional<std::uint32_t> parseUserNumber(std::string_view text) {
    text = trimmed(text);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        return digitsIn(text.substr(2), 16);
    }
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'b' || text[1] == 'B')) {
        return digitsIn(text.substr(2), 2);
    }
    return digitsIn(text, 10);
}

std::optional<std::uint32_t> parseMapNumber(std::string_view text) {
    text = trimmed(text);
    const std::size_t tick = text.find('\'');
    if (tick != std::string_view::npos) {
        // [width]'[s]radix digits: the width, when given, must hold the value.
        std::string_view rest = text.substr(tick + 1);
        if (!rest.empty() && (rest[0] == 's' || rest[0] == 'S')) {
            rest.remove_prefix(1);
        }
        if (rest.empty()) {
            return std::nullopt;
        }
        const auto radix = radixLetter(rest[0]);
        if (!radix) {
            return std::nullopt;
        }
        const auto value = digitsIn(trimmed(rest.substr(1)), *radix);
        if (!value || tick == 0) {
            return value;
        }
        const auto width = digitsIn(trimmed(text.substr(0, tick)), 10);
        if (!width || *width == 0 || (*width < 32 && (*value >> *width) != 0)) {
            return std::nullopt;
        }
        return value;
    }
    if (!text.empty() && text[0] == '#') {
        return digitsIn(text.substr(1), 2);
    }
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        return digitsIn(text.substr(2), 16);
    }
    return digitsIn(text, 10);
}

}  // namespace regmap
