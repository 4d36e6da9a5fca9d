// Writing measured read data back into a loaded script as its new expected data, and saving the
// script with a time stamp on its first line. No window: the caller passes the grid texts, the
// loop count text and the clock, and shows the returned texts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "form/Host.h"

namespace script {

// What recording reads of one grid row.
struct RecordedRow {
    std::string_view operation;   // the "Operation" cell
    std::string_view actualRead;  // the "Act_Rd" cell
    // False when the row's last read failed (wrong count byte, failed transfer, no GPIO reply):
    // its "Act_Rd" then shows bytes the device never sent.
    bool measured = true;
};

// Whether a row's measurement goes into the script: its operation reads data ("R:" in any
// case), and its actual text was measured (longer than one character and not "--").
bool rowIsRecordable(std::string_view operation, std::string_view actualRead);

// Replaces the characters of the line's third comma-separated field (after the second comma, up
// to the next "," or "#" or the end, blanks around it kept) by actualRead. Returns false and
// leaves the line as it was when it has no non-blank third field before its comment.
bool updateExpectedField(std::string& line, std::string_view actualRead);

// Updates scriptLines[i] from rows[i] for every recordable, measured row (rows beyond the lines
// are ignored). Returns the number of lines changed; never fails.
int updateExpectedData(std::vector<std::string>& scriptLines, const std::vector<RecordedRow>& rows);

// Line 1 with any old "# AutoUpdated:" stamp (any case) cut off and the new one added:
// "# AutoUpdated: mm-dd-yyyy hh:mm:ss Looping: <loopCountText>".
std::string stampedFirstLine(std::string_view line, const form::LocalDateTime& now,
                             std::string_view loopCountText);

struct ScriptWriteRequest {
    std::string path;           // txtFilePath
    bool append = false;        // chkAppend ticked
    std::string loopCountText;  // txtLoopCount
    form::LocalDateTime now;
};

struct ScriptWriteResult {
    bool ok = false;
    // On failure, the description the window shows in a message box.
    std::string errorText;
    // On success, the text of Label18: " n Script written: mm-dd-yyyy hh:mm:ss".
    std::string label18Text;
    int linesWritten = 0;
};

// Stamps line 1 and writes every line ended by CR LF; other lines go out byte for byte. Without
// append the file is replaced atomically (a temporary file beside it, then a rename), so a
// failure leaves the old file as it was. The stamp is kept in scriptLines only when the file
// could be opened. Fails with a description, never throws.
ScriptWriteResult writeScriptLines(std::vector<std::string>& scriptLines,
                                   const ScriptWriteRequest& request);

// "Write to Disk": updateExpectedData, then writeScriptLines.
ScriptWriteResult recordAndWrite(std::vector<std::string>& scriptLines,
                                 const std::vector<RecordedRow>& rows,
                                 const ScriptWriteRequest& request);

// The file a "Cmd: Save File" row appends to: "_DL" before the file name's extension, or at the
// end when the name has none ("C:\s\power.txt" -> "C:\s\power_DL.txt", "run" -> "run_DL").
std::string saveFileNameFor(std::string_view scriptPath);

// The request for the "Select File For Update" dialog, starting at the script's path.
form::FileDialogRequest browseDialogRequest(const std::string& scriptPath);

}  // namespace script
