// Runs the built window program with its options and without a display, as a user might from
// a shell over ssh: help, version and refusals answer before any window.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "board/Version.h"
#include "testing/ProgramRun.h"
#include "wd_utils.h"

namespace {

using apptest::ProgramRun;

class ProgramCommandLine : public ::testing::Test {
  protected:
    void SetUp() override {
#if defined(_WIN32)
        GTEST_SKIP() << apptest::kNeedsPosixShell;
#endif
    }

    // No display of any kind, and the bridge variable as given (empty: unset).
    ProgramRun run(const std::string& bridgeVariable, const std::string& args) {
        const std::string env =
            "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
            (bridgeVariable.empty() ? std::string("-u VELMORIX_BRIDGE ")
                                    : "VELMORIX_BRIDGE='" + bridgeVariable + "' ");
        return apptest::runIn(scratch.path(), env + "'" + VELMORIX_PROGRAM_EXE + "' " + args);
    }

    apptest::ScratchDir scratch{"velmorix-program"};
};

TEST_F(ProgramCommandLine, HelpAndVersion_AnswerWithoutADisplay) {
    const ProgramRun help = run("", "--help");
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_NE(help.out.find(std::string("--bridge ") + WDU_BridgeForms()), std::string::npos);
    EXPECT_NE(help.out.find("VELMORIX_BRIDGE"), std::string::npos);
    const ProgramRun version = run("", "--version");
    EXPECT_EQ(version.status, 0) << version.err;
    EXPECT_EQ(version.out, std::string("Velmorix_I2C_Comm ") + velmorix::kVersionText + "\n");
    // The shell completion asks for the forms: the layer's own, one a line.
    std::string forms = WDU_BridgeForms();
    std::replace(forms.begin(), forms.end(), '|', '\n');
    const ProgramRun listed = run("", "--bridge-forms");
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out, forms + "\n");
    for (const char* tool : {VELMORIX_SCRIPT_EXE, VELMORIX_I2C_EXE}) {
        const std::string command = std::string("'") + tool + "' --bridge-forms";
        EXPECT_EQ(apptest::runIn(scratch.path(), command).out, listed.out) << tool;
    }
}

TEST_F(ProgramCommandLine, Refused_ExitTwoWithTheReason) {
    struct Case {
        const char* variable;
        const char* args;
        const char* says;
    };
    // --bridge goes before VELMORIX_BRIDGE, with the layer's reason for a bad form.
    for (const Case& c :
         {Case{"", "--bridge nowhere", "nowhere"}, Case{"sim", "--bridge nowhere", "nowhere"},
          Case{"", "--bridge sim:missing.json", "missing.json"},
          Case{"", "--bridge", "--bridge needs a bridge such as sim"},
          Case{"", "--brdge sim", "unknown option --brdge"}}) {
        SCOPED_TRACE(c.args);
        const ProgramRun r = run(c.variable, c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.rfind("Velmorix_I2C_Comm: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

TEST_F(ProgramCommandLine, GoodBridgeOverBadVariable_GoesOnToTheWindows) {
    // Without a display the window toolkit stops the program; the bad variable never counts.
    const ProgramRun r = run("nowhere", "--bridge sim");
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.err.find("nowhere"), std::string::npos) << r.err;
}

}  // namespace
