// Runs the built bridge-emulator as a user would: velmorix-script on the libusb backend against
// the emulated board must behave as on the simulation backend, and a pulled cable must end the
// run as a board that left.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "testing/ProgramRun.h"

namespace {

namespace fs = std::filesystem;
using apptest::ProgramRun;

// Target 60 with an interrupt on PC4, so that a GPIO read-back depends on the writes before it.
const char* kBench = R"({ "name": "emulated", "inputs": { "PB": "FF", "PC": "FF" },
  "targets": [ { "address": "60", "register_bytes": 1, "fill": "00",
    "registers": { "02": "7A" }, "read_only": ["02"],
    "interrupt": { "pin": "PC4", "set_by_write": "10", "cleared_by_read": "11" } } ] })";

const char* kScript = "02,,7A # chip id\r\n10,55\r\n10,,55\r\n`GFFFF\r\n11,,00\r\n`ENDM\r\n";

class EmulatorProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        apptest::writeFile(dir / "bench.json", kBench);
        apptest::writeFile(dir / "s.txt", kScript);
    }

    // Runs the command line in the scratch folder; the status as a shell reports it.
    ProgramRun run(const std::string& command) {
        return apptest::runIn(dir, "env -u VELMORIX_BRIDGE -u LD_PRELOAD " + command);
    }
    static std::string emulator(const std::string& options) {
        return std::string("'") + BRIDGE_EMULATOR_EXE + "' --timeout 60 " + options + " -- '" +
               VELMORIX_SCRIPT_EXE + "' --bridge usb ";
    }

    apptest::ScratchDir scratch{"bridge-emulator"};
    const fs::path dir = scratch.path();
};

TEST_F(EmulatorProgram, ScriptOnUsb_SameGridExitAndTraceAsOnSimulation) {
    const std::string args = "--grid - --trace s.txt";
    const ProgramRun usb = run(emulator("--sim bench.json") + args);
    const ProgramRun sim =
        run(std::string("'") + VELMORIX_SCRIPT_EXE + "' --bridge sim:bench.json " + args);
    EXPECT_EQ(usb.status, sim.status);
    EXPECT_EQ(usb.status, 1);  // the GPIO row sees the interrupt pin low
    EXPECT_EQ(usb.out, sim.out);
    EXPECT_EQ(usb.err, sim.err);
    EXPECT_NE(usb.err.find("IN  82: 01 7A"), std::string::npos) << usb.err;
}

TEST_F(EmulatorProgram, CablePulledDuringLoop_ExitThreeEveryTime) {
    for (int attempt = 1; attempt <= 20; ++attempt) {
        const ProgramRun r =
            run(emulator("--sim bench.json --unplug-after-transfers 7") + "--loop 5 s.txt");
        ASSERT_EQ(r.status, 3) << "run " << attempt << ":\n" << r.out << r.err;
    }
}

TEST_F(EmulatorProgram, ProgramHangs_KilledAtTheTimeOutWithOneLine) {
    const ProgramRun r =
        run(std::string("'") + BRIDGE_EMULATOR_EXE + "' --timeout 0.2 -- sleep 30");
    EXPECT_EQ(r.status, 128 + 9);
    EXPECT_EQ(r.err, "bridge-emulator: sleep did not end within 0.2 s and was killed\n");
}

}  // namespace
