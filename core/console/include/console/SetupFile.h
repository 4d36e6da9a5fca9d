// A setup file: the register console's I2C address text and the four texts of each of its 32
// register rows, as kept between sessions. The file is 33 comma-separated lines ended by CR LF:
// "I2C ADDRESS , " and the address, then one line per row (register address, description,
// write byte, read byte). Files written by earlier versions of the tool read unchanged, and the
// files written here read there too.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "board/AtomicFile.h"

namespace console {

class SetupFile {
  public:
    static constexpr int kRows = 32;
    // The most characters a text box of the register table takes (UTF-16 code units, as the
    // views count them).
    static constexpr std::size_t kMaxBoxChars = 32767;
    // A full box in the file: at most 3 UTF-8 bytes a code unit, and the quotes around it.
    static constexpr std::size_t kMaxFieldBytes = 3 * kMaxBoxChars + 2;
    // What 32 rows of full boxes make (the address line, then four fields, three commas and
    // CR LF a row): every file the program saves it opens again, and anything larger is no
    // setup file.
    static constexpr std::size_t kMaxBytes =
        14 + kMaxFieldBytes + 2 + kRows * (4 * kMaxFieldBytes + 3 + 2);

    struct Row {
        std::string registerAddress;  // Reg_Adr
        std::string description;      // Reg_Desc
        std::string writeByte;        // txtBWrite
        std::string readByte;         // txtRdByte
        bool operator==(const Row&) const = default;
    };

    struct ReadResult {
        bool ok = false;
        // On failure, which file and what went wrong, for the log and a message box.
        std::string errorText;
    };

    struct WriteResult {
        bool ok = false;
        std::string errorText;
        // The file went out as UTF-8: some text has no Windows-1252 byte, or its Windows-1252
        // bytes would read back as other UTF-8 text.
        bool savedAsUtf8 = false;
    };

    // Stands in for the disk in tests: a nonzero errno value makes that block's write fail.
    using WriteFault = board::WriteFault;

    std::string address;  // txtI2CAdr as typed
    std::array<Row, kRows> rows;

    bool operator==(const SetupFile&) const = default;

    // Reads all 130 fields of the (UTF-8) text before changing anything; fails, leaving this
    // object as it was, when the text ends before them ("the address" or "row 0B" is missing:
    // rows go by their register labels, 00 to 1F). Lines may end in CR LF, LF or CR; fields
    // after the last row are ignored.
    ReadResult parse(std::string_view text, const std::string& path);

    // Reads the file at path, as UTF-8 when it is, else as Windows-1252 (the original
    // platform's files); fails without change when it cannot be opened, is a folder, is larger
    // than kMaxBytes (refused before reading) or ends early.
    ReadResult read(const std::string& path);

    // The file's text: every text as it stands, except that a text that would not read back
    // whole (a comma or line break in it, or a blank or double quote in front) goes in double
    // quotes, any double quote of its own turned into a single quote. Never fails.
    std::string text() const;

    // The boxes whose texts will not read back as they stand ("row 04, Description",
    // "the address"): those that need quotes and hold a double quote.
    std::vector<std::string> unkeepableTexts() const;

    // Replaces the file at path atomically: a temporary file in the same folder, flushed, then
    // renamed over it. The text goes out in Windows-1252, so that the original platform reads
    // it, unless that would not read back here (then UTF-8, and savedAsUtf8 says so). On any
    // failure the old file stays byte for byte and the error says what went wrong (no
    // permission, a full disk, a folder given as the file, more than kMaxBytes).
    WriteResult write(const std::string& path, const WriteFault& fault = {}) const;
};

}  // namespace console
