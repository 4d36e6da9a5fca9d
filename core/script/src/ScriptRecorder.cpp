#include "script/ScriptRecorder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "board/AtomicFile.h"
#include "board/TextHelpers.h"

namespace script {

namespace {

constexpr std::string_view kStamp = "# AutoUpdated:";

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\x0F';
}

std::size_t findIgnoringCase(std::string_view text, std::string_view what) {
    std::string upperText = board::upperAscii(text);
    return upperText.find(board::upperAscii(what));
}

std::string errorText(const std::string& path, int error) {
    return "Cannot write \"" + path + "\": " + std::strerror(error);
}

// Adds the content at the end of the file, or replaces the file whole (a new file beside it,
// renamed over it); on failure says why.
bool writeContent(const std::string& path, std::string_view content, bool append, bool& opened,
                  std::string& error) {
    const int failure = append ? board::appendToFile(path, content, &opened)
                               : board::replaceFileAtomically(path, content, &opened);
    if (failure != 0) {
        error = errorText(path, failure);
        return false;
    }
    return true;
}

}  // namespace

bool rowIsRecordable(std::string_view operation, std::string_view actualRead) {
    return findIgnoringCase(operation, "R:") != std::string::npos && actualRead.size() > 1 &&
           actualRead != "--";
}

bool updateExpectedField(std::string& line, std::string_view actualRead) {
    // A text that would split the line into other fields or lines is never put in.
    if (actualRead.find_first_of(",#\r\n") != std::string_view::npos) {
        return false;
    }
    std::size_t first = line.find(',');
    if (first == std::string::npos) {
        return false;
    }
    std::size_t second = line.find(',', first + 1);
    std::size_t hash = line.find('#');
    if (second == std::string::npos || (hash != std::string::npos && hash < second)) {
        return false;
    }
    std::size_t end = line.find_first_of(",#", second + 1);
    if (end == std::string::npos) {
        end = line.size();
    }
    std::size_t begin = second + 1;
    while (begin < end && isBlank(line[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(line[end - 1])) {
        --end;
    }
    if (begin == end) {
        return false;
    }
    line.replace(begin, end - begin, actualRead);
    return true;
}

int updateExpectedData(std::vector<std::string>& scriptLines,
                       const std::vector<RecordedRow>& rows) {
    int changed = 0;
    std::size_t count = std::min(scriptLines.size(), rows.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (!rows[i].measured || !rowIsRecordable(rows[i].operation, rows[i].actualRead)) {
            continue;
        }
        std::string before = scriptLines[i];
        if (updateExpectedField(scriptLines[i], rows[i].actualRead) && scriptLines[i] != before) {
            ++changed;
        }
    }
    return changed;
}

std::string stampedFirstLine(std::string_view line, const form::LocalDateTime& now,
                             std::string_view loopCountText) {
    std::string out(line.substr(0, std::min(line.size(), findIgnoringCase(line, kStamp))));
    out += "# AutoUpdated: ";
    out += board::dateText(now);
    out += ' ';
    out += board::timeText(now);
    out += " Looping: ";
    out += loopCountText;
    return out;
}

ScriptWriteResult writeScriptLines(std::vector<std::string>& scriptLines,
                                   const ScriptWriteRequest& request) {
    ScriptWriteResult result;
    if (request.path.empty()) {
        result.errorText = "No file name given for the script update";
        return result;
    }
    std::string firstLine = stampedFirstLine(
        scriptLines.empty() ? std::string_view{} : std::string_view{scriptLines[0]}, request.now,
        request.loopCountText);
    std::string content;
    std::size_t size = firstLine.size() + 2;
    for (std::size_t i = 1; i < scriptLines.size(); ++i) {
        size += scriptLines[i].size() + 2;
    }
    content.reserve(size);
    for (std::size_t i = 0; i < scriptLines.size(); ++i) {
        content += i == 0 ? firstLine : scriptLines[i];
        content += "\r\n";
    }

    bool opened = false;
    bool ok = writeContent(request.path, content, request.append, opened, result.errorText);
    if (opened && !scriptLines.empty()) {
        scriptLines[0] = std::move(firstLine);
    }
    if (!ok) {
        return result;
    }
    result.ok = true;
    result.linesWritten = static_cast<int>(scriptLines.size());
    // Formatted in one go: GCC 12 at -O3 warns falsely about the string concatenations.
    char count[32];
    std::snprintf(count, sizeof count, " %d Script written: ", result.linesWritten);
    result.label18Text = count;
    result.label18Text.append(board::dateText(request.now)).append(" ");
    result.label18Text.append(board::timeText(request.now));
    return result;
}

ScriptWriteResult recordAndWrite(std::vector<std::string>& scriptLines,
                                 const std::vector<RecordedRow>& rows,
                                 const ScriptWriteRequest& request) {
    updateExpectedData(scriptLines, rows);
    return writeScriptLines(scriptLines, request);
}

std::string saveFileNameFor(std::string_view scriptPath) {
    std::size_t slash = scriptPath.find_last_of("/\\");
    std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    std::size_t dot = scriptPath.rfind('.');
    std::string out(scriptPath);
    if (dot != std::string_view::npos && dot > nameStart) {
        out.insert(dot, "_DL");
    } else {
        out += "_DL";
    }
    return out;
}

form::FileDialogRequest browseDialogRequest(const std::string& scriptPath) {
    form::FileDialogRequest request;
    request.title = "Select File For Update";
    request.fileName = scriptPath;
    // "All Files" lists every file, also those without a dot in their name.
    request.filters = {"All Files (*)", "Script(*.txt)"};
    request.filterIndex = 0;
    request.defaultExt = "txt";
    return request;
}

}  // namespace script
