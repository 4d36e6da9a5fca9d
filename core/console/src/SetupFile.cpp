#include "console/SetupFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

namespace console {

namespace {

constexpr std::string_view kAddressLabel = "I2C ADDRESS ,";
// The address starts at the next 14-column print zone after the 13-character label.
constexpr std::string_view kPrintZoneBlank = " ";
constexpr std::string_view kCrLf = "\r\n";
constexpr const char* kColumnNames[] = {"Adr", "Description", "Write", "Read"};
constexpr std::size_t kWriteBlock = 512;

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
    const std::string line = field(text) + std::string(kCrLf);
    FieldReader reader(line);
    const std::optional<std::string> value = reader.next();
    return value && *value == text;
}

std::string rowName(int row) {
    return "row " + std::to_string(row + 1) + " of " + std::to_string(SetupFile::kRows);
}

std::string systemError(int error) {
    return std::strerror(error);
}

std::string writeError(const std::string& path, int error) {
    return "Cannot save setup file " + path + ": " + systemError(error);
}

bool writeAll(int fd, std::string_view data, const SetupFile::WriteFault& fault) {
    std::size_t written = 0;
    while (written < data.size()) {
        const std::size_t length = std::min(kWriteBlock, data.size() - written);
        if (fault) {
            if (const int error = fault(written, length); error != 0) {
                errno = error;
                return false;
            }
        }
        const ssize_t n = ::write(fd, data.data() + written, length);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

// A symbolic link is replaced through its target, so the link itself survives.
std::string replaceTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        std::error_code ec;
        std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
        if (!ec) {
            return resolved.string();
        }
    }
    return path;
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
        return refused("the file has " + std::to_string(size) +
                       " bytes; a setup file is never larger than 64 KiB");
    }
    // The size on disk may not tell (a pipe, a file still growing): read no more than the limit.
    std::string bytes(kMaxBytes + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        return refused(systemError(errno));
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > kMaxBytes) {
        return refused(
            "the file has more than 65536 bytes; a setup file is never larger than "
            "64 KiB");
    }
    return parse(bytes, path);
}

std::string SetupFile::text() const {
    std::string out;
    out.reserve(2048);
    out.append(kAddressLabel).append(kPrintZoneBlank).append(field(address)).append(kCrLf);
    for (const Row& row : rows) {
        out.append(field(row.registerAddress)).append(",");
        out.append(field(row.description)).append(",");
        out.append(field(row.writeByte)).append(",");
        out.append(field(row.readByte)).append(kCrLf);
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
    const std::string target = replaceTarget(path);
    std::error_code ec;
    if (std::filesystem::is_directory(target, ec)) {
        return {false, writeError(path, EISDIR)};
    }
    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = target + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        return {false, writeError(path, errno)};
    }
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        // Keep the permissions of the file being replaced; failure here is harmless.
        (void)::fchmod(fd, old.st_mode & 07777);
    }
    bool ok = writeAll(fd, text(), fault) && ::fsync(fd) == 0;
    int savedErrno = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return {false, writeError(path, savedErrno)};
    }
    return {true, {}};
}

}  // namespace console
