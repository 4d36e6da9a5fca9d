#include <gtest/gtest.h>

#include "board/HexText.h"
#include "board/I2cAddress.h"
#include "board/TextHelpers.h"

namespace {

using board::HexVal;
using board::HexValChecked;

TEST(HexVal_Table, ValuesAsSixteenBitTwosComplement) {
    struct Case {
        const char* text;
        std::int16_t value;
        bool fits;  // at most four significant hex digits
    };
    const Case cases[] = {
        {"", 0, true},
        {"ff", 255, true},
        {"FF", 255, true},
        {"1G", 1, true},
        {"G1", 0, true},
        {"xyz", 0, true},
        {" 1", 0, true},
        {"FFFF", -1, true},
        {"7FFF", 32767, true},
        {"8000", -32768, true},
        {"00FF", 255, true},
        {"0000000A", 10, true},  // leading zeros are not significant
        {"0", 0, true},
        {"a5", 165, true},
        {"12345", 0x2345, false},
        {"FFFFF", -1, false},
        {"10000", 0, false},
        {"1234567890ABCDEF1", static_cast<std::int16_t>(0xCDEF1 & 0xFFFF), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HexVal(c.text), c.value) << '"' << c.text << '"';
        auto checked = HexValChecked(c.text);
        EXPECT_EQ(checked.has_value(), c.fits) << '"' << c.text << '"';
        if (checked) {
            EXPECT_EQ(*checked, c.value) << '"' << c.text << '"';
        }
    }
}

TEST(HexVal_WideText, LowEightBitsAreThoseOfTheFullValue) {
    // A caller without a range check puts the low 8 bits into a packet.
    EXPECT_EQ(static_cast<std::uint8_t>(HexVal("123AB")), 0xAB);
    EXPECT_EQ(static_cast<std::uint8_t>(HexVal("FFFFFF10")), 0x10);
}

// The three ways a box's text names a device address: what a click sends, what Enter accepts
// (the console and the Register Map alike) and what has a read address.
TEST(I2cAddress_Table, ClickEnterAndReadableRules) {
    struct Case {
        const char* text;
        int click;     // the write address a click sends
        int entered;   // -1: refused on Enter
        int readable;  // -1: no read address
    };
    const Case cases[] = {
        {"60", 0x60, 0x60, 0x60}, {"6", 0x06, 0x06, 0x06},    {"61", 0x61, 0x61, 0x61},
        {"FF", 0xFF, 0xFF, -1},   {"", 0x00, -1, 0x00},       {"6G", 0x06, -1, 0x06},
        {"1A5", 0xA5, -1, -1},    {"00A0", 0xA0, 0xA0, 0xA0}, {"FFFF", 0xFF, -1, -1},
        {"12345", 0x45, -1, -1},
    };
    for (const auto& c : cases) {
        const auto entered = board::I2cAddress::parse(c.text);
        const auto readable = board::I2cAddress::withReadAddress(c.text);
        EXPECT_EQ(board::I2cAddress::ofText(c.text).write(), c.click) << c.text;
        EXPECT_EQ(entered ? entered->write() : -1, c.entered) << c.text;
        EXPECT_EQ(readable ? readable->write() : -1, c.readable) << c.text;
    }
    const board::I2cAddress top(0xFF);
    EXPECT_EQ(top.read(), 0x00);  // wraps, as the bridge would send it
    EXPECT_EQ(board::I2cAddress(0x61).sevenBit(), 0x30);
    EXPECT_FALSE(board::I2cAddress(0x61).isWriteAddress());
    EXPECT_EQ(board::I2cAddress(0x0A).text(), "0A");
}

TEST(HexText_Formats, ByteHexAndSignedDecimal) {
    EXPECT_EQ(board::HexByteText(0x0A), "0A");
    EXPECT_EQ(board::HexByteText(0xFF), "FF");
    EXPECT_EQ(board::HexByteText(0), "00");
    EXPECT_EQ(board::HexText(0), "0");
    EXPECT_EQ(board::HexText(0x1209), "1209");
    EXPECT_EQ(board::HexText(0xabcu), "ABC");
    EXPECT_EQ(board::HexText(static_cast<std::uint32_t>(-2)), "FFFFFFFE");
    EXPECT_EQ(board::DecimalWithSign(0), " 0");
    EXPECT_EQ(board::DecimalWithSign(17), " 17");
    EXPECT_EQ(board::DecimalWithSign(-3), "-3");
}

TEST(SplitFields_Table, FieldsReturnAndAppendedSeparator) {
    struct Case {
        std::string text;
        std::size_t arraySize;
        int last;
        std::vector<std::string> fields;
    };
    const Case cases[] = {
        {"A,B,,C", 5, 3, {"A", "B", "", "C", ""}},
        {"", 3, 0, {"", "", ""}},
        {"A", 3, 0, {"A", "", ""}},
        {",", 3, 0, {"", "", ""}},
        {",A", 3, 1, {"", "A", ""}},
        {"A,", 3, 0, {"A", "", ""}},
        {"A,,", 3, 1, {"A", "", ""}},
        {"A,B,C,D,E", 3, 2, {"A", "B", "C"}},  // beyond the upper bound: dropped
        {"10,A0,,55", 4, 3, {"10", "A0", "", "55"}},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        std::vector<std::string> fields(c.arraySize, "old");
        EXPECT_EQ(board::SplitFields(text, fields, ','), c.last) << c.text;
        EXPECT_EQ(fields, c.fields) << c.text;
        EXPECT_EQ(text, c.text + ",") << c.text;
    }
}

TEST(SplitFields_EmptyArray, ReturnsZeroWithoutWriting) {
    std::string text = "A,B";
    std::vector<std::string> fields;
    EXPECT_EQ(board::SplitFields(text, fields, ','), 0);
    EXPECT_EQ(text, "A,B,");
}

TEST(HexKeyFilter_Table, ResultAndCallerKey) {
    struct Case {
        int key;
        int result;
        int keyAfter;
    };
    const Case cases[] = {
        {'c', 'C', 'C'}, {'a', 'A', 'A'}, {'f', 'F', 'F'}, {'7', '7', '7'}, {'0', '0', '0'},
        {'9', '9', '9'}, {8, 8, 8},       {'A', 'A', 'A'}, {'F', 'F', 'F'}, {'g', 0, 'g'},
        {'G', 0, 'G'},   {' ', 0, ' '},   {13, 0, 13},     {0, 0, 0},
    };
    for (const auto& c : cases) {
        int key = c.key;
        EXPECT_EQ(board::HexKeyFilter(key), c.result) << c.key;
        EXPECT_EQ(key, c.keyAfter) << c.key;
    }
}

// The script window's captions and velmorix-script's reports name a file alike, as its system
// does: a backslash is part of a Linux file name.
TEST(FileTitle_Table, NameAfterTheSystemsFolderSeparators) {
    struct Case {
        const char* path;
        const char* title;
    };
#if defined(_WIN32)
    const Case cases[] = {
        {"C:\\scripts\\power.txt", "power.txt"},
        {"C:/scripts/power.txt", "power.txt"},
        {"\\\\server\\share\\run", "run"},
        {"C:power.txt", "power.txt"},
        {"power.txt", "power.txt"},
    };
#else
    const Case cases[] = {
        {"/scripts/power.txt", "power.txt"},
        {"scripts/a\\b.txt", "a\\b.txt"},
        {"C:power.txt", "C:power.txt"},
        {"power.txt", "power.txt"},
    };
#endif
    for (const Case& c : cases) {
        EXPECT_EQ(board::fileTitle(c.path), c.title) << c.path;
    }
}

}  // namespace
