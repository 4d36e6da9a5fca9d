#include "tools/i2c/I2cGrids.h"

#include "board/HexText.h"

namespace tools {

namespace {

const char* const kDigits = "0123456789ABCDEF";

void endLine(std::string& text) {
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    text += '\n';
}

std::string rowLabel(std::uint32_t value, bool wide) {
    std::string label = board::HexByteText(static_cast<std::uint8_t>(value));
    if (wide) {
        label = board::HexByteText(static_cast<std::uint8_t>(value >> 8)) + label;
    }
    return label + ":";
}

}  // namespace

std::string detectGrid(const std::array<ProbeState, 128>& states, bool sevenBit) {
    const int columns = sevenBit ? 16 : 8;
    const int step = sevenBit ? 1 : 2;
    std::string text = "   ";
    for (int column = 0; column < columns; ++column) {
        text += "  ";
        text += kDigits[column * step];
    }
    endLine(text);
    for (int row = 0; row < 128 / columns; ++row) {
        text += rowLabel(static_cast<std::uint32_t>(row * columns * step), false);
        for (int column = 0; column < columns; ++column) {
            const int address = row * columns + column;
            text += ' ';
            switch (states[static_cast<std::size_t>(address)]) {
                case ProbeState::Present:
                    text += board::HexByteText(static_cast<std::uint8_t>(address * step));
                    break;
                case ProbeState::Absent:
                    text += "--";
                    break;
                default:
                    text += "  ";
                    break;
            }
        }
        endLine(text);
    }
    return text;
}

std::string dumpGrid(std::uint32_t first, std::uint32_t last,
                     const std::vector<std::optional<std::uint8_t>>& values, bool reg16,
                     const std::vector<bool>& notRead) {
    std::string text = reg16 ? "     " : "   ";
    for (int column = 0; column < 16; ++column) {
        text += "  ";
        text += kDigits[column];
    }
    text += "    0123456789ABCDEF";
    endLine(text);
    for (std::uint32_t row = first & ~0xFu; row <= last; row += 16) {
        std::string hex = rowLabel(row, reg16);
        std::string chars;
        for (std::uint32_t reg = row; reg < row + 16; ++reg) {
            if (reg < first || reg > last) {
                hex += "   ";
                chars += ' ';
                continue;
            }
            const std::optional<std::uint8_t>& value = values[reg - first];
            if (!value && reg - first < notRead.size() && notRead[reg - first]) {
                hex += " --";
                chars += '-';
                continue;
            }
            if (!value) {
                hex += " XX";
                chars += 'X';
                continue;
            }
            hex += ' ' + board::HexByteText(*value);
            if (*value == 0x00 || *value == 0xFF) {
                chars += '.';
            } else if (*value < 0x20 || *value >= 0x7F) {
                chars += '?';
            } else {
                chars += static_cast<char>(*value);
            }
        }
        text += hex + "    " + chars;
        endLine(text);
    }
    return text;
}

}  // namespace tools
