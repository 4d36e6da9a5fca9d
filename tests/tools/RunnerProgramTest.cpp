// Runs the built velmorix-script as a user would, against simulation files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "testing/ProgramRun.h"

namespace {

namespace fs = std::filesystem;
using apptest::ProgramRun;
using apptest::readFile;
using apptest::writeFile;

// A bench with target 60 (register 02 = 7A read-only) whose interrupt pin PC4 goes low after a
// non-zero write to register 10 and is released by a read of register 11.
const char* kBench = R"({ "name": "runner", "targets": [
  { "address": "60", "register_bytes": 1, "fill": "00", "registers": { "02": "7A" },
    "read_only": ["02"],
    "interrupt": { "pin": "PC4", "set_by_write": "10", "cleared_by_read": "11" } } ] })";

class RunnerProgram : public ::testing::Test {
  protected:
    void SetUp() override {
#if defined(_WIN32)
        GTEST_SKIP() << apptest::kNeedsPosixShell;
#endif
        writeFile(dir / "bench.json", kBench);
        writeFile(dir / "absent.json", R"({ "attached": false, "targets": [] })");
    }

    ProgramRun run(const std::string& args) {
        return apptest::runIn(
            dir, std::string("env -u VELMORIX_BRIDGE '") + VELMORIX_SCRIPT_EXE + "' " + args);
    }

    apptest::ScratchDir scratch{"velmorix-runner"};
    const fs::path dir = scratch.path();
};

std::string lastLine(const std::string& text) {
    std::string trimmed = text;
    while (!trimmed.empty() && trimmed.back() == '\n') {
        trimmed.pop_back();
    }
    return trimmed.substr(trimmed.find_last_of('\n') + 1);
}

TEST_F(RunnerProgram, AllReadsPass_ExitZero) {
    writeFile(dir / "s.txt", "02,,7A\r\n10,,00\r\n`ENDM\r\n");
    ProgramRun r = run("--bridge sim:bench.json s.txt");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lastLine(r.out), "2 passed, 0 failed");
    EXPECT_EQ(r.err, "");
}

// The capture on stdout, read by tshark while the run goes on, as a live Wireshark would; the
// summary moves to stderr. A capture file that cannot be written stops the run before it starts.
TEST_F(RunnerProgram, Capture_PipedToTshark_MessagesLiveUnwritableFileExitTwo) {
    writeFile(dir / "s.txt", "02,,7A\r\n10,55\r\n`ENDM\r\n");
    if (std::system("command -v tshark >/dev/null") == 0) {
        ProgramRun live = run(
            "--bridge sim:bench.json --capture - s.txt 2>summary.txt | tshark -r - -T fields -e "
            "i2c.addr -e i2c.flags -e data.data 2>/dev/null");
        EXPECT_EQ(live.status, 0);
        EXPECT_EQ(live.out,
                  "0x30\t0x00000000\t6002\n0x30\t0x00000001\t617a\n0x30\t0x00000000\t601055\n");
        EXPECT_EQ(lastLine(readFile(dir / "summary.txt")), "1 passed, 0 failed");
    }
    ProgramRun refused = run("--bridge sim:bench.json --capture no/such.pcapng s.txt");
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err,
              "velmorix-script: cannot write capture no/such.pcapng: No such file or directory\n");
    EXPECT_EQ(refused.out, "");
}

TEST_F(RunnerProgram, ComparisonFails_ExitOne) {
    writeFile(dir / "s.txt", "02,,7A\r\n02,,7B\r\n`ENDM\r\n");
    ProgramRun r = run("--bridge sim:bench.json s.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lastLine(r.out), "1 passed, 1 failed");
}

TEST_F(RunnerProgram, UsageAndLoadErrors_ExitTwoWithOneLine) {
    writeFile(dir / "s.txt", "02,,7A\r\n");
    std::string big;
    for (int i = 0; i < 1001; ++i) {
        big += "02,,7A\r\n";
    }
    writeFile(dir / "big.txt", big);
    writeFile(dir / "bad.json", R"({ "targets": [ { "address": "ZZ" } ] })");
    fs::create_directories(dir / "folder");
    for (const std::string args :
         {"", "--loop 0 s.txt", "missing.txt", "--bridge sim big.txt",
          "--bridge sim:bad.json s.txt", "--bridge sim folder", "--bridge serial s.txt"}) {
        ProgramRun r = run(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.err.rfind("velmorix-script: ", 0), 0u) << args << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
    }
    ProgramRun tooLong = run("--bridge sim big.txt");
    EXPECT_NE(tooLong.err.find("cannot load script big.txt: Script file has more than 1000 lines"),
              std::string::npos)
        << tooLong.err;
}

// A missing board says so; a Linux adapter node that is not there says that instead, as
// velmorix-i2c and Python say it.
TEST_F(RunnerProgram, NoBoardAttached_ExitThreeWithTheCause) {
    writeFile(dir / "s.txt", "02,,7A\r\n`ENDM\r\n");
    const ProgramRun absent = run("--bridge sim:absent.json s.txt");
    EXPECT_EQ(absent.status, 3);
    EXPECT_EQ(absent.err, "velmorix-script: Line 001: no board\n");
    EXPECT_EQ(run("--bridge usb s.txt").status, 3);
#if defined(__linux__)
    const ProgramRun node = run("--bridge i2cdev:no/i2c-9 s.txt");
    EXPECT_EQ(node.status, 3);
    EXPECT_EQ(node.err,
              "velmorix-script: Line 001: no board: no/i2c-9: No such file or directory\n");
#endif
}

TEST_F(RunnerProgram, GridFile_PassFailGpioAndInterruptRows) {
    writeFile(dir / "s.txt",
              "`GFFFF # idle ports\r\n"
              "`IE\r\n"
              "10,01 # raises the interrupt\r\n"
              "02,,7A\r\n"
              "02,,7B\r\n"
              "`ENDM\r\n"
              "`EISTART\r\n"
              "11,,00 # clears it\r\n"
              "`EIEND\r\n");
    ProgramRun r = run("--bridge sim:bench.json --grid grid.tsv s.txt");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(readFile(dir / "grid.tsv"),
              "Line\tI2C Adr\tReg Adr\tData_Wr\tData_Rd\tAct_Rd\tOperation\tComment\tResult\n"
              "001\tGPIO\t\tFFFF\tFFFF\tFFFF\tCmd: GPIO:FFFF\t# idle ports\tpass\n"
              "002\t60\t\t\t\t\tCmd: Int Enable\t\t\n"
              "003\t60\t10\t01\t\t\t Reg:1 W:1\t# raises the interrupt\t\n"
              "004\t60\t02\t\t7A\t7A\t Reg:1 R:1\t\tpass\n"
              "005\t60\t02\t\t7B\t7A\t Reg:1 R:1\t\tfail\n"
              "006\t60\t\t\t\t\tCmd: End Main\t\t\n"
              "007\t60\t\t\t\t\tCmd: Int Start\t\t\n"
              "008\t60\t11\t\t00\t00\t Reg:1 R:1\t# clears it\tpass\n"
              "009\t60\t\t\t\t\tCmd: Int End\t\t\n");
    EXPECT_EQ(lastLine(r.out), "3 passed, 1 failed");
}

TEST_F(RunnerProgram, Record_WritesUpdatedScriptByteForByte) {
    writeFile(dir / "s.txt",
              "# first line\r\n02 ,, 11   # expects the chip id\r\n10,5A\r\n`ENDM\r\n");
    ProgramRun r = run("--bridge sim:bench.json --record rec.txt s.txt");
    EXPECT_EQ(r.status, 1) << r.err;
    const std::string recorded = readFile(dir / "rec.txt");
    const std::string firstLine = recorded.substr(0, recorded.find("\r\n"));
    EXPECT_EQ(firstLine.rfind("# first line# AutoUpdated: ", 0), 0u) << firstLine;
    EXPECT_EQ(recorded.substr(recorded.find("\r\n")),
              "\r\n02 ,, 7A   # expects the chip id\r\n10,5A\r\n`ENDM\r\n");
}

TEST_F(RunnerProgram, OutputNotWritten_ExitTwoWithReason) {
    writeFile(dir / "s.txt", "02,,7A\r\n`ENDM\r\n");
    for (const std::string option : {"--record", "--grid", "--log", "--junit"}) {
        ProgramRun r = run("--bridge sim:bench.json " + option + " missing/out.txt s.txt");
        EXPECT_EQ(r.status, 2) << option << ": " << r.err;
        EXPECT_NE(r.err.find("velmorix-script: "), std::string::npos) << option << ": " << r.err;
        EXPECT_NE(r.err.find("missing/out.txt"), std::string::npos) << option << ": " << r.err;
        EXPECT_EQ(r.err.find("message: "), std::string::npos) << option << ": " << r.err;
        EXPECT_EQ(lastLine(r.out), "1 passed, 0 failed") << option;
    }
}

TEST_F(RunnerProgram, JUnitReport_EachOutcomeAndValidAgainstSchema) {
    // Passing GPIO and read rows, a mismatch, a read of an absent address (which logs), a pause
    // answered with abort that leaves the next row out, and a service row that never runs; two
    // comments XML must escape, one of them in Latin-1.
    writeFile(dir / "s.txt",
              "`GFFFF # idle ports\r\n"
              "02,,7A # chip id <a & b>\r\n"
              "02,,7B # 5 \xB5s\r\n"
              "`A70\r\n"
              "02,,00 # absent\r\n"
              "`A60\r\n"
              "`w\r\n"
              "02,,7A\r\n"
              "`ENDM\r\n"
              "`EISTART\r\n"
              "11,,00 # clears it\r\n"
              "`EIEND\r\n");
    ProgramRun r = run("--bridge sim:bench.json --pause abort --junit report.xml s.txt");
    EXPECT_EQ(r.status, 1) << r.err;
    const std::string xml = readFile(dir / "report.xml");
    const auto count = [&](const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = xml.find(what); at != std::string::npos;
             at = xml.find(what, at + 1)) {
            ++n;
        }
        return n;
    };
    EXPECT_NE(xml.find("<testsuite name=\"s.txt pass 1\" tests=\"6\" failures=\"2\" errors=\"0\" "
                       "skipped=\"2\""),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("<testcase name=\"Line 001: Cmd: GPIO:FFFF # idle ports\""),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("name=\"Line 002: Reg:1 R:1 # chip id &lt;a &amp; b&gt;\""),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("name=\"Line 003: Reg:1 R:1 # 5 \xC2\xB5s\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("<failure message=\"expected 7B, read 7A\" type=\"comparison\">"),
              std::string::npos)
        << xml;
    EXPECT_EQ(count("<skipped message=\"not run in this pass\"/>"), 2u) << xml;
    EXPECT_NE(xml.find("<failure message=\"expected 00, read 00 (no complete reply)\" "
                       "type=\"comparison\">"),
              std::string::npos)
        << xml;
    EXPECT_EQ(count("<system-out>Read Qty Error Script Line 5 Actual :0 :"), 1u) << xml;
    EXPECT_EQ(count("<system-out>"), 1u) << xml;
    for (const auto& entry : fs::directory_iterator(dir)) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos);
    }

    ProgramRun looped = run("--bridge sim:bench.json --loop 2 --junit loop.xml s.txt");
    EXPECT_EQ(looped.status, 1) << looped.err;
    EXPECT_NE(readFile(dir / "loop.xml")
                  .find("<testsuite name=\"s.txt pass 2\" tests=\"6\" "
                        "failures=\"2\" errors=\"0\" skipped=\"1\""),
              std::string::npos)
        << readFile(dir / "loop.xml");

    if (std::system("command -v xmllint >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "xmllint (Debian libxml2-utils) is not installed; schema not checked";
    }
    for (const std::string report : {"report.xml", "loop.xml"}) {
        const std::string check = "xmllint --noout --schema '" + std::string(VELMORIX_JUNIT_XSD) +
                                  "' '" + (dir / report).string() + "' 2>'" +
                                  (dir / "xmllint.txt").string() + "'";
        EXPECT_EQ(std::system(check.c_str()), 0) << report << ": " << readFile(dir / "xmllint.txt");
    }
}

// --check sends nothing: the bridge named does not exist, and the run still answers.
TEST_F(RunnerProgram, Check_EachCaseListedNothingSent_ExitByFindings) {
    writeFile(dir / "s.txt",
              "1G,22\r\n"
              "10,123\r\n"
              "`FOO\r\n"
              "10,A5,0A\r\n"
              "`ENDM\r\n"
              "`ENDM\r\n");
    ProgramRun r = run("--bridge nowhere --check --junit check.xml s.txt");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "s.txt:1: reads register 01, because \"G\" in \"1G\" is not a hex digit: each byte "
              "is read up to its first other character\n"
              "s.txt:2: reads write data 01 23, because 3 digits do not make whole bytes: a 0 is "
              "put in front (0123)\n"
              "s.txt:3: reads no command, the row does nothing, because \"`FOO\" is not a "
              "command\n"
              "s.txt:4: reads a write, then a read compared with \"0A\", because an "
              "expected-data field on a write row reads the register back after the write\n"
              "s.txt:5: reads not the end of the main section, because a later `ENDM at line 6 "
              "counts instead\n"
              "5 findings\n");
    const std::string xml = readFile(dir / "check.xml");
    EXPECT_NE(xml.find("<testsuite name=\"check s.txt\" tests=\"6\" failures=\"5\""),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("<testcase name=\"Line 002\" classname=\"check s.txt\" time=\"0.000\">\n"
                       "      <failure message=\"reads write data 01 23, because 3 digits"),
              std::string::npos)
        << xml;

    writeFile(dir / "clean.txt", "02,,7A\r\n`ENDM\r\n");
    ProgramRun clean = run("--check clean.txt");
    EXPECT_EQ(clean.status, 0) << clean.err;
    EXPECT_EQ(clean.out, "0 findings\n");
    ProgramRun missing = run("--check absent.txt");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("absent.txt"), std::string::npos) << missing.err;

    if (std::system("command -v xmllint >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "xmllint (Debian libxml2-utils) is not installed; schema not checked";
    }
    const std::string schema = "xmllint --noout --schema '" + std::string(VELMORIX_JUNIT_XSD) +
                               "' '" + (dir / "check.xml").string() + "' 2>/dev/null";
    EXPECT_EQ(std::system(schema.c_str()), 0) << xml;
}

TEST_F(RunnerProgram, LoopThree_CountsThreePassesAndSumsResults) {
    writeFile(dir / "s.txt", "02,,7A\r\n02,,00\r\n`ENDM\r\n");
    ProgramRun r = run("--bridge sim:bench.json --loop 3 s.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("3 passes\n"), std::string::npos) << r.out;
    EXPECT_EQ(lastLine(r.out), "3 passed, 3 failed");
}

TEST_F(RunnerProgram, PauseAbort_StopsTheRunAndAnswersOnStderr) {
    writeFile(dir / "s.txt", "02,,7A\r\n`w\r\n02,,7A\r\n`ENDM\r\n");
    ProgramRun r = run("--bridge sim:bench.json --pause abort s.txt");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("message: Script Pause Line :"), std::string::npos) << r.err;
    EXPECT_EQ(lastLine(r.out), "1 passed, 0 failed");
}

TEST_F(RunnerProgram, LogAndTrace_ShowTheProgramLogAndEveryTransfer) {
    writeFile(dir / "s.txt", "02,,7A\r\n`ENDM\r\n");
    ProgramRun r = run("--bridge sim:bench.json --log log.txt --trace s.txt");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(readFile(dir / "log.txt").find("DeviceAttach: Received and accepted attach for "),
              std::string::npos);
    EXPECT_NE(r.err.find("OUT 02: 01 61 02\nIN  82: 01 7A\n"), std::string::npos) << r.err;
}

TEST_F(RunnerProgram, Help_PrintsUsage) {
    ProgramRun r = run("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("SYNOPSIS"), std::string::npos);
    EXPECT_NE(r.out.find("--record FILE [--append]"), std::string::npos);
}

TEST_F(RunnerProgram, Version_PrintsTheProgramVersion) {
    ProgramRun r = run("--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "velmorix-script 3.1.6\n");
}

}  // namespace
