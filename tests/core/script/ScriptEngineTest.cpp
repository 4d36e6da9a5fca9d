// The execution engine and interrupt sampling of the script window against the simulated
// bridge board.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "ScriptFixture.h"
#include "board/BoardLink.h"
#include "wd_utils.h"

namespace scripttest {
namespace {

using script::CellColor;
using script::Column;

class ScriptEngine : public ScriptFixture {};

TEST_F(ScriptEngine, RunAllSteps_ReadRows_PassAndFailCountedAndColoured) {
    start();
    auto& w = openWindow("05,,0B # passes\r\n05,,0c # fails\r\n`ENDM\r\n");
    w.cmdExecAll_Click();

    EXPECT_EQ(cell(1, Column::ActRd), "0B");
    EXPECT_EQ(color(1, Column::ActRd), CellColor::Green);
    EXPECT_EQ(cell(2, Column::ActRd), "0B");
    EXPECT_EQ(color(2, Column::ActRd), CellColor::Red);
    EXPECT_EQ(color(1, Column::I2CAdr), CellColor::Green);
    EXPECT_EQ(color(2, Column::I2CAdr), CellColor::Green);
    EXPECT_EQ(w.txtRdPass.Text(), "1");
    EXPECT_EQ(w.txtRdFails.Text(), "1");
    EXPECT_EQ(w.txtRunning.Text(), "Done");
    EXPECT_TRUE(w.frmDataRecord.Visible);
    std::vector<bridgesim::PacketRecord> expected = {
        out(2, {0x01, 0x61, 0x05}), in(0x82, {0x01, 0x0B}), out(2, {0x01, 0x61, 0x05}),
        in(0x82, {0x01, 0x0B})};
    EXPECT_EQ(i2cPackets(), expected);
    EXPECT_EQ(s().UsbOpened, board::False);
    EXPECT_EQ(s().ManualUsbConnect, board::False);
    EXPECT_FALSE(w.RunActive);
}

TEST_F(ScriptEngine, RunAllSteps_WriteThenReadOfTwoByteRegister_SendsRowBytes) {
    start();
    auto& w = openWindow("`AA0\r\n0102,AABB,AABB\r\n`ENDM\r\n");
    w.cmdExecAll_Click();

    auto packets = i2cPackets();
    ASSERT_EQ(packets.size(), 4u);
    EXPECT_EQ(packets[0], out(2, {0x04, 0xA0, 0x01, 0x02, 0xAA, 0xBB}));
    EXPECT_EQ(packets[1].bytes.at(0), 5);
    EXPECT_EQ(packets[2], out(2, {0x02, 0xA1, 0x01, 0x02}));
    EXPECT_EQ(packets[3], in(0x82, {0x02, 0xAA, 0xBB}));
    EXPECT_EQ(w.txtRdPass.Text(), "1");
    EXPECT_EQ(countInLog("Qty Error"), 0u);
}

struct CountCase {
    const char* name;
    const char* script;
    const char* logLine;
    const char* redCellColumn;
};

class ScriptEngineCounts : public ScriptFixture, public testing::WithParamInterface<CountCase> {};

TEST_P(ScriptEngineCounts, RunAllSteps_AbsentDevice_LogsWrongReplyCount) {
    start();
    auto& w = openWindow(GetParam().script);
    w.cmdExecAll_Click();

    EXPECT_EQ(countInLog(GetParam().logLine), 1u) << log();
    Column column =
        std::string(GetParam().redCellColumn) == "Data_Wr" ? Column::DataWr : Column::DataRd;
    EXPECT_EQ(color(2, column), CellColor::Red);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ScriptEngineCounts,
    testing::Values(CountCase{"Write", "`A62\r\n05,11\r\n`ENDM\r\n",
                              "Write Qty Error Script Line 2 Actual= 0 :", "Data_Wr"},
                    CountCase{"Read", "`A62\r\n05,,00\r\n`ENDM\r\n",
                              "Read Qty Error Script Line 2 Actual :0 :", "Data_Rd"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScriptEngine, RunAllSteps_ReadWithWrongCountMatchingZeros_CountsAsFailed) {
    start();
    auto& w = openWindow("`A62\r\n05,,00\r\n`ENDM\r\n");
    w.cmdExecAll_Click();

    EXPECT_EQ(cell(2, Column::ActRd), "00");
    EXPECT_EQ(color(2, Column::ActRd), CellColor::Red);
    EXPECT_EQ(w.txtRdPass.Text(), "0");
    EXPECT_EQ(w.txtRdFails.Text(), "1");
}

struct EndCase {
    const char* name;
    const char* script;
    int lastRunRow;
    int rows;
};

class ScriptEngineEnd : public ScriptFixture, public testing::WithParamInterface<EndCase> {};

TEST_P(ScriptEngineEnd, RunAllSteps_StopsBeforeEndMainRow) {
    start();
    auto& w = openWindow(GetParam().script);
    w.cmdExecAll_Click();

    for (int row = 1; row <= GetParam().rows; ++row) {
        if (cell(row, Column::Operation) != " Reg:1 R:1") {
            continue;
        }
        bool ran = row <= GetParam().lastRunRow;
        EXPECT_EQ(cell(row, Column::ActRd), ran ? "0B" : "--") << "row " << row;
        EXPECT_EQ(color(row, Column::I2CAdr), ran ? CellColor::Green : CellColor::Default)
            << "row " << row;
    }
    EXPECT_EQ(w.txtTotLines.Text(), std::to_string(w.EndMainRow));
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptEngineEnd,
                         testing::Values(EndCase{"NoEndLine", "05,,0B\r\n05,,0B\r\n05,,0B", 2, 3},
                                         EndCase{"EndLineInMiddle", "05,,0B\r\n`ENDM\r\n05,,0B\r\n",
                                                 1, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScriptEngine, RunAllSteps_AbortOnFail_StopsAfterFailingRow) {
    start();
    auto& w = openWindow("05,,0B\r\n05,,0C\r\n05,,0B\r\n`ENDM\r\n");
    w.chkAOF.Value = 1;
    w.cmdExecAll_Click();

    EXPECT_EQ(cell(2, Column::ActRd), "0B");
    EXPECT_EQ(color(2, Column::I2CAdr), CellColor::Green);
    EXPECT_EQ(cell(3, Column::ActRd), "--");
    EXPECT_EQ(readCommands().size(), 2u);
    EXPECT_EQ(run().AbortRequested, board::True);
    EXPECT_EQ(w.txtRunning.Text(), "Done");
    EXPECT_EQ(s().UsbOpened, board::False);
}

TEST_F(ScriptEngine, RunAllSteps_KeyPauseCancelled_StopsRun) {
    start();
    auto& w = openWindow("05,,0B\r\n`w\r\n05,,0B\r\n`ENDM\r\n");
    host.messageAnswers.push_back(form::MsgResult::Cancel);
    w.cmdExecAll_Click();

    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Script Pause Line :2 Click OK to Continue, Cancel to Abort");
    EXPECT_EQ(host.messages[0].buttons, form::MsgButtons::OkCancel);
    EXPECT_EQ(cell(2, Column::ActRd), "Delay Keypress");
    EXPECT_EQ(cell(3, Column::ActRd), "--");
    EXPECT_EQ(readCommands().size(), 1u);
    EXPECT_EQ(w.txtRunning.Text(), "Aborted");
}

TEST_F(ScriptEngine, SingleRow_KeyPauseCancelled_OnlyRequestsAbort) {
    start();
    auto& w = openWindow("`w\r\n05,,0B\r\n`ENDM\r\n");
    host.messageAnswers.push_back(form::MsgResult::Cancel);
    w.actOnRow(1);

    EXPECT_EQ(run().AbortRequested, board::True);
    EXPECT_EQ(color(1, Column::I2CAdr), CellColor::Green);
    EXPECT_TRUE(i2cPackets().empty());
    EXPECT_EQ(s().ManualUsbConnect, board::False);

    w.cmdExecAll_Click();
    EXPECT_EQ(cell(2, Column::ActRd), "0B");
}

TEST_F(ScriptEngine, SingleRow_ReadRow_ConnectsReadsAndDisconnects) {
    start();
    auto& w = openWindow("05,,0B\r\n`ENDM\r\n");
    w.actOnRow(1);

    EXPECT_EQ(cell(1, Column::ActRd), "0B");
    EXPECT_EQ(w.txtRdPass.Text(), "1");
    EXPECT_EQ(s().UsbOpened, board::False);
    EXPECT_EQ(s().ManualUsbConnect, board::False);
    EXPECT_FALSE(w.RunActive);
}

struct RowKindCase {
    const char* name;
    const char* line;
    std::vector<std::vector<std::uint8_t>> commands;
    const char* actual;
    CellColor actualColour;
    const char* passes;
    const char* fails;
};

class ScriptEngineRowKinds : public ScriptFixture,
                             public testing::WithParamInterface<RowKindCase> {};

TEST_P(ScriptEngineRowKinds, SingleRow_SendsAndComparesAsTheRowSays) {
    start();
    auto& w = openWindow(std::string(GetParam().line) + "\r\n`ENDM\r\n");
    w.actOnRow(1);

    std::vector<std::vector<std::uint8_t>> sent;
    for (const auto& p : i2cPackets()) {
        if (p.endpoint == 2) {
            sent.push_back(p.bytes);
        }
    }
    EXPECT_EQ(sent, GetParam().commands);
    EXPECT_EQ(cell(1, Column::ActRd), GetParam().actual);
    EXPECT_EQ(color(1, Column::ActRd), GetParam().actualColour);
    EXPECT_EQ(w.txtRdPass.Text(), GetParam().passes);
    EXPECT_EQ(w.txtRdFails.Text(), GetParam().fails);
    EXPECT_EQ(color(1, Column::I2CAdr), CellColor::Green);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ScriptEngineRowKinds,
    testing::Values(
        RowKindCase{
            "WriteOnly", "10,20", {{0x02, 0x60, 0x10, 0x20}}, "", CellColor::Default, "0", "0"},
        RowKindCase{"RegisterOnly", "10", {}, "", CellColor::Default, "0", "0"},
        RowKindCase{
            "ExpectedOther", "05,,0A", {{0x01, 0x61, 0x05}}, "0B", CellColor::Red, "0", "1"},
        RowKindCase{"ExpectedOneLowerCaseDigit",
                    "05,,b",
                    {{0x01, 0x61, 0x05}},
                    "0B",
                    CellColor::Green,
                    "1",
                    "0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScriptEngine, RowEvent_RowNotSelected_DoesNothing) {
    start();
    auto& w = openWindow("05,,0B\r\n05,,0B\r\n`ENDM\r\n");
    w.vbalGrid1.setSelectedRow(2);
    w.vbalGrid1_DblClick(1, 1);

    EXPECT_EQ(cell(1, Column::ActRd), "--");
    EXPECT_TRUE(i2cPackets().empty());
}

TEST_F(ScriptEngine, RunAllSteps_BoardAbsent_ReadCountedAsFailed) {
    start(R"({ "name": "absent", "attached": false,
               "targets": [ { "address": "60", "register_bytes": 1, "fill": "00" } ] })");
    auto& w = openWindow("05,,00\r\n`ENDM\r\n");
    w.cmdExecAll_Click();

    EXPECT_EQ(color(1, Column::ActRd), CellColor::Red);
    EXPECT_EQ(w.txtRdFails.Text(), "1");
    EXPECT_EQ(w.txtRdPass.Text(), "0");
    EXPECT_EQ(countInLog("Read Qty Error Script Line 1 Actual :0"), 1u);
}

TEST_F(ScriptEngine, RunAllSteps_ConnectionNotOpen_NoPacketEmptyActualFails) {
    start();
    auto& w = openWindow("05,,0B\r\n`GFFFF\r\n`ENDM\r\n");
    board->setRegistrationFails(true);
    w.cmdExecAll_Click();

    EXPECT_EQ(s().UsbOpened, board::False);
    EXPECT_TRUE(i2cPackets().empty());
    EXPECT_TRUE(gpioPackets().empty());
    EXPECT_EQ(cell(1, Column::ActRd), "");
    EXPECT_EQ(color(1, Column::ActRd), CellColor::Red);
    EXPECT_EQ(cell(2, Column::ActRd), "");
    EXPECT_EQ(w.txtRdFails.Text(), "2");
    EXPECT_EQ(w.txtRdPass.Text(), "0");
    EXPECT_EQ(s().ManualUsbConnect, board::False);
    // The GPIO row still runs the panel's exchange, whose transfers log why nothing moved.
    EXPECT_EQ(countInLog("Write GPIOPipe .. USB Not opened :"), 1u) << log();
    EXPECT_EQ(countInLog("ReadPipe .. USB Not opened :"), 1u) << log();
}

TEST_F(ScriptEngine, SingleRow_ConnectionNotOpen_LeavesAutomaticMode) {
    start();
    auto& w = openWindow("05,,0B\r\n`ENDM\r\n");
    board->setRegistrationFails(true);
    w.actOnRow(1);

    EXPECT_EQ(w.txtRdFails.Text(), "1");
    EXPECT_EQ(s().ManualUsbConnect, board::False);
}

TEST_F(ScriptEngine, RunAllSteps_GpioRows_ComparedWithReadBack) {
    start();
    auto& w = openWindow("`GFFFF\r\n`G12F0FFF0\r\n`ENDM\r\n");
    w.cmdExecAll_Click();

    // Data only: the undriven lines read their (high) inputs.
    EXPECT_EQ(cell(1, Column::ActRd), "FFFF");
    EXPECT_EQ(color(1, Column::ActRd), CellColor::Green);
    // Port C bits 0..3 are not driven and read high, so the data read back differs.
    EXPECT_EQ(cell(2, Column::ActRd), "12FFFFF0");
    EXPECT_EQ(color(2, Column::ActRd), CellColor::Red);
    EXPECT_EQ(w.txtRdPass.Text(), "1");
    EXPECT_EQ(w.txtRdFails.Text(), "1");
    EXPECT_EQ(w.txtLastRead.Text(), "12FF");
    EXPECT_EQ(w.txtIDefault.Text(), "12F0");
    auto packets = gpioPackets();
    ASSERT_EQ(packets.size(), 4u);
    EXPECT_EQ(packets[0], out(1, {0xFF, 0xFF}));
    EXPECT_EQ(packets[2], out(1, {0x12, 0xF0, 0xFF, 0xF0}));
    EXPECT_EQ(s().GpioState, (std::array<std::uint8_t, 4>{0xFF, 0xF0, 0x12, 0xF0}));
    EXPECT_TRUE(i2cPackets().empty());
    // The address text "GPIO" reads as 0: a GPIO row leaves the I2C addresses 0 and 1.
    EXPECT_EQ(s().I2CWriteAddr, 0);
    EXPECT_EQ(s().I2CReadAddr, 1);
}

struct GpioFaultCase {
    const char* name;
    bool timesOut;
    std::uint32_t bytesFewer;
};

class ScriptEngineGpioFault : public ScriptFixture,
                              public testing::WithParamInterface<GpioFaultCase> {};

// A GPIO row whose expected value is what an unanswered exchange leaves in the read-back boxes.
TEST_P(ScriptEngineGpioFault, RunAllSteps_NoStatusReply_RowFailsWithEmptyActual) {
    start();
    auto& w = openWindow("`G0000\r\n`G00000000\r\n`ENDM\r\n");
    board->setTimeoutWait(std::chrono::microseconds(0));
    board->setEndpointTimesOut(0x81, GetParam().timesOut);
    board->setShortReply(GetParam().bytesFewer);
    w.cmdExecAll_Click();

    for (int row : {1, 2}) {
        EXPECT_EQ(cell(row, Column::ActRd), "") << row;
        EXPECT_EQ(color(row, Column::ActRd), CellColor::Red) << row;
    }
    EXPECT_EQ(w.txtRdPass.Text(), "0");
    EXPECT_EQ(w.txtRdFails.Text(), "2");
}

// A sample that got no reply holds no port state, so it must not start the service section.
TEST_P(ScriptEngineGpioFault, Sample_NoStatusReply_NoInterrupt) {
    start();
    auto& w = openWindow("05,,0B\r\n`ENDM\r\n`EISTART\r\n11,,00\r\n`EIEND\r\n");
    w.txtIDefault.setText("FFFF");
    w.chkISample.Value = 1;
    board->setTimeoutWait(std::chrono::microseconds(0));
    board->setEndpointTimesOut(0x81, GetParam().timesOut);
    board->setShortReply(GetParam().bytesFewer);
    w.cmdISample_Click();

    EXPECT_EQ(w.chkISample.Value, 1);
    EXPECT_EQ(w.txtIdetectStep.Text(), "----");
    EXPECT_TRUE(readCommands().empty());
}

INSTANTIATE_TEST_SUITE_P(Faults, ScriptEngineGpioFault,
                         testing::Values(GpioFaultCase{"TimedOut", true, 0},
                                         GpioFaultCase{"EmptyReply", false, 25}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScriptEngine, RunAllSteps_DelayRow_WaitsInSlicesWithYields) {
    start();
    auto& w = openWindow("`w1000\r\n`ENDM\r\n");
    long slept = host.sleptMs;
    long yields = host.yields;
    w.cmdExecAll_Click();

    EXPECT_EQ(cell(1, Column::ActRd), "Delay 1000");
    EXPECT_EQ(host.sleptMs - slept, 1000);
    EXPECT_GE(host.yields - yields, 100);
}

TEST_F(ScriptEngine, RunAllSteps_IllegalAddress_ReportedAndRunGoesOn) {
    start();
    auto& w = openWindow("`AFF\r\n05,,0B\r\n`A60\r\n05,,0B\r\n`ENDM\r\n");
    w.cmdExecAll_Click();

    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].text, "Illegal I2C address Script Row  1 Value = FF");
    EXPECT_EQ(host.messages[1].text, "Illegal I2C address Script Row  2 Value = FF");
    EXPECT_EQ(cell(2, Column::ActRd), "--");
    EXPECT_EQ(cell(4, Column::ActRd), "0B");
    EXPECT_EQ(w.txtRdPass.Text(), "1");
}

TEST_F(ScriptEngine, LoopCont_AbortDuringPass_EndsLoopCountingThatPass) {
    start();
    auto& w = openWindow("05,,0B\r\n05,,0B\r\n`ENDM\r\n");
    long first = 0;
    host.atYield(host.yields + 40000, [&] {
        first = host.yields;
        w.cmdAbort_Click();
    });
    w.cmdRunContinuous_Click();

    EXPECT_GT(first, 0);
    // The abort ends the pass after its current row, so the last pass may miss its second row.
    auto passes = static_cast<std::size_t>(std::stoi(w.txtLoopCount.Text()));
    EXPECT_GE(passes, 2u);
    EXPECT_LE(readCommands().size(), 2 * passes);
    EXPECT_GE(readCommands().size(), 2 * passes - 1);
    EXPECT_TRUE(w.cmdRunContinuous.Visible);
    EXPECT_FALSE(w.cmdAbort.Visible);
    EXPECT_EQ(w.txtRunning.Text(), "Aborted");
}

TEST_F(ScriptEngine, LoopCont_ThreePasses_CountsAddUpThenRunAllStepsCountsItsOwn) {
    start();
    auto& w = openWindow("05,,0B\r\n05,,0C\r\n`ENDM\r\n");
    bool aborted = false;
    host.pump = [&] {
        WDU_VB_PumpEvents();
        if (!aborted && w.txtLoopCount.Text() == "3") {
            aborted = true;
            w.cmdAbort_Click();
        }
    };
    w.cmdRunContinuous_Click();
    aborted = true;

    EXPECT_EQ(w.txtLoopCount.Text(), "3");
    EXPECT_EQ(w.txtRdPass.Text(), "3");
    EXPECT_EQ(w.txtRdFails.Text(), "3");
    EXPECT_EQ(w.txttotReads.Text(), "6");

    w.cmdExecAll_Click();
    EXPECT_EQ(w.txtRdPass.Text(), "1");
    EXPECT_EQ(w.txtRdFails.Text(), "1");
    EXPECT_EQ(w.txttotReads.Text(), "2");
    EXPECT_EQ(w.txtRunning.Text(), "Done");
}

TEST_F(ScriptEngine, RunAllSteps_BoardBackAfterFailedPass_CellsShowTheLastPass) {
    start();
    auto& w = openWindow("06,22\r\n05,,0B\r\n`ENDM\r\n");
    struct Pass {
        bool attached;
        CellColor written, read, actual;
    };
    for (const Pass& pass :
         {Pass{false, CellColor::Red, CellColor::Red, CellColor::Red},
          Pass{true, CellColor::Default, CellColor::Default, CellColor::Green}}) {
        if (pass.attached) {
            board->attach();
        } else {
            board->detach();
        }
        w.cmdExecAll_Click();
        EXPECT_EQ(color(1, Column::DataWr), pass.written) << "attached " << pass.attached;
        EXPECT_EQ(color(2, Column::DataRd), pass.read) << "attached " << pass.attached;
        EXPECT_EQ(color(2, Column::ActRd), pass.actual) << "attached " << pass.attached;
    }
}

// Loop Cont over a missing board floods the log with three entries a row. The host's clock moves
// a second every five passes (a desktop makes some 34 a second).
TEST_F(ScriptEngine, LoopCont_NoBoardForSixtySeconds_LogStaysWithinBudget) {
    constexpr int kPassesPerSecond = 5;
    start();
    std::string script;
    for (int i = 0; i < 300; ++i) {
        script += "05,,0B\r\n";
    }
    auto& w = openWindow(script + "`ENDM\r\n");
    board->detach();
    const form::TextBox& box = main().Txtlog;
    std::size_t heldAfter5s = 0;
    int passes = 0;
    auto seen = w.txtLoopCount.textGeneration();
    host.pump = [&] {
        WDU_VB_PumpEvents();
        if (w.txtLoopCount.textGeneration() == seen) {
            return;
        }
        seen = w.txtLoopCount.textGeneration();
        if (w.txtLoopCount.Text() == "0") {
            return;
        }
        ++passes;
        if (passes == 5 * kPassesPerSecond) {
            heldAfter5s = box.Text().size();
        }
        if (passes == 60 * kPassesPerSecond) {
            w.cmdAbort_Click();
        } else if (passes % kPassesPerSecond == 0 && ++host.clock.second == 60) {
            host.clock.second = 0;
            ++host.clock.minute;
        }
    };
    w.cmdRunContinuous_Click();

    ASSERT_EQ(w.txtLoopCount.Text(), "300");
    const std::size_t held = box.Text().size();
    EXPECT_GT(box.droppedBytes(), 4 * held);
    EXPECT_LE(held, board::kLogMaxBytes + 64);
    EXPECT_LT(held - heldAfter5s, std::size_t{4} << 20);
    EXPECT_LE(static_cast<std::size_t>(std::count(log().begin(), log().end(), '\n')),
              board::kLogMaxLines + 1);
    EXPECT_EQ(log().rfind(std::string(board::kLogDroppedNotice) + "\r\n", 0), 0u);
    const std::string newest =
        "Read Qty Error Script Line 300 Actual :0 :12-07-2026 14:06:08\r\n\r\n";
    EXPECT_EQ(log().compare(log().size() - newest.size(), newest.size(), newest), 0);

    main().cmdClearLog_Click();
    EXPECT_LT(box.Text().capacity(), 4096u);
}

// ---- Interrupt sampling -------------------------------------------------------------------------

const char* const kInterruptScript =
    "`GFFFF # idle value\r\n"
    "`IE\r\n"
    "10,01 # raises the interrupt\r\n"
    "20,,00\r\n"
    "`ENDM\r\n"
    "`EISTART\r\n"
    "11,,00 # clears it\r\n"
    "`EIEND\r\n";

TEST_F(ScriptEngine, Interrupt_FromSimulatedPin_ServicedOnceThenRunGoesOn) {
    start();
    auto& w = openWindow(kInterruptScript);
    w.cmdExecAll_Click();

    EXPECT_EQ(w.chkISample.Value, 0);
    EXPECT_EQ(w.txtIdetectStep.Text(), "003");
    EXPECT_EQ(w.txtIEnableStep.Text(), "002");
    EXPECT_EQ(w.txtLastRead.Text(), "FFEF");
    EXPECT_EQ(w.txtIexec.Text(), " 8");
    EXPECT_EQ(cell(7, Column::ActRd), "00");
    EXPECT_EQ(cell(4, Column::ActRd), "00");
    // The service read (register 11) comes before the main section goes on (register 20).
    std::vector<std::vector<std::uint8_t>> reads = {{0x01, 0x61, 0x11}, {0x01, 0x61, 0x20}};
    EXPECT_EQ(readCommands(), reads);
    EXPECT_FALSE(board->interruptAsserted(0x60));
    EXPECT_EQ(w.IntReturnRow, 3);
    EXPECT_EQ(w.txtRdPass.Text(), "3");
    EXPECT_EQ(w.txtRunning.Text(), "Done");
}

// Records what "Step" shows as each row starts.
struct StepWatch : script::RowObserver {
    explicit StepWatch(const form::TextBox& box) : step(box) {}
    void rowStarted(int row) override { shown.emplace_back(row, step.Text()); }
    void rowCompared(int, bool, const std::string&, const std::string&) override {}
    void rowEnded(int) override {}
    const form::TextBox& step;
    std::vector<std::pair<int, std::string>> shown;
};

TEST_F(ScriptEngine, RunAllSteps_DuringEachRow_StepShowsThatRow) {
    start();
    auto& w = openWindow(kInterruptScript);
    StepWatch watch(w.txtRunning);
    w.setRowObserver(&watch);
    w.cmdExecAll_Click();
    w.setRowObserver(nullptr);

    // Main rows 1 to 4, with the service rows 6 to 8 inside row 3.
    ASSERT_EQ(watch.shown.size(), 7u);
    for (const auto& [row, text] : watch.shown) {
        EXPECT_EQ(text, std::to_string(row)) << "row " << row;
    }
}

TEST_F(ScriptEngine, Interrupt_ServiceEndsWithIntEnable_NextMainRowSampledAgain) {
    start();
    auto& w = openWindow(
        "`GFFFF\r\n`IE\r\n10,01\r\n20,,00\r\n`ENDM\r\n"
        "`EISTART\r\n11,,00 # clears it\r\n`IE # re-arms\r\n`EIEND\r\n");
    w.cmdExecAll_Click();

    EXPECT_EQ(w.chkISample.Value, 1);
    EXPECT_EQ(w.txtIdetectStep.Text(), "003");
    EXPECT_EQ(w.txtIEnableStep.Text(), "008");
    EXPECT_EQ(w.txtLastRead.Text(), "FFFF");
    // Samples: after rows 2 and 3 (the detection), after service rows 8 and 9, and after main
    // row 4, which comes after the service.
    std::size_t samples = 0;
    std::size_t lastSample = 0;
    std::size_t readOf20 = 0;
    auto packets = board->packetLog();
    for (std::size_t i = 0; i < packets.size(); ++i) {
        const auto& p = packets[i];
        if (p.endpoint == 1 && p.bytes.size() == 2) {
            ++samples;
            lastSample = i;
        }
        if (p.endpoint == 2 && p.bytes == std::vector<std::uint8_t>{0x01, 0x61, 0x20}) {
            readOf20 = i;
        }
    }
    EXPECT_EQ(samples, 6u);
    EXPECT_GT(readOf20, 0u);
    EXPECT_GT(lastSample, readOf20);
}

TEST_F(ScriptEngine, Interrupt_NoServiceSection_SamplingOffRunGoesOn) {
    start();
    auto& w = openWindow("`GFFFF\r\n`IE\r\n10,01\r\n20,,00\r\n`ENDM\r\n");
    w.cmdExecAll_Click();

    EXPECT_EQ(w.chkISample.Value, 0);
    EXPECT_EQ(w.txtIdetectStep.Text(), "003");
    EXPECT_EQ(w.txtIexec.Text(), "----");
    EXPECT_EQ(w.IntReturnRow, 3);
    std::vector<std::vector<std::uint8_t>> reads = {{0x01, 0x61, 0x20}};
    EXPECT_EQ(readCommands(), reads);
    EXPECT_EQ(w.txtRunning.Text(), "Done");
}

TEST_F(ScriptEngine, Interrupt_SeenInsideService_RecordedButNotServicedAgain) {
    start();
    auto& w = openWindow(
        "`GFFFF\r\n`IE\r\n10,01\r\n20,,00\r\n`ENDM\r\n"
        "`EISTART\r\n`IE # re-arms while the line is still low\r\n21,,00\r\n`EIEND\r\n");
    w.cmdExecAll_Click();

    EXPECT_EQ(countInLog("Interrupt detected at Script Line 007 not serviced"), 1u) << log();
    EXPECT_EQ(w.chkISample.Value, 0);
    EXPECT_EQ(w.txtIdetectStep.Text(), "007");
    std::vector<std::vector<std::uint8_t>> reads = {{0x01, 0x61, 0x21}, {0x01, 0x61, 0x20}};
    EXPECT_EQ(readCommands(), reads);
    EXPECT_EQ(w.txtRunning.Text(), "Done");
    EXPECT_FALSE(run().IntServiceActive);
}

TEST_F(ScriptEngine, Sample_IdlePortsMatchDefault_NoInterrupt) {
    start();
    auto& w = openWindow("05,,0B\r\n`ENDM\r\n");
    w.txtIDefault.setText("FFFF");
    w.chkISample.Value = 1;
    w.cmdISample_Click();

    EXPECT_EQ(w.txtLastRead.Text(), "FFFF");
    EXPECT_EQ(w.chkISample.Value, 1);
    EXPECT_EQ(w.shpISample.FillColor, s().ColorLightGreen);
    w.cmdISample_Click();
    EXPECT_EQ(w.shpISample.FillColor, s().ColorGreen);
}

TEST_F(ScriptEngine, Sample_WithoutRunAfterLoad_RecordsLastLoadedLine) {
    start();
    auto& w = openWindow("05,,0B\r\n`ENDM\r\n");
    w.txtIDefault.setText("FFFE");
    w.chkISample.Value = 1;
    w.cmdISample_Click();

    EXPECT_EQ(w.chkISample.Value, 0);
    EXPECT_EQ(w.txtIdetectStep.Text(), "002");
    EXPECT_EQ(w.IntReturnRow, 2);
}

TEST_F(ScriptEngine, Sample_ManualModeWithConnectionClosed_TakesNoSample) {
    start();
    auto& w = openWindow("05,,0B\r\n`ENDM\r\n");
    s().ManualUsbConnect = board::True;
    w.txtIDefault.setText("FFFF");
    w.chkISample.Value = 1;
    w.cmdISample_Click();

    EXPECT_EQ(countInLog("Interrupt Sample .. USB Not opened"), 1u);
    EXPECT_EQ(w.chkISample.Value, 1);
    EXPECT_TRUE(gpioPackets().empty());
}

TEST_F(ScriptEngine, IntRows_EnableAndDisable_SwitchSampling) {
    start();
    auto& w = openWindow("`IE\r\n`ID\r\n`ENDM\r\n");
    w.txtIDefault.setText("FFFF");
    w.actOnRow(1);
    EXPECT_EQ(w.chkISample.Value, 1);
    EXPECT_EQ(w.txtIEnableStep.Text(), "001");
    w.actOnRow(2);
    EXPECT_EQ(w.chkISample.Value, 0);
    EXPECT_EQ(w.txtIDisableStep.Text(), "002");
}

}  // namespace
}  // namespace scripttest
