// velmorix-script in this process, on a simulated board that is missing or leaves on cue: a bench
// fault ends the run with status 3 and names the row, a wrong reply alone with status 1.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runner/ScriptRunner.h"
#include "wd_utils.h"
#include "wdu_sim.h"

namespace {

namespace fs = std::filesystem;

// The command that reads register 05 of target 60; the board leaves once it was sent.
void pullAfterReadOf05(std::uint32_t pipe, std::uint32_t read, const std::uint8_t* bytes,
                       std::uint32_t length, std::uint32_t status, void*) {
    if (pipe == 2 && read == 0 && status == WD_STATUS_SUCCESS && length == 3 && bytes[0] == 0x01 &&
        bytes[1] == 0x61 && bytes[2] == 0x05) {
        wdu::simulatedBoard()->detach();
    }
}

TEST(RunnerBoard, BoardMissingOrLeaving_ExitThreeNamingTheRow) {
    struct Case {
        const char* name;
        bool attached;
        bool pullAtSecondRow;
        const char* secondRow;
        int status;
        std::string errLine;  // "" when stderr must be empty
    };
    const std::vector<Case> cases = {
        {"no board from the start", false, false, "05,,11", 3,
         "velmorix-script: Line 001: no board"},
        {"board pulled in row 2", true, true, "05,,11", 3, "velmorix-script: Line 002: board left"},
        {"board throughout, a reply differs", true, false, "05,,12", 1, ""},
    };
    const fs::path dir =
        fs::temp_directory_path() / ("velmorix-runner-board-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        wdu::resetForTests();
        const fs::path bench = dir / "bench.json";
        std::ofstream(bench) << R"({ "attached": )" << (c.attached ? "true" : "false")
                             << R"(, "targets": [ { "address": "60", "registers": )"
                             << R"({ "02": "7A", "05": "11" } } ] })";
        const fs::path script = dir / "s.txt";
        std::ofstream(script, std::ios::binary) << "02,,7A\r\n"
                                                << c.secondRow << "\r\n02,,7A\r\n`ENDM\r\n";
        runner::RunnerOptions options;
        options.script = script.string();
        options.bridge = "sim:" + bench.string();
        WDU_SetTransferTrace(c.pullAtSecondRow ? pullAfterReadOf05 : nullptr, nullptr);
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(runner::runScript(options, out, err, false), c.status) << err.str();
        WDU_SetTransferTrace(nullptr, nullptr);
        EXPECT_EQ(err.str(), c.errLine.empty() ? "" : c.errLine + "\n");
    }
    wdu::resetForTests();
    fs::remove_all(dir);
}

}  // namespace
