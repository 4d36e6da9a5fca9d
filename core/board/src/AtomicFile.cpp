#include "board/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace board {

namespace {

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

int replaceFileAtomically(const std::string& path, std::string_view content, bool* created,
                          const WriteFault& fault) {
    if (created != nullptr) {
        *created = false;
    }
    const std::string target = replaceTarget(path);
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
        return errno;
    }
    if (created != nullptr) {
        *created = true;
    }
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        // Keep the permissions of the file being replaced; failure here is harmless.
        (void)::fchmod(fd, old.st_mode & 07777);
    }
    bool ok = writeAll(fd, content, fault) && ::fsync(fd) == 0;
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
        return savedErrno;
    }
    return 0;
}

}  // namespace board
