// Runs part of a test in a forked child, for what the test process itself may not do (drop
// root, say). POSIX only.
#pragma once

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace wdutest {

// ThreadSanitizer cannot follow threads that a forked child of a threaded process starts (it
// reuses the parent's thread ids): a test whose child starts the layer's threads skips under it.
#if defined(__SANITIZE_THREAD__)
inline constexpr bool kChildThreadsTraced = false;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
inline constexpr bool kChildThreadsTraced = false;
#else
inline constexpr bool kChildThreadsTraced = true;
#endif
#else
inline constexpr bool kChildThreadsTraced = true;
#endif

// Runs body in a forked child and returns what it wrote to its pipe, or why the child failed.
// The child ends with _exit: nothing of the test process runs twice.
template <typename Body>
std::string inChild(Body body) {
    int ends[2];
    if (::pipe(ends) != 0) {
        return "no pipe";
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ends[0]);
        const std::string said = body();
        const bool written =
            ::write(ends[1], said.data(), said.size()) == static_cast<ssize_t>(said.size());
        ::_exit(written ? 0 : 1);
    }
    ::close(ends[1]);
    std::string said;
    char chunk[256];
    for (ssize_t n; (n = ::read(ends[0], chunk, sizeof chunk)) > 0;) {
        said.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(ends[0]);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return "the child failed: " + said;
    }
    return said;
}

}  // namespace wdutest
