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
    // A setup file is about 2 KiB; anything far larger is not one.
    static constexpr std::size_t kMaxBytes = 64 * 1024;

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
    };

    // Stands in for the disk in tests: a nonzero errno value makes that block's write fail.
    using WriteFault = board::WriteFault;

    std::string address;  // txtI2CAdr as typed
    std::array<Row, kRows> rows;

    bool operator==(const SetupFile&) const = default;

    // Reads all 130 fields of the text before changing anything; fails, leaving this object as
    // it was, when the text ends before them ("the address" or "row 17 of 32" is missing).
    // Lines may end in CR LF, LF or CR; fields after the last row are ignored.
    ReadResult parse(std::string_view text, const std::string& path);

    // Reads the file at path; fails without change when it cannot be opened, is a folder, is
    // larger than kMaxBytes (refused before reading) or ends early.
    ReadResult read(const std::string& path);

    // The file's bytes: every text as it stands, except that a text that would not read back
    // whole (a comma or line break in it, or a blank or double quote in front) goes in double
    // quotes, any double quote of its own turned into a single quote. Never fails.
    std::string text() const;

    // The boxes whose texts will not read back as they stand ("row 5 of 32, Description",
    // "the address"): those that need quotes and hold a double quote.
    std::vector<std::string> unkeepableTexts() const;

    // Replaces the file at path atomically: a temporary file in the same folder, flushed, then
    // renamed over it. On any failure the old file stays byte for byte and the error says what
    // went wrong (no permission, a full disk, a folder given as the file).
    WriteResult write(const std::string& path, const WriteFault& fault = {}) const;
};

}  // namespace console
