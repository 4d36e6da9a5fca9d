// Running one of our built programs from a test, as a user would from a shell, in a scratch folder.
#pragma once

#include <gtest/gtest.h>
#if defined(_WIN32)
#include <process.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

namespace apptest {

// What a program run left behind: its exit status (-1 when it did not exit normally) and output.
struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

// The whole file as bytes; empty when it cannot be read.
inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Replaces the file with the text, byte for byte; a file that cannot be written stays as it was.
inline void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// An empty folder under the temporary folder, named after the process and the running test so
// that parallel test processes never share one; removed with everything in it on destruction.
class ScratchDir {
  public:
    // Creates the folder afresh (a leftover of an earlier crashed run is emptied); throws as
    // std::filesystem does when the temporary folder is not writable, failing the test.
    explicit ScratchDir(const std::string& prefix)
        : folder(std::filesystem::temp_directory_path() /
                 (prefix + "-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    // Removes the folder; a folder that cannot be removed is left behind rather than throwing.
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    // The folder's full path.
    const std::filesystem::path& path() const { return folder; }

  private:
    std::filesystem::path folder;
};

// Why a test that runs a program through runIn is skipped on Windows.
inline constexpr const char* kNeedsPosixShell =
    "runs the program through a POSIX shell (cd, env -u, redirections), which Wine's cmd.exe "
    "does not offer; scripts/windows.sh runs the .exe under Wine instead";

// Where a run's standard error goes: its own err.txt, or interleaved into out.txt.
enum class ErrorStream { Separate, IntoOut };

// Runs the shell command line in the folder with stdout in out.txt (and stderr in err.txt or
// with stdout); the status is the exit code, -1 when the shell did not exit normally.
inline ProgramRun runIn(const std::filesystem::path& folder, const std::string& commandLine,
                        ErrorStream errors = ErrorStream::Separate) {
    const std::string line =
        "cd '" + folder.string() + "' && " + commandLine +
        (errors == ErrorStream::Separate ? " >out.txt 2>err.txt" : " >out.txt 2>&1");
    ProgramRun result;
    const int raw = std::system(line.c_str());
#if defined(_WIN32)
    result.status = raw;
#else
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    result.out = readFile(folder / "out.txt");
    if (errors == ErrorStream::Separate) {
        result.err = readFile(folder / "err.txt");
    }
    return result;
}

}  // namespace apptest
