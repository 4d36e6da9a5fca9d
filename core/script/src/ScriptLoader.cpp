#include "script/ScriptLoader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "board/HexText.h"
#include "board/TextEncoding.h"
#include "board/TextHelpers.h"
#include "script/OperationNames.h"

namespace script {

namespace {

using board::upperAscii;

constexpr std::size_t kFieldSlots = 11;
constexpr std::size_t kMaxPacketBytes = 255;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool allHex(std::string_view text) {
    for (char c : text) {
        if (!board::isHexDigit(c)) {
            return false;
        }
    }
    return true;
}

std::string withoutSpaces(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != ' ') {
            out.push_back(c);
        }
    }
    return out;
}

std::string trimmed(std::string_view text) {
    std::size_t b = text.find_first_not_of(' ');
    if (b == std::string_view::npos) {
        return {};
    }
    std::size_t e = text.find_last_not_of(' ');
    return std::string(text.substr(b, e - b + 1));
}

// Two hex digits per byte, the length halved with halves going to the even count (5 -> 2, 7 -> 4).
std::size_t byteCount(std::size_t length) {
    if (length < 2) {
        return 0;
    }
    std::size_t half = length / 2;
    if (length % 2 == 1 && half % 2 == 1) {
        ++half;
    }
    return half;
}

// The bytes the engine sends for a hex text: byte k from characters 2k and 2k+1 (fewer when the
// text runs out), by HexVal.
std::vector<std::uint8_t> decodeBytes(std::string_view text, std::size_t count) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(count);
    for (std::size_t k = 0; k < count; ++k) {
        std::string_view pair = 2 * k < text.size() ? text.substr(2 * k, 2) : std::string_view{};
        bytes.push_back(static_cast<std::uint8_t>(board::HexVal(pair) & 0xFF));
    }
    return bytes;
}

std::string paddedLineNumber(int n) {
    std::string digits = std::to_string(n);
    if (digits.size() < 3) {
        digits.insert(0, 3 - digits.size(), '0');
    }
    return digits;
}

// Bytes as the rows show them: two hex digits each, separated by blanks.
std::string bytesText(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (std::uint8_t b : bytes) {
        if (!text.empty()) {
            text += ' ';
        }
        text += board::HexByteText(b);
    }
    return text;
}

std::string inQuotes(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

void addFinding(ScriptRow& row, std::string read, std::string why) {
    row.findings.push_back({row.lineNumber, std::move(read), std::move(why)});
}

// A field of hex digits as typed (`given`) and as the loader keeps it (`kept`, `count` bytes):
// a finding when characters other than hex digits are ignored, or when the digits do not make
// whole bytes as written. An expected field is compared as text with what a read shows.
void checkHexField(ScriptRow& row, std::string_view name, const std::string& given,
                   const std::string& kept, std::size_t count, bool expected) {
    const std::string read = std::string(name) + " " + bytesText(decodeBytes(kept, count));
    const std::size_t bad =
        std::find_if(given.begin(), given.end(), [](char c) { return !board::isHexDigit(c); }) -
        given.begin();
    if (bad < given.size()) {
        const std::string what =
            inQuotes(given.substr(bad, 1)) + " in " + inQuotes(given) + " is not a hex digit";
        if (expected) {
            addFinding(row, "expected data " + inQuotes(kept),
                       what + ": a read shows hex digits only, so the row always fails");
        } else {
            addFinding(row, read, what + ": each byte is read up to its first other character");
        }
        return;
    }
    if (given.size() < 3 || given.size() % 2 == 0) {
        return;
    }
    std::string why = std::to_string(given.size()) + " digits do not make whole bytes: ";
    if (kept.size() != given.size()) {
        why += "a 0 is put in front (" + kept + ")";
    } else if (2 * count < kept.size()) {
        why += "the digits after the first " + std::to_string(2 * count) + " are ignored";
    } else {
        why += "they are taken two at a time, and the last one makes a byte of its own";
    }
    if (expected && 2 * count != kept.size()) {
        why += ", and a read of " + std::to_string(count) +
               " bytes shows fewer digits, so the row always fails";
    }
    addFinding(row, read, why);
}

// A decimal number with optional sign, fraction and exponent, as a delay may be written.
bool parseNumber(std::string_view text, double& value) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        std::size_t expDigits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0) {
            return false;
        }
    }
    if (i != text.size()) {
        return false;
    }
    std::string copy(text);
    value = std::strtod(copy.c_str(), nullptr);
    return true;
}

// Splits the file into lines at CR LF, LF or CR; false when it has more than maxLines lines.
bool splitLines(std::string_view bytes, std::vector<std::string>& lines, std::size_t maxLines) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (lines.size() == maxLines) {
            return false;
        }
        std::size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            lines.emplace_back(bytes.substr(pos));
            break;
        }
        lines.emplace_back(bytes.substr(pos, end - pos));
        pos = end + 1;
        if (bytes[end] == '\r' && pos < bytes.size() && bytes[pos] == '\n') {
            ++pos;
        }
    }
    return true;
}

class Loader {
  public:
    explicit Loader(const LoadOptions& options) : options_(options) {}

    void loadLine(ParsedScript& s, int n, std::string_view raw) {
        ScriptRow row;
        row.lineNumber = n;
        row.cell(Column::Line).background = CellColor::ButtonFace;
        row.cell(Column::Line).code = 1;
        row.cell(Column::Operation).text = operationText(RowKind::Nop);
        row.cell(Column::Operation).code = 1;
        if (n == 1) {
            s.CurrentAddrText = board::HexText(options_.defaultWriteAddr);
        }
        row.cell(Column::I2CAdr).text = s.CurrentAddrText;
        row.cell(Column::I2CAdr).code = 1;

        std::string line(raw);
        for (char& c : line) {
            if (c == '\t' || c == '\x0F') {
                c = ' ';
            }
        }

        if (line.empty()) {
            row.kind = RowKind::Blank;
            row.cell(Column::Comment).text = "Script File has a blank line";
        } else {
            std::size_t hash = line.find('#');
            std::string comment = hash == std::string::npos ? std::string() : line.substr(hash);
            std::string body = withoutSpaces(std::string_view(line).substr(0, hash));
            if (line[0] == '`') {
                loadCommand(s, row, body, comment);
            } else {
                // A line without comment counts as having text even when it is all spaces.
                bool textRemains = hash == std::string::npos || !body.empty();
                row.cell(Column::Comment).text = comment;
                if (textRemains) {
                    loadData(s, row, body);
                } else {
                    row.kind = RowKind::Nop;
                }
            }
        }
        row.cell(Column::Line).text = paddedLineNumber(n);
        s.rows.push_back(std::move(row));
    }

    void finish(ParsedScript& s) {
        int lines = static_cast<int>(s.rows.size());
        checkSections(s);
        if (s.EndMainRow == 0) {
            s.EndMainRow = lines;
        }
        s.ScriptLineCount = lines;
        s.TotalLines = lines;
        s.dataWrWidth = columnWidth(longestWrite_);
        s.dataRdWidth = columnWidth(longestRead_);
        s.txttotReadsText = std::to_string(s.ReadOpCount);
        s.txtTotLinesText = std::to_string(lines);
        s.txtIstartText = s.IntStartRow != 0 ? board::DecimalWithSign(s.IntStartRow) : "----";
        s.txtIendText = s.IntEndRow != 0 ? board::DecimalWithSign(s.IntEndRow) : "----";
    }

  private:
    // Section ends that are missing, or given more than once (the last one counts).
    static void checkSections(ParsedScript& s) {
        auto linesOf = [&s](RowKind kind) {
            std::vector<ScriptRow*> found;
            for (ScriptRow& row : s.rows) {
                if (row.kind == kind) {
                    found.push_back(&row);
                }
            }
            return found;
        };
        const std::vector<ScriptRow*> ends = linesOf(RowKind::EndMain);
        const std::vector<ScriptRow*> starts = linesOf(RowKind::IntStart);
        const std::vector<ScriptRow*> serviceEnds = linesOf(RowKind::IntEnd);
        auto repeated = [](const std::vector<ScriptRow*>& rows, const char* command,
                           const char* section) {
            for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
                addFinding(*rows[i], std::string("not the ") + section,
                           std::string("a later ") + command + " at line " +
                               std::to_string(rows.back()->lineNumber) + " counts instead");
            }
        };
        repeated(ends, "`ENDM", "end of the main section");
        repeated(starts, "`EISTART", "start of the interrupt service");
        repeated(serviceEnds, "`EIEND", "end of the interrupt service");
        if (ends.empty() && !s.rows.empty()) {
            addFinding(s.rows.back(), "the end of the main section, not run by Run All Steps",
                       "no `ENDM line: the main section ends before the last line");
        }
        if (!starts.empty() && serviceEnds.empty()) {
            addFinding(*starts.back(), "an interrupt service that runs nothing",
                       "no `EIEND line ends the interrupt service");
        }
        if (starts.empty() && !serviceEnds.empty()) {
            addFinding(*serviceEnds.back(), "an interrupt service that runs nothing",
                       "no `EISTART line starts the interrupt service");
        }
    }

    static int columnWidth(std::size_t longest) {
        std::size_t m = longest < 8 ? 8 : longest;
        return 8 * m < static_cast<std::size_t>(kWideDataColumn) ? static_cast<int>(8 * m)
                                                                 : kWideDataColumn;
    }

    void loadCommand(ParsedScript& s, ScriptRow& row, const std::string& text,
                     const std::string& comment) {
        GridCell& op = row.cell(Column::Operation);
        GridCell& commentCell = row.cell(Column::Comment);
        op.text = operationText(RowKind::OtherCommand);
        commentCell.text = comment;
        row.kind = RowKind::OtherCommand;
        char letter = text.size() >= 2 ? text[1] : '\0';
        if (letter == 'A' && !allHex(std::string_view(text).substr(2))) {
            // A text that is not hex would read as address 00, the general call that every
            // device on the bus answers: the line is refused and the address in force stays.
            markError(row, RowKind::AddressError, operationText(RowKind::AddressError),
                      "Address Error: I2C address not hex");
        } else if (letter == 'A') {
            std::string addr =
                text.size() == 4 ? text.substr(2, 2) : std::string("0") + text.back();
            s.CurrentAddrText = upperAscii(addr);
            if (text.size() == 2) {
                addFinding(row, "address " + s.CurrentAddrText,
                           "`A without digits takes its own letter A as the address");
            } else if (text.size() > 4) {
                addFinding(row, "address " + s.CurrentAddrText,
                           "`A takes one or two hex digits; of " + std::to_string(text.size() - 2) +
                               " only the last one counts");
            }
            if (text.size() == 4) {
                row.cell(Column::I2CAdr).text = s.CurrentAddrText;
            }
            op.text = operationText(RowKind::SetAddress);
            row.kind = RowKind::SetAddress;
        } else if (letter == 'w' && text.size() == 2) {
            op.text = operationText(RowKind::KeyPause);
            row.RowDelay = -1;
            row.kind = RowKind::KeyPause;
        } else if (letter == 'w') {
            loadDelay(row, text.substr(2));
        } else if (letter == 'S' && text.size() == 2) {
            op.text = operationText(RowKind::SaveFile);
            row.kind = RowKind::SaveFile;
        } else if (letter == 'G' && (text.size() == 6 || text.size() == 10) &&
                   allHex(std::string_view(text).substr(2))) {
            std::string digits = upperAscii(std::string_view(text).substr(2));
            op.text = std::string(kGpioOperationPrefix) + digits;
            row.cell(Column::I2CAdr).text = kGpioAddressText;
            row.cell(Column::DataWr).text = digits;
            row.cell(Column::DataRd).text = digits;
            std::int16_t count = digits.size() == 4 ? 2 : 4;
            row.RowWriteCount = count;
            row.RowReadCount = count;
            // The row compares its read-back with the expected digits, as a read row does.
            ++s.ReadOpCount;
            std::vector<std::uint8_t> bytes = decodeBytes(digits, static_cast<std::size_t>(count));
            row.gpio.portBData = bytes[0];
            row.gpio.portCData = bytes[1];
            if (count == 4) {
                row.gpio.hasEnables = true;
                row.gpio.portBEnable = bytes[2];
                row.gpio.portCEnable = bytes[3];
            }
            row.kind = RowKind::Gpio;
        } else if (text == "`IE") {
            op.text = operationText(RowKind::IntEnable);
            row.kind = RowKind::IntEnable;
        } else if (text == "`ID") {
            op.text = operationText(RowKind::IntDisable);
            row.kind = RowKind::IntDisable;
        } else if (text == "`ENDM") {
            op.text = operationText(RowKind::EndMain);
            row.kind = RowKind::EndMain;
            s.EndMainRow = row.lineNumber;
        } else if (text == "`EISTART") {
            op.text = operationText(RowKind::IntStart);
            row.kind = RowKind::IntStart;
            s.IntStartRow = row.lineNumber;
        } else if (text == "`EIEND") {
            op.text = operationText(RowKind::IntEnd);
            row.kind = RowKind::IntEnd;
            s.IntEndRow = row.lineNumber;
        }
        if (row.kind == RowKind::OtherCommand) {
            addFinding(row, "no command, the row does nothing",
                       inQuotes(text) + " is not a command" + commandHint(letter));
        }
    }

    // What a command of this letter looks like, for a line that is none.
    static std::string commandHint(char letter) {
        switch (letter) {
            case 'G':
                return ": `G takes 4 or 8 hex digits";
            case 'S':
                return ": `S takes nothing after it";
            case 'I':
                return ": the interrupt commands are `IE and `ID";
            case 'E':
                return ": the section commands are `ENDM, `EISTART and `EIEND";
            default:
                return "";
        }
    }

    // A command line that cannot be carried out: red "Operation" and "Comment" cells, and the
    // reason after the line's own comment.
    static void markError(ScriptRow& row, RowKind kind, std::string_view operation,
                          const char* reason) {
        row.kind = kind;
        row.cell(Column::Operation).text = operation;
        row.cell(Column::Operation).background = CellColor::Red;
        row.cell(Column::Comment).background = CellColor::Red;
        row.cell(Column::Comment).text += reason;
        addFinding(row, std::string(operation), reason);
    }

    static void loadDelay(ScriptRow& row, const std::string& valueText) {
        double value = 0;
        const char* error = nullptr;
        if (!parseNumber(valueText, value)) {
            error = "Delay Error: Time not numeric";
        } else {
            // Rounded to the nearest integer, halves to even, as the delay table holds it.
            double rounded = std::nearbyint(value);
            if (rounded > 32767) {
                error = "Delay Error: Time above 32767 mSec";
            } else if (rounded < -32768) {
                error = "Delay Error: Time below -32768 mSec";
            } else {
                row.RowDelay = static_cast<std::int16_t>(rounded);
            }
        }
        if (error != nullptr) {
            row.RowDelay = 0;
            markError(row, RowKind::DelayError, operationText(RowKind::DelayError), error);
            return;
        }
        row.kind = RowKind::Delay;
        row.cell(Column::Operation).text = "Cmd:Delay :" + valueText + ": mSec";
    }

    void loadData(ParsedScript& s, ScriptRow& row, std::string& text) {
        std::vector<std::string> fields(kFieldSlots);
        board::SplitFields(text, fields, ',');
        const std::string regGiven = trimmed(fields[0]);
        const std::string writeGiven = trimmed(fields[1]);
        const std::string readGiven = trimmed(fields[2]);
        std::string reg = regGiven;
        std::string write = writeGiven;
        std::string read = readGiven;
        if (reg.size() == 1) {
            reg.insert(0, 1, '0');
        }
        if (write.size() == 1 || write.size() == 3) {
            write.insert(0, 1, '0');
        }
        if (read.size() == 1 || read.size() == 3) {
            read.insert(0, 1, '0');
        }
        reg = upperAscii(reg);
        write = upperAscii(write);
        read = upperAscii(read);
        std::size_t regCount = byteCount(reg.size());
        std::size_t writeCount = byteCount(write.size());
        std::size_t readCount = byteCount(read.size());
        longestWrite_ = std::max(longestWrite_, write.size());
        longestRead_ = std::max(longestRead_, read.size());

        GridCell& op = row.cell(Column::Operation);
        GridCell& commentCell = row.cell(Column::Comment);
        row.cell(Column::RegAdr).text = reg;
        row.cell(Column::DataWr).text = write;
        row.cell(Column::DataRd).text = read;
        row.kind = RowKind::Data;
        op.text.clear();
        if (regCount >= 1) {
            op.text = " Reg:" + std::to_string(regCount);
        } else {
            commentCell.text.insert(0, "No Internal Register");
            op.code = 0;
            commentCell.code = 1;
        }

        // A packet carries the register + write bytes, and the read count, in one byte each;
        // a longer row would send a wrong count, so it is refused and sends nothing.
        if (regCount + writeCount > kMaxPacketBytes || readCount > kMaxPacketBytes) {
            row.kind = RowKind::DataError;
            op.text = operationText(RowKind::DataError);
            op.background = CellColor::Red;
            commentCell.background = CellColor::Red;
            commentCell.text += "Byte Count Error: more than 255 bytes";
            addFinding(row, "nothing sent", "a packet carries at most 255 bytes");
            return;
        }

        checkHexField(row, "register", regGiven, reg, regCount, false);
        checkHexField(row, "write data", writeGiven, write, writeCount, false);
        checkHexField(row, "expected data", readGiven, read, readCount, true);
        if (std::any_of(fields.begin() + 3, fields.end(),
                        [](const std::string& f) { return !trimmed(f).empty(); })) {
            addFinding(row, "the first three fields only",
                       "a data line has register, write data and expected data; further fields "
                       "are ignored");
        }
        if (writeCount >= 1 && !read.empty()) {
            addFinding(row, "a write, then a read compared with " + inQuotes(read),
                       "an expected-data field on a write row reads the register back after "
                       "the write");
        }

        row.RowRegCount = static_cast<std::int16_t>(regCount);
        row.regBytes = decodeBytes(reg, regCount);
        if (writeCount >= 1) {
            row.RowWriteCount = static_cast<std::int16_t>(writeCount);
            row.writeBytes = decodeBytes(write, writeCount);
            op.text += " W:" + std::to_string(writeCount);
        }
        if (!read.empty()) {
            ++s.ReadOpCount;
            row.cell(Column::ActRd).text = "--";
        }
        if (readCount >= 1) {
            row.RowReadCount = static_cast<std::int16_t>(readCount);
            row.expectedBytes = decodeBytes(read, readCount);
            op.text += " R:" + std::to_string(readCount);
        }
    }

    const LoadOptions& options_;
    std::size_t longestWrite_ = 2;
    std::size_t longestRead_ = 2;
};

}  // namespace

ScriptLoadResult parseScript(std::string_view fileBytes, const LoadOptions& options) {
    ScriptLoadResult result;
    std::vector<std::string> lines;
    if (!splitLines(fileBytes, lines, kMaxScriptLines)) {
        result.errorText = "Script file has more than " + std::to_string(kMaxScriptLines) +
                           " lines and was not loaded: a script holds at most " +
                           std::to_string(kMaxScriptLines) + " lines.";
        return result;
    }
    ParsedScript& s = result.script;
    s.loadingCaption = "[ " + options.fileTitle + " ]    Loading Script File .. Please Wait";
    s.caption = "[ " + options.fileTitle + " ]    Script IC Send / Receive";
    s.txtScriptLine1Text = board::timeText(options.loadTime);
    s.CurrentAddrText = board::HexText(options.defaultWriteAddr);
    s.rows.reserve(lines.size());
    Loader loader(options);
    // Scripts from the original platform are 8-bit text in its code page: the rows show them
    // as UTF-8, while scriptLines keeps every byte for the lines that recording writes back.
    std::string_view text = fileBytes;
    if (text.starts_with(kUtf8Bom)) {
        text.remove_prefix(kUtf8Bom.size());
    }
    const bool windows1252 = !board::isUtf8(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view raw = lines[i];
        if (i == 0 && raw.starts_with(kUtf8Bom)) {
            raw.remove_prefix(kUtf8Bom.size());
        }
        loader.loadLine(s, static_cast<int>(i + 1),
                        windows1252 ? board::utf8FromWindows1252(raw) : std::string(raw));
    }
    loader.finish(s);
    // The line-number cell of a row with findings tells them when the pointer rests on it.
    for (ScriptRow& row : s.rows) {
        std::string tip;
        for (const ScriptFinding& f : row.findings) {
            tip += (tip.empty() ? "Reads " : "\nReads ") + f.read + ": " + f.why;
        }
        row.cell(Column::Line).tip = std::move(tip);
    }
    s.scriptLines = std::move(lines);
    result.ok = true;
    return result;
}

namespace {

// A load that failed before parsing, with the reason shown to the user.
ScriptLoadResult refused(std::string reason) {
    ScriptLoadResult result;
    result.errorText = std::move(reason);
    return result;
}

}  // namespace

ScriptLoadResult loadScriptFile(const std::string& path, const LoadOptions& options) {
    // A folder opens for reading on some systems and reads as nothing: it is no script.
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        return refused("Cannot open script file " + path + ": " + std::strerror(EISDIR));
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return refused("Cannot open script file " + path + ": " + std::strerror(errno));
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) {
        return refused("Cannot read script file " + path);
    }
    return parseScript(bytes.view(), options);
}

std::vector<ScriptFinding> scriptFindings(const ParsedScript& script) {
    std::vector<ScriptFinding> all;
    for (const ScriptRow& row : script.rows) {
        all.insert(all.end(), row.findings.begin(), row.findings.end());
    }
    return all;
}

form::FileDialogRequest openScriptDialogRequest() {
    form::FileDialogRequest request;
    request.title = "Select Script File to Open";
    request.filters = {"Velmorix Script Files (*.txt)", "All Files (*)"};
    request.filterIndex = 0;
    request.defaultExt = "txt";
    return request;
}

}  // namespace script
