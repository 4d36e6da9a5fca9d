// Replacing a file whole: a step that fails leaves the old file byte for byte, no temporary file
// behind, and says which error stopped it.
#include "board/AtomicFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace board {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TEST(AtomicFile, FailedStep_ReportedOldFileKeptNoTemporary) {
    const fs::path dir = fs::path(testing::TempDir()) / "atomic_file_test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path path = dir / "setup.kvx";
    const std::string old = "old contents\r\n";
    std::ofstream(path, std::ios::binary) << old;

    FileFault permissions;
    permissions.keepPermissions = EPERM;
    struct Case {
        const char* step;
        FileFault fault;
        int error;
    };
    const Case cases[] = {
        {"write", FileFault([](std::size_t, std::size_t) { return ENOSPC; }), ENOSPC},
        {"permissions", permissions, EPERM},
    };
    for (const Case& c : cases) {
        bool created = false;
        EXPECT_EQ(replaceFileAtomically(path.string(), "new contents\r\n", &created, c.fault),
                  c.error)
            << c.step;
        EXPECT_TRUE(created) << c.step;
        EXPECT_EQ(readFile(path), old) << c.step;
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
            << c.step;
    }
    EXPECT_EQ(replaceFileAtomically(path.string(), "new contents\r\n"), 0);
    EXPECT_EQ(readFile(path), "new contents\r\n");
    fs::remove_all(dir);
}

}  // namespace
}  // namespace board
