#include "tools/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace tools {

namespace {

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Renaming over a symbolic link would replace the link, so the file it points to is replaced.
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

std::string reason(const std::string& path, int error) {
    return "cannot write " + path + ": " + std::strerror(error);
}

}  // namespace

bool writeFileAtomically(const std::string& path, std::string_view text, std::string& error) {
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
        error = reason(path, errno);
        return false;
    }
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        // The new file keeps the permissions of the one it replaces; failure here is harmless.
        (void)::fchmod(fd, old.st_mode & 07777);
    }
    bool ok = writeAll(fd, text) && ::fsync(fd) == 0;
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
        error = reason(path, savedErrno);
    }
    return ok;
}

}  // namespace tools
