// Runs the built velmorix-i2c as a user would, against simulation files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "testing/ProgramRun.h"

namespace {

namespace fs = std::filesystem;

// Target 60: one-byte registers, 02 = 7A read-only, 10..12 = 41 FF 0A. Target A0: two-byte
// registers, 256 of them, FF except 0010 = 3C and 0011 = 3D. Nothing answers at 70.
const char* kBench = R"({ "name": "i2c", "targets": [
  { "address": "60", "register_bytes": 1, "fill": "00",
    "registers": { "02": "7A", "10": "41", "11": "FF", "12": "0A" }, "read_only": ["02"] },
  { "address": "A0", "register_bytes": 2, "size": 256, "fill": "FF",
    "registers": { "0010": "3C", "0011": "3D" } } ] })";

using apptest::ProgramRun;

class I2cProgram : public ::testing::Test {
  protected:
    void SetUp() override {
#if defined(_WIN32)
        GTEST_SKIP() << apptest::kNeedsPosixShell;
#endif
        apptest::writeFile(dir / "bench.json", kBench);
        apptest::writeFile(dir / "absent.json", R"({ "attached": false, "targets": [] })");
    }

    // Runs velmorix-i2c on the bench file unless the arguments name a bridge; stdin is not a
    // terminal, so set never asks.
    ProgramRun run(const std::string& args) {
        const std::string bridge =
            args.find("--bridge") == std::string::npos ? "--bridge sim:bench.json " : "";
        return apptest::runIn(dir, std::string("env -u VELMORIX_BRIDGE '") + VELMORIX_I2C_EXE +
                                       "' " + bridge + args + " </dev/null");
    }

    apptest::ScratchDir scratch{"velmorix-i2c"};
    const fs::path dir = scratch.path();
};

TEST_F(I2cProgram, Detect_GridOfPresentAndAbsentAddresses) {
    ProgramRun r = run("detect");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "     0  2  4  6  8  A  C  E\n"
              "00:\n"
              "10: -- -- -- -- -- -- -- --\n"
              "20: -- -- -- -- -- -- -- --\n"
              "30: -- -- -- -- -- -- -- --\n"
              "40: -- -- -- -- -- -- -- --\n"
              "50: -- -- -- -- -- -- -- --\n"
              "60: 60 -- -- -- -- -- -- --\n"
              "70: -- -- -- -- -- -- -- --\n"
              "80: -- -- -- -- -- -- -- --\n"
              "90: -- -- -- -- -- -- -- --\n"
              "A0: A0 -- -- -- -- -- -- --\n"
              "B0: -- -- -- -- -- -- -- --\n"
              "C0: -- -- -- -- -- -- -- --\n"
              "D0: -- -- -- -- -- -- -- --\n"
              "E0: -- -- -- -- -- -- -- --\n"
              "F0:\n"
              "Not probed: 00 (general call), 02-0E and F0-FE (reserved); -a probes them.\n");
    EXPECT_EQ(r.err, "");

    ProgramRun seven = run("detect -7 --first 08 --last 57");
    EXPECT_EQ(seven.status, 0) << seven.err;
    EXPECT_EQ(seven.out,
              "     0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F\n"
              "00:                         -- -- -- -- -- -- -- --\n"
              "10: -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- --\n"
              "20: -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- --\n"
              "30: 30 -- -- -- -- -- -- -- -- -- -- -- -- -- -- --\n"
              "40: -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- --\n"
              "50: 50 -- -- -- -- -- -- --\n"
              "60:\n"
              "70:\n");

    ProgramRun all = run("--json detect -a");
    const auto object = nlohmann::json::parse(all.out);
    EXPECT_EQ(object["found"], nlohmann::json({"60", "A0"}));
    EXPECT_EQ(object["skipped"], nlohmann::json::array());
    EXPECT_EQ(object["last"], "FE");
}

// A capture file that cannot be written is a usage error before anything is sent; on stdout the
// capture leaves the command's output to stderr.
TEST_F(I2cProgram, Capture_UnwritableRefusedBeforeSendingStdoutMovesOutput) {
    ProgramRun refused = run("--capture no/such.pcapng set 60 10 55");
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err,
              "velmorix-i2c: cannot write capture no/such.pcapng: No such file or directory\n");
    EXPECT_EQ(run("get 60 10").out, "41\n");

    ProgramRun piped = run("--capture - get 60 02");
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.err, "7A\n");
    EXPECT_EQ(piped.out.substr(0, 4), "\x0A\x0D\x0D\x0A");
}

TEST_F(I2cProgram, Commands_OutputErrorAndExitStatus) {
    struct Case {
        const char* args;
        int status;
        const char* out;
        const char* err;
    };
    const Case cases[] = {
        {"get 60 02", 0, "7A\n", ""},
        {"get 0x60 0x10 3", 0, "41 FF 0A\n", ""},
        {"--reg16 get A0 0x0010 2", 0, "3C 3D\n", ""},
        {"--reg16 get A0 0012", 0, "FF\n", ""},
        {"set 60 10 55", 0, "", ""},
        {"set -r 60 10 55 66", 0, "read back 55 66\n", ""},
        {"--reg16 set -y -r A0 00FF 01 02", 0, "read back 01 02\n", ""},
        {"set -r 60 01 11 22 33", 1, "",
         "velmorix-i2c: address 60: register 02: wrote 22, read back 7A\n"},
        {"get 70 02", 1, "", "velmorix-i2c: address 70: no acknowledge\n"},
        {"set -r 70 10 55", 1, "", "velmorix-i2c: address 70: no acknowledge\n"},
        {"--bridge sim:absent.json get 60 02", 3, "", "velmorix-i2c: no bridge board attached\n"},
        {"--bridge usb detect", 3, "", "velmorix-i2c: no bridge board attached\n"},
    };
    for (const Case& c : cases) {
        ProgramRun r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << ": " << r.err;
        EXPECT_EQ(r.out, c.out) << c.args;
        EXPECT_EQ(r.err, c.err) << c.args;
    }
}

TEST_F(I2cProgram, UsageErrors_ExitTwoWithOneLine) {
    for (const std::string args :
         {"", "frob", "get 60", "get 61 02", "get 100 02", "get zz 02", "get 60 100",
          "--reg16 get A0 10000", "get 60 02 0", "get 60 02 256", "set 60 10", "set 60 10 100",
          "detect --first 20 --last 10", "detect --first 11", "detect -7 --last 80",
          "dump 60 --last 100", "--bridge sim:missing.json get 60 02", "--bridge ftp get 60 02"}) {
        ProgramRun r = run(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.err.rfind("velmorix-i2c: ", 0), 0u) << args << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
        EXPECT_EQ(r.out, "") << args;
    }
    EXPECT_EQ(run("get 61 02").err,
              "velmorix-i2c: address 61 is a read address; give the write address 60\n");
    EXPECT_EQ(run("get 60 100").err,
              "velmorix-i2c: register 100 is out of range (00 to FF; --reg16 for two-byte "
              "registers)\n");
}

TEST_F(I2cProgram, Dump_GridWithTextAndUnreadableRegisters) {
    ProgramRun r = run("dump 60 --first 08 --last 1B");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "     0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F    0123456789ABCDEF\n"
              "00:                         00 00 00 00 00 00 00 00            ........\n"
              "10: 41 FF 0A 00 00 00 00 00 00 00 00 00                A.?.........\n");

    ProgramRun wide = run("--reg16 dump A0 --first 0010 --last 0011");
    EXPECT_EQ(wide.status, 0) << wide.err;
    EXPECT_EQ(wide.out,
              "       0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F    0123456789ABCDEF\n"
              "0010: 3C 3D                                              <=\n");

    ProgramRun absent = run("dump 70 --last 0F");
    EXPECT_EQ(absent.status, 1);
    EXPECT_EQ(absent.out,
              "     0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F    0123456789ABCDEF\n"
              "00: XX XX XX XX XX XX XX XX XX XX XX XX XX XX XX XX    XXXXXXXXXXXXXXXX\n");
    EXPECT_EQ(absent.err, "velmorix-i2c: address 70: no acknowledge\n");
}

TEST_F(I2cProgram, Json_OneObjectPerCommandParsedBack) {
    using nlohmann::json;
    json get = json::parse(run("--json get 60 10 2").out);
    EXPECT_EQ(get, json::parse(R"({"command":"get","address":"60","register":"10","count":2,
                                   "data":["41","FF"],"ok":true})"));
    json set = json::parse(run("set --json -r 60 02 55").out);
    EXPECT_EQ(set, json::parse(R"({"command":"set","address":"60","register":"02","data":["55"],
                                   "acknowledged":3,"expected_acknowledged":3,"read_back":["7A"],
                                   "ok":false,
                                   "error":"address 60: register 02: wrote 55, read back 7A"})"));
    json dump = json::parse(run("--reg16 --json dump A0 --last 000F").out);
    EXPECT_EQ(dump["registers"].size(), 16u);
    EXPECT_EQ(dump["registers"]["000F"], "FF");
    json absent = json::parse(run("--json dump 70 --first 00 --last 01").out);
    EXPECT_EQ(absent["registers"], json::parse(R"({"00":null,"01":null})"));
    EXPECT_EQ(absent["ok"], false);
    json noBoard = json::parse(run("--bridge sim:absent.json --json detect").out);
    EXPECT_EQ(noBoard["error"], "no bridge board attached");
}

TEST_F(I2cProgram, Trace_ShowsThePacketsOnTheWire) {
    ProgramRun r = run("--trace --reg16 get A0 0010 2");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "OUT 02: 02 A1 00 10\nIN  82: 02 3C 3D\n");
    ProgramRun set = run("set 60 10 55 --trace");
    EXPECT_EQ(set.err, "OUT 02: 02 60 10 55\nIN  82: 03\n");
}

TEST_F(I2cProgram, HelpAndVersion) {
    ProgramRun help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("detect"), std::string::npos) << help.out;
    ProgramRun setHelp = run("set --help");
    EXPECT_NE(setHelp.out.find("--read-back"), std::string::npos) << setHelp.out;
    ProgramRun version = run("--version");
    EXPECT_EQ(version.out, "velmorix-i2c 3.1.6\n");
}

}  // namespace
