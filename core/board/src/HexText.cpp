#include "board/HexText.h"

#include <algorithm>
#include <cstdio>

namespace board {

namespace {

int digitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Reads hex digits up to the first other character; counts the significant ones.
struct HexScan {
    std::uint16_t low16 = 0;
    int significantDigits = 0;
};

HexScan scanHex(std::string_view text) {
    HexScan scan;
    for (char c : text) {
        int d = digitValue(c);
        if (d < 0) {
            break;
        }
        if (scan.significantDigits > 0 || d != 0) {
            ++scan.significantDigits;
        }
        scan.low16 = static_cast<std::uint16_t>((scan.low16 << 4) | d);
    }
    return scan;
}

}  // namespace

std::int16_t HexVal(std::string_view text) {
    return static_cast<std::int16_t>(scanHex(text).low16);
}

std::optional<std::int16_t> HexValChecked(std::string_view text) {
    HexScan scan = scanHex(text);
    if (scan.significantDigits > 4) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(scan.low16);
}

std::string HexByteText(std::uint8_t value) {
    char buf[3];
    std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(value));
    return buf;
}

std::string HexText(std::uint32_t value) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(value));
    return buf;
}

std::string DecimalWithSign(long value) {
    char buf[24];
    std::snprintf(buf, sizeof buf, value < 0 ? "%ld" : " %ld", value);
    return buf;
}

int SplitFields(std::string& text, std::vector<std::string>& fields, char separator) {
    for (auto& f : fields) {
        f.clear();
    }
    text.push_back(separator);
    if (text.size() <= 1 || fields.empty()) {
        return 0;
    }
    // A field starting at the appended separator (the last character) is not stored.
    std::size_t pos = 0;
    std::size_t element = 0;
    while (true) {
        std::size_t sep = text.find(separator, pos);
        if (sep == std::string::npos) {
            sep = text.size();
        }
        fields[element] = text.substr(pos, sep - pos);
        pos = sep + 1;
        ++element;
        if (pos + 1 >= text.size() || element >= fields.size()) {
            break;
        }
    }
    return static_cast<int>(element) - 1;
}

int HexKeyFilter(int& key) {
    if ((key >= '0' && key <= '9') || key == 8) {
        return key;
    }
    if (key >= 'a' && key <= 'f') {
        key = key - 'a' + 'A';
    }
    if (key >= 'A' && key <= 'F') {
        return key;
    }
    return 0;
}

std::string hexDigits(std::uint32_t value, unsigned width) {
    std::string text = HexText(value);
    if (text.size() < width) {
        text.insert(0, width - text.size(), '0');
    }
    return text;
}

std::string prefixedHex(std::uint64_t value, unsigned width) {
    char digits[17];
    std::snprintf(digits, sizeof digits, "%llX", static_cast<unsigned long long>(value));
    std::string text(digits);
    if (text.size() < width) {
        text.insert(0, width - text.size(), '0');
    }
    return "0x" + text;
}

bool isHexDigit(char c) {
    return digitValue(c) >= 0;
}

bool isHexText(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), isHexDigit);
}

}  // namespace board
