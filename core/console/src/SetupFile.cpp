#include "console/SetupFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "board/AtomicFile.h"
#include "board/HexText.h"
#include "board/TextEncoding.h"
#include "board/TextHelpers.h"

namespace console {

namespace {

constexpr std::string_view kAddressLabel = "I2C ADDRESS ,";
// The address starts at the next 14-column print zone after the 13-character label.
constexpr std::string_view kPrintZoneBlank = " ";
constexpr const char* kColumnNames[] = {"Adr", "Description", "Write", "Read"};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// The file as one stream of fields: a field ends at a comma, a line end (CR LF, LF or CR) or the
// end of the text; blanks in front of it are skipped; one that begins with a double quote runs
// to the next double quote, and whatever follows that up to the field's end is dropped.
class FieldReader {
  public:
    explicit FieldReader(std::string_view text) : text_(text) {}

    // The next field, or nothing when the text is used up. A comma at the very end still
    // promises one more (empty) field.
    std::optional<std::string> next() {
        if (pos_ >= text_.size() && !afterComma_) {
            return std::nullopt;
        }
        afterComma_ = false;
        while (pos_ < text_.size() && isBlank(text_[pos_])) {
            ++pos_;
        }
        std::string value;
        if (pos_ < text_.size() && text_[pos_] == '"') {
            const std::size_t close = text_.find('"', pos_ + 1);
            const std::size_t end = close == std::string_view::npos ? text_.size() : close;
            value.assign(text_.substr(pos_ + 1, end - pos_ - 1));
            pos_ = close == std::string_view::npos ? text_.size() : close + 1;
            skipToFieldEnd();
        } else {
            const std::size_t start = pos_;
            skipToFieldEnd();
            value.assign(text_.substr(start, fieldEnd_ - start));
        }
        return value;
    }

  private:
    // Moves past the rest of the field and its terminator; fieldEnd_ marks where it stopped.
    void skipToFieldEnd() {
        while (pos_ < text_.size() && text_[pos_] != ',' && !isLineEnd(text_[pos_])) {
            ++pos_;
        }
        fieldEnd_ = pos_;
        if (pos_ >= text_.size()) {
            return;
        }
        if (text_[pos_] == ',') {
            afterComma_ = true;
            ++pos_;
        } else if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') {
            pos_ += 2;
        } else {
            ++pos_;
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t fieldEnd_ = 0;
    bool afterComma_ = false;
};

bool needsQuotes(std::string_view text) {
    return text.find_first_of(",\r\n") != std::string_view::npos ||
           (!text.empty() && (isBlank(text.front()) || text.front() == '"'));
}

// A quoted text ends at its next double quote, so one that holds a double quote of its own goes
// out with single quotes in their place: it is then not kept exactly, but it stays one field and
// every field after it still reads into its own box.
std::string field(std::string_view text) {
    if (!needsQuotes(text)) {
        return std::string(text);
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c == '"' ? '\'' : c;
    }
    return quoted + "\"";
}

bool readsBack(std::string_view text) {
    const std::string line = field(text) + std::string(board::kCrLf);
    FieldReader reader(line);
    const std::optional<std::string> value = reader.next();
    return value && *value == text;
}

// A row as the window labels it: by its register, "row 0B".
std::string rowName(int row) {
    return "row " + board::HexByteText(static_cast<std::uint8_t>(row));
}

std::string tooLarge(const std::string& size) {
    return "the file has " + size + " bytes; a setup file is never larger than " +
           std::to_string(SetupFile::kMaxBytes) + " bytes";
}

std::string systemError(int error) {
    return std::strerror(error);
}

std::string writeError(const std::string& path, int error) {
    return "Cannot save setup file " + path + ": " + systemError(error);
}

}  // namespace

SetupFile::ReadResult SetupFile::parse(std::string_view text, const std::string& path) {
    FieldReader reader(text);
    const auto missing = [&path](const std::string& what) {
        return ReadResult{false, "Setup file " + path + " ends early: " + what + " is missing"};
    };
    SetupFile read;
    // The first field is the "I2C ADDRESS" label: whatever stands there is accepted.
    const std::optional<std::string> label = reader.next();
    const std::optional<std::string> addressText = reader.next();
    if (!label || !addressText) {
        return missing("the address");
    }
    read.address = *addressText;
    for (int i = 0; i < kRows; ++i) {
        Row& row = read.rows[i];
        for (std::string* box :
             {&row.registerAddress, &row.description, &row.writeByte, &row.readByte}) {
            std::optional<std::string> value = reader.next();
            if (!value) {
                return missing(rowName(i));
            }
            *box = std::move(*value);
        }
    }
    *this = std::move(read);
    return {true, {}};
}

SetupFile::ReadResult SetupFile::read(const std::string& path) {
    const auto refused = [&path](const std::string& why) {
        return ReadResult{false, "Cannot open setup file " + path + ": " + why};
    };
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        return refused(systemError(EISDIR));
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return refused(systemError(errno));
    }
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec && size > kMaxBytes) {
        return refused(tooLarge(std::to_string(size)));
    }
    // The size on disk may not tell (a pipe, a file still growing): read no more than the limit,
    // in pieces, so that a small file takes no more memory than it needs.
    std::string bytes;
    std::array<char, 64 * 1024> piece;
    while (bytes.size() <= kMaxBytes) {
        in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
        bytes.append(piece.data(), static_cast<std::size_t>(in.gcount()));
        if (!in) {
            break;
        }
    }
    if (in.bad()) {
        return refused(systemError(errno));
    }
    if (bytes.size() > kMaxBytes) {
        return refused(tooLarge("more than " + std::to_string(kMaxBytes)));
    }
    return parse(board::utf8FromFileBytes(bytes), path);
}

std::string SetupFile::text() const {
    std::string out;
    out.reserve(2048);
    out.append(kAddressLabel).append(kPrintZoneBlank).append(field(address)).append(board::kCrLf);
    for (const Row& row : rows) {
        out.append(field(row.registerAddress)).append(",");
        out.append(field(row.description)).append(",");
        out.append(field(row.writeByte)).append(",");
        out.append(field(row.readByte)).append(board::kCrLf);
    }
    return out;
}

std::vector<std::string> SetupFile::unkeepableTexts() const {
    std::vector<std::string> boxes;
    if (!readsBack(address)) {
        boxes.push_back("the address");
    }
    for (int i = 0; i < kRows; ++i) {
        const Row& row = rows[i];
        const std::string* texts[] = {&row.registerAddress, &row.description, &row.writeByte,
                                      &row.readByte};
        for (int column = 0; column < 4; ++column) {
            if (!readsBack(*texts[column])) {
                boxes.push_back(rowName(i) + ", " + kColumnNames[column]);
            }
        }
    }
    return boxes;
}

SetupFile::WriteResult SetupFile::write(const std::string& path, const WriteFault& fault) const {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        return {false, writeError(path, EISDIR)};
    }
    const std::string utf8 = text();
    const std::optional<std::string> legacy = board::windows1252FromUtf8(utf8);
    // Windows-1252 bytes that happen to be UTF-8 as well would read back as other characters.
    const bool savedAsUtf8 = !legacy || (*legacy != utf8 && board::isUtf8(*legacy));
    const std::string& bytes = savedAsUtf8 ? utf8 : *legacy;
    if (bytes.size() > kMaxBytes) {
        return {false,
                "Cannot save setup file " + path + ": " + tooLarge(std::to_string(bytes.size()))};
    }
    if (const int error = board::replaceFileAtomically(path, bytes, nullptr, fault); error != 0) {
        return {false, writeError(path, error)};
    }
    return {true, {}, savedAsUtf8};
}

}  // namespace console
