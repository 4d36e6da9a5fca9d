// velmorix-i2c with a register map, run as a user would against a simulation file: names, fields,
// the masked write at the packet level (its --trace), and usage errors that send nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "testing/ProgramRun.h"

namespace {

// Target 60: CTRL (10) = A1, STATUS (11) = 86 (OVF, ERR and IRQ_EN set), THRESH (20, 21) = 01 23.
const char* kBench = R"({ "targets": [
  { "address": "60", "registers": { "02": "7A", "10": "A1", "11": "86", "20": "01", "21": "23" },
    "read_only": ["02"] } ] })";

using apptest::ProgramRun;

class I2cMapProgram : public ::testing::Test {
  protected:
    void SetUp() override {
#if defined(_WIN32)
        GTEST_SKIP() << apptest::kNeedsPosixShell;
#endif
        apptest::writeFile(dir / "bench.json", kBench);
    }
    ProgramRun run(const std::string& args) {
        return apptest::runIn(dir, std::string("env -u VELMORIX_BRIDGE '") + VELMORIX_I2C_EXE +
                                       "' --bridge sim:bench.json --map '" + VELMORIX_MAPS_DIR +
                                       "/sensor2009.xml' " + args + " </dev/null");
    }

    apptest::ScratchDir scratch{"velmorix-i2c-map"};
    const std::filesystem::path dir = scratch.path();
};

TEST_F(I2cMapProgram, Get_ByNameOrAddress_DecodesTheFields) {
    ProgramRun text = run("get 60 ctrl");
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out,
              "10 CTRL = A1\n"
              "  0      EN   = 1\n"
              "  3..2   MODE = 0 STANDBY\n"
              "  7..4   GAIN = 0xA\n");
    ProgramRun json = run("--json get 60 20");
    EXPECT_EQ(json.status, 0) << json.err;
    const auto object = nlohmann::json::parse(json.out);
    EXPECT_EQ(object["name"], "THRESH");
    EXPECT_EQ(object["data"], (nlohmann::json{"01", "23"}));
    EXPECT_EQ(object["fields"][0], (nlohmann::json{{"name", "LEVEL"},
                                                   {"msb", 11},
                                                   {"lsb", 0},
                                                   {"value", 0x123},
                                                   {"enum", nullptr},
                                                   {"access", "read-write"}}));
}

TEST_F(I2cMapProgram, Set_OneReadOneMaskedWriteAndAReadBackPerRegister) {
    ProgramRun r = run("--trace set -y 60 CTRL.MODE=CONTINUOUS STATUS.OVF=1 CTRL.GAIN=3");
    EXPECT_EQ(r.status, 0) << r.err;
    // STATUS.OVF is write-1-to-clear: the chip keeps no bit of it to read back.
    EXPECT_EQ(r.out, "CTRL: A1 -> 39, read back 39\nSTATUS: 86 -> 82\n");
    EXPECT_EQ(r.err,
              "OUT 02: 01 61 10\nIN  82: 01 A1\n"
              "OUT 02: 02 60 10 39\nIN  82: 03\n"
              "OUT 02: 01 61 10\nIN  82: 01 39\n"
              "OUT 02: 01 61 11\nIN  82: 01 86\n"
              "OUT 02: 02 60 11 82\nIN  82: 03\n");

    ProgramRun json = run("--json --no-verify set 60 THRESH.LEVEL=0x456");
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(nlohmann::json::parse(json.out), (nlohmann::json{{"command", "set"},
                                                               {"address", "60"},
                                                               {"register", "20"},
                                                               {"name", "THRESH"},
                                                               {"before", "0123"},
                                                               {"after", "0456"},
                                                               {"ok", true}}));
}

// On a target made from the map, as the chip would answer: the bytes on the bus show that no bit
// changes that nobody named.
TEST_F(I2cMapProgram, RealChip_OnlyNamedBitsChange) {
    struct Case {
        const char* args;
        int status;
        const char* out;
        const char* trace;
    };
    const Case cases[] = {
        // A register-level oneToClear: the other flag is written as 0, not as read.
        {"set -y 90 STATUS.DRDY=1", 0, "STATUS: 03 -> 01\n",
         "OUT 02: 01 91 02\nIN  82: 01 03\nOUT 02: 02 90 02 01\nIN  82: 03\n"},
        // A whole value, then a field; the read-back checks only the bits the chip keeps.
        {"set -y 90 CTRL=0x24 CTRL.EN=1", 0, "CTRL: (not read) -> 25, read back 05\n",
         "OUT 02: 02 90 01 25\nIN  82: 03\nOUT 02: 01 91 01\nIN  82: 01 05\n"},
        // A register a read clears is not read, in a dump either.
        {"dump 90 --first 05 --last 07", 0,
         "     0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F    0123456789ABCDEF\n"
         "00:                80 -- 00                                 ?-.\n"
         "\n06  INT = -- (not read: a read changes it)\n",
         "OUT 02: 01 91 05\nIN  82: 01 80\nOUT 02: 01 91 07\nIN  82: 01 00\n"},
    };
    for (const Case& c : cases) {
        ProgramRun r = apptest::runIn(
            dir, std::string("env -u VELMORIX_BRIDGE '") + VELMORIX_I2C_EXE +
                     "' --bridge 'sim:" + VELMORIX_SIM_EXAMPLES + "/bench.json' --map '" +
                     VELMORIX_SIM_EXAMPLES + "/thermo.svd' --trace " + c.args + " </dev/null");
        EXPECT_EQ(r.status, c.status) << c.args << ": " << r.err;
        EXPECT_EQ(r.out, c.out) << c.args;
        EXPECT_EQ(r.err, c.trace) << c.args;
    }
}

TEST_F(I2cMapProgram, UsageErrors_ExitTwoAndSendNothing) {
    for (const char* args : {"set 60 ID=1", "set 60 STATUS.READY=1", "set 60 CTRL.MODE=4",
                             "set 60 CTRL.MODE=FAST", "set 60 CTRL.SPEED=1", "get 60 NOPE"}) {
        ProgramRun r = run(std::string("--trace ") + args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.err.find("OUT "), std::string::npos) << args << ": " << r.err;
    }
    ProgramRun bad =
        apptest::runIn(dir, std::string("'") + VELMORIX_I2C_EXE + "' --map bench.json map");
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err, "velmorix-i2c: bench.json:1: (XML): Start tag expected, '<' not found\n");
}

}  // namespace
