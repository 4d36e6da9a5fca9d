// Turns the bytes of a script file into a ParsedScript. No window, no file dialog: the caller
// chooses the file and applies the result (see ParsedScript.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "form/Host.h"
#include "script/ParsedScript.h"

namespace script {

struct LoadOptions {
    // The window's default I2C write address (I2CWriteAddr); rows before any address command
    // show it as upper-case hex without leading zero (0x0A -> "A").
    std::uint8_t defaultWriteAddr = 0;
    // The file name without folder, for the captions.
    std::string fileTitle;
    // Time of the load, shown in txtScriptLine1.
    form::LocalDateTime loadTime;
};

struct ScriptLoadResult {
    // False when the file is refused (too many lines, unreadable); script is then empty.
    bool ok = false;
    // Why the file was refused, for a message box; empty when ok.
    std::string errorText;
    ParsedScript script;
};

// Parses a script file's bytes. Lines end at CR LF, LF or CR. A file that is not UTF-8 is read
// as Windows-1252: its rows show UTF-8, its scriptLines keep the bytes. Fails only for a file of
// more than 1000 lines; bad lines never stop the load, they are marked in their row instead.
ScriptLoadResult parseScript(std::string_view fileBytes, const LoadOptions& options);

// Reads the file at path and parses it; fails when the file cannot be read or is refused.
ScriptLoadResult loadScriptFile(const std::string& path, const LoadOptions& options);

// Every finding of the script's rows, in line order. Never fails.
std::vector<ScriptFinding> scriptFindings(const ParsedScript& script);

// The request for the "Select Script File to Open" dialog (script files, then all files).
form::FileDialogRequest openScriptDialogRequest();

}  // namespace script
