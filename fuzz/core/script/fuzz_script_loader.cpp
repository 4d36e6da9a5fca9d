// Feeds arbitrary bytes to the script loader and the script-update steps that work on its lines,
// and traps when a result breaks what the engine relies on.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "script/ScriptLoader.h"
#include "script/ScriptRecorder.h"

using fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    script::LoadOptions options;
    options.defaultWriteAddr = size > 0 ? data[0] : 0x60;
    options.fileTitle = "fuzz.txt";
    script::ScriptLoadResult result = script::parseScript(bytes, options);
    if (!result.ok) {
        check(!result.errorText.empty());
        return 0;
    }
    const script::ParsedScript& s = result.script;
    int lines = static_cast<int>(s.rows.size());
    check(lines <= script::kMaxScriptLines);
    check(static_cast<int>(s.scriptLines.size()) == lines && s.TotalLines == lines);
    check(s.EndMainRow >= 0 && s.EndMainRow <= lines);
    check(s.IntStartRow >= 0 && s.IntStartRow <= lines && s.IntEndRow <= lines);
    check(s.ReadOpCount <= lines);
    for (const script::ScriptRow& row : s.rows) {
        check(row.RowRegCount >= 0 && row.RowWriteCount >= 0 && row.RowReadCount >= 0);
        check(row.RowRegCount + row.RowWriteCount <= 255 || row.RowWriteCount == 0);
        check(row.RowReadCount <= 255);
        check(static_cast<int>(row.regBytes.size()) == row.RowRegCount);
        if (row.kind == script::RowKind::Data) {
            check(static_cast<int>(row.writeBytes.size()) == row.RowWriteCount);
            check(static_cast<int>(row.expectedBytes.size()) == row.RowReadCount);
        }
    }

    std::vector<std::string> updated = s.scriptLines;
    std::vector<script::RecordedRow> rows;
    for (const script::ScriptRow& row : s.rows) {
        rows.push_back({row.text(script::Column::Operation), "0B"});
    }
    script::updateExpectedData(updated, rows);
    for (std::size_t i = 0; i < updated.size(); ++i) {
        // An update changes only the third field: the comment and line count stay.
        std::size_t hashBefore = s.scriptLines[i].find('#');
        std::size_t hashAfter = updated[i].find('#');
        check((hashBefore == std::string::npos) == (hashAfter == std::string::npos));
        if (hashBefore != std::string::npos) {
            check(s.scriptLines[i].substr(hashBefore) == updated[i].substr(hashAfter));
        }
    }
    if (!updated.empty()) {
        std::string stamped = script::stampedFirstLine(updated[0], {}, "1");
        check(script::stampedFirstLine(stamped, {}, "2").size() == stamped.size());
    }
    script::saveFileNameFor(bytes.substr(0, 64));
    return 0;
}
