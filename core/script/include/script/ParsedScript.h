// A script file turned into grid rows, row-table entries, section bounds and the texts the
// script window shows after a load. Producing it touches nothing; applying it is the window's job.
#pragma once

#include <string>
#include <vector>

#include "script/ScriptRow.h"

namespace script {

// The most lines a script may hold (the row tables hold rows 1 to 1000).
inline constexpr int kMaxScriptLines = 1000;
// Grid column width (pixels) of "Data_Wr", "Data_Rd" and "Act_Rd" before a load narrows them.
inline constexpr int kWideDataColumn = 208;

/*
 * Applying a parsed script to the script window (frmScriptOps), in this order. Parse first: a
 * refused file (ScriptLoadResult::ok false) is shown as an error and changes nothing.
 *
 *  1. txtLastRead, txtIEnableStep, txtIDisableStep, txtIdetectStep and txtIexec show "----";
 *     txtIstart and txtIend show the texts below. Hide frmDataRecord.
 *  2. The window's own section rows: EndMainRow, IntStartRow, IntEndRow from here;
 *     IntReturnRow = 0.
 *  3. txttotReads = txttotReadsText; txtRdPass and txtRdFails = "0".
 *  4. txtScriptLine1 = txtScriptLine1Text (time of the load).
 *  5. Grid: replace all rows by `rows` (row i of the grid = rows[i-1]); every cell gets the text,
 *     background (Default = leave the grid's default) and code given. Rows beyond rows.size()
 *     are removed. Column widths: "Data_Wr" = dataWrWidth, "Data_Rd" and "Act_Rd" = dataRdWidth.
 *  6. Row tables: RowRegCount, RowWriteCount, RowReadCount, RowDelay of each row; ScriptLines =
 *     scriptLines (kept per window; recording rewrites them); ScriptLineCount, TotalLines,
 *     ReadOpCount, CurrentAddrText as given.
 *  7. shpISample filled with ColorBlack. txtTotLines = txtTotLinesText. frmScriptExec visible.
 *  8. Caption = caption. Enable cmdReload2, cmdExecAll and cmdRunContinuous.
 * The window may show loadingCaption while it reads and parses the file. chkISample and
 * txtIDefault are not changed by a load.
 */
struct ParsedScript {
    // One entry per file line; rows[i] is grid row i + 1.
    std::vector<ScriptRow> rows;
    // The raw file lines as read, without their line ends (ScriptLines(1..) = scriptLines[0..]).
    std::vector<std::string> scriptLines;

    int ScriptLineCount = 0;
    int TotalLines = 0;
    // Rows that compare read data: data lines with a non-empty "Data_Rd", and GPIO rows.
    int ReadOpCount = 0;
    // The I2C address text in force at the end of the file.
    std::string CurrentAddrText;

    // Section bounds (row numbers, 0 = none). EndMainRow is the last line when the file has no
    // end-of-main line, so Run All Steps runs rows 1 to EndMainRow - 1.
    int EndMainRow = 0;
    int IntStartRow = 0;
    int IntEndRow = 0;

    // Column widths in pixels.
    int dataWrWidth = kWideDataColumn;
    int dataRdWidth = kWideDataColumn;

    // Window texts after the load.
    std::string caption;             // "[ title ]    Script IC Send / Receive"
    std::string loadingCaption;      // "[ title ]    Loading Script File .. Please Wait"
    std::string txtScriptLine1Text;  // load time, hh:mm:ss
    std::string txttotReadsText;     // ReadOpCount, decimal
    std::string txtTotLinesText;     // TotalLines, decimal
    std::string txtIstartText;       // " n" for the interrupt-start row, else "----"
    std::string txtIendText;         // " n" for the interrupt-end row, else "----"
};

}  // namespace script
