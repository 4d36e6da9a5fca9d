// One loaded script line as the script grid shows it and as the engine executes it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace script {

// Grid columns, numbered as the grid numbers them (1 to 8).
enum class Column {
    Line = 1,
    I2CAdr = 2,
    RegAdr = 3,
    DataWr = 4,
    DataRd = 5,
    ActRd = 6,
    Operation = 7,
    Comment = 8,
};
inline constexpr int kColumnCount = 8;

// Header texts of the eight columns, index 0 = column 1.
inline constexpr std::array<const char*, kColumnCount> kColumnHeaders = {
    "Line", "I2C Adr", "Reg Adr", "Data_Wr", "Data_Rd", "Act_Rd", "Operation", "Comment"};

// Cell backgrounds the script window uses. Default means the loader did not set one, so the cell
// keeps the grid's own background. Red is RGB (255, 0, 0), Green RGB (0, 255, 0); the two system
// colours are whatever the platform's button face and window background are.
enum class CellColor { Default, ButtonFace, WindowBackground, Red, Green };

struct GridCell {
    std::string text;
    CellColor background = CellColor::Default;
    // The grid's per-cell setting: 1 for "Line", "I2C Adr" and "Operation", 0 otherwise (a data
    // row without register gives 1 to "Comment" and 0 to "Operation").
    int code = 0;
    // Shown when the pointer rests on the cell; empty: the cell's text.
    std::string tip;
};

// A row whose text the loader reads differently from how it looks: what it read, and why.
struct ScriptFinding {
    int line = 0;
    std::string read;
    std::string why;
};

// What a row does when executed. The engine may dispatch on the "Operation" text, as the grid
// shows it, or on this kind; both always agree.
enum class RowKind {
    Blank,         // empty line: "NOP", comment "Script File has a blank line"
    Nop,           // comment-only line: "NOP"
    Data,          // I2C write and/or read (counts may all be 0: nothing is sent)
    DataError,     // data line over the byte limit: "Error Byte_Count", nothing is sent
    SetAddress,    // "Cmd:Set I2C Adr"
    AddressError,  // "Error I2C_Adr": the address text is not hex, the address in force stays
    KeyPause,      // "Cmd: Delay Keypress", delay -1
    Delay,         // "Cmd:Delay :<text>: mSec", delay in ms (may be 0 or negative)
    DelayError,    // "Error Delay_Time", delay 0
    SaveFile,      // "Cmd: Save File"
    Gpio,          // "Cmd: GPIO:<digits>", address text "GPIO"
    IntEnable,     // "Cmd: Int Enable"
    IntDisable,    // "Cmd: Int Disable"
    EndMain,       // "Cmd: End Main"
    IntStart,      // "Cmd: Int Start"
    IntEnd,        // "Cmd: Int End"
    OtherCommand,  // "Cmd:" and nothing else
};

// The GPIO values of a "Cmd: GPIO:" row, in the order the command writes them.
struct GpioValues {
    std::uint8_t portBData = 0;
    std::uint8_t portCData = 0;
    // Only for the eight-digit form, which also writes the output enables.
    bool hasEnables = false;
    std::uint8_t portBEnable = 0;
    std::uint8_t portCEnable = 0;
};

struct ScriptRow {
    // Line number in the file, 1-based; also the grid row.
    int lineNumber = 0;
    RowKind kind = RowKind::Blank;
    // The eight cells, index 0 = column 1 ("Line").
    std::array<GridCell, kColumnCount> cells;

    // Row table entries. A command row keeps the counts 0, except a GPIO row (2 or 4 each,
    // register count 0); delay is 0 none, -1 key-press pause, > 0 milliseconds.
    std::int16_t RowRegCount = 0;
    std::int16_t RowWriteCount = 0;
    std::int16_t RowReadCount = 0;
    std::int16_t RowDelay = 0;

    // The bytes the engine sends, decoded from the cell texts two hex digits at a time exactly
    // as the engine decodes them: regBytes has RowRegCount bytes, writeBytes RowWriteCount.
    // expectedBytes has RowReadCount bytes of the expected read text (for display or tools; the
    // pass/fail test compares the texts).
    std::vector<std::uint8_t> regBytes;
    std::vector<std::uint8_t> writeBytes;
    std::vector<std::uint8_t> expectedBytes;

    // Set for RowKind::Gpio.
    GpioValues gpio;

    // What in this row's text reads differently from how it looks; the row does what it reads.
    std::vector<ScriptFinding> findings;

    const GridCell& cell(Column c) const { return cells[static_cast<int>(c) - 1]; }
    GridCell& cell(Column c) { return cells[static_cast<int>(c) - 1]; }
    const std::string& text(Column c) const { return cell(c).text; }
};

}  // namespace script
