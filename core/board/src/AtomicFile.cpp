#include "board/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#if defined(_WIN32)
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace board {

namespace {

#if defined(_WIN32)
// Binary mode: the CR LF in the content is ours, and the runtime must not add another CR.
constexpr int kCreateFlags = _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT;
constexpr int kAppendFlags = _O_WRONLY | _O_CREAT | _O_APPEND | _O_BINARY | _O_NOINHERIT;
using WriteCount = int;

WriteCount writeSome(int fd, const char* data, std::size_t length) {
    return ::_write(fd, data, static_cast<unsigned>(length));
}

int syncFile(int fd) {
    return ::_commit(fd);
}

int closeFile(int fd) {
    return ::_close(fd);
}

int removeFile(const char* path) {
    return ::_unlink(path);
}

int processId() {
    return ::_getpid();
}

// The C runtime's rename refuses an existing target; MoveFileEx replaces it in one step.
int renameOver(const char* from, const char* to) {
    if (::MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return 0;
    }
    errno = ::GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return -1;
}

// The new file keeps the default attributes; Windows has no mode bits to carry over.
int keepPermissions(int, const std::string&) {
    return 0;
}

// Links are not followed: the file at the path itself is replaced.
std::string replaceTarget(const std::string& path) {
    return path;
}
#else
constexpr int kCreateFlags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
constexpr int kAppendFlags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC;
using WriteCount = ssize_t;

WriteCount writeSome(int fd, const char* data, std::size_t length) {
    return ::write(fd, data, length);
}

int syncFile(int fd) {
    return ::fsync(fd);
}

int closeFile(int fd) {
    return ::close(fd);
}

int removeFile(const char* path) {
    return ::unlink(path);
}

int processId() {
    return ::getpid();
}

int renameOver(const char* from, const char* to) {
    return ::rename(from, to);
}

// Gives the new file the permissions of the file it replaces (none to keep for a new file);
// returns 0 or the errno. A replace that cannot keep them fails: it would widen or narrow who
// may read the file without a word.
int keepPermissions(int fd, const std::string& target) {
    struct stat old {};
    if (::stat(target.c_str(), &old) != 0) {
        return 0;
    }
    return ::fchmod(fd, old.st_mode & 07777) == 0 ? 0 : errno;
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
#endif

// Written in blocks, so a fault can strike in the middle of a file.
constexpr std::size_t kWriteBlock = 512;

bool writeAll(int fd, std::string_view data, const WriteFault& fault) {
    std::size_t written = 0;
    while (written < data.size()) {
        const std::size_t length = std::min(kWriteBlock, data.size() - written);
        if (fault) {
            if (const int error = fault(written, length); error != 0) {
                errno = error;
                return false;
            }
        }
        const WriteCount n = writeSome(fd, data.data() + written, length);
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

}  // namespace

int replaceFileAtomically(const std::string& path, std::string_view content, bool* created,
                          const FileFault& fault) {
    if (created != nullptr) {
        *created = false;
    }
    const std::string target = replaceTarget(path);
    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = target + ".tmp" + std::to_string(processId()) + "_" + std::to_string(counter++);
        fd = ::open(temp.c_str(), kCreateFlags, 0666);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        return errno;
    }
    if (created != nullptr) {
        *created = true;
    }
    int failure = fault.keepPermissions != 0 ? fault.keepPermissions : keepPermissions(fd, target);
    if (failure == 0 && !(writeAll(fd, content, fault.write) && syncFile(fd) == 0)) {
        failure = errno;
    }
    if (closeFile(fd) != 0 && failure == 0) {
        failure = errno;
    }
    if (failure == 0 && renameOver(temp.c_str(), target.c_str()) != 0) {
        failure = errno;
    }
    if (failure != 0) {
        removeFile(temp.c_str());
    }
    return failure;
}

int appendToFile(const std::string& path, std::string_view content, bool* opened,
                 const FileFault& fault) {
    if (opened != nullptr) {
        *opened = false;
    }
    const int fd = ::open(path.c_str(), kAppendFlags, 0666);
    if (fd < 0) {
        return errno;
    }
    if (opened != nullptr) {
        *opened = true;
    }
    int failure = writeAll(fd, content, fault.write) ? 0 : errno;
    if (closeFile(fd) != 0 && failure == 0) {
        failure = errno;
    }
    return failure;
}

}  // namespace board
