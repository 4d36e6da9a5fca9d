#include "LinkFixture.h"
#include "testing/ProgramStateAccess.h"

namespace boardtest {
namespace {

using board::False;
using board::True;

class LogTest : public LinkFixture {};

TEST_F(LogTest, AppendLogText_Entry_MessageDateTimeTwoTerminators) {
    link->LogAppend("Already Opened", "\r\n");
    EXPECT_EQ(log(), "Already Opened :12-07-2026 14:05:09\r\n\r\n");
    EXPECT_EQ(main.Txtlog().SelStart, log().size());
}

TEST_F(LogTest, AppendLogText_SingleDigitFields_ZeroPadded) {
    host.clock = {2027, 1, 2, 3, 4, 5};
    link->LogNote("x");
    host.clock = {2027, 11, 30, 23, 59, 0};
    link->LogAppend("y", "|");
    EXPECT_EQ(log(), "x :01-02-2027 03:04:05\r\n\r\ny :11-30-2027 23:59:00||");
}

TEST_F(LogTest, AppendLogText_ClearFirst_EmptiesBoxFirst) {
    form::TextBox box;
    box.setText("old");
    link->AppendLogText(box, "new", "\r\n", true);
    EXPECT_EQ(box.Text(), entry("new"));
    link->AppendLogText(box, "more", "\r\n", false);
    EXPECT_EQ(box.Text(), entry("new") + entry("more"));
}

TEST_F(LogTest, AppendLogText_ManyEntries_AppendsInPlaceWithinBudget) {
    auto generation = main.Txtlog().textGeneration();
    for (int i = 0; i < 100000; ++i) {
        link->LogNote("entré");
    }
    // 200,000 lines: the oldest whole entries gave way to the notice line.
    EXPECT_EQ(main.Txtlog().textGeneration(), generation);
    const std::string notice = std::string(board::kLogDroppedNotice) + "\r\n";
    ASSERT_EQ(log().compare(0, notice.size(), notice), 0);
    const std::size_t kept = log().size() - notice.size();
    EXPECT_EQ(kept % entry("entré").size(), 0u);
    EXPECT_LE(2 * kept / entry("entré").size(), board::kLogMaxLines);
    EXPECT_EQ(main.Txtlog().droppedBytes() + kept, 100000 * entry("entré").size());
    // The caret counts characters: "é" is two bytes but one character.
    EXPECT_EQ(main.Txtlog().SelStart, form::characterCount(log()));
}

TEST_F(LogTest, LogLamp_ErrorThenAppend_StaysRedUntilCommErrorCleared) {
    link->LogAppend("ok", "\r\n");
    EXPECT_EQ(main.shpLogStatus().FillColor, s().ColorLightGreen);
    link->LogError("bad");
    EXPECT_EQ(s().CommError, True);
    EXPECT_EQ(main.shpLogStatus().FillColor, s().ColorLightRed);
    link->LogAppend("later", "\r\n");
    EXPECT_EQ(main.shpLogStatus().FillColor, s().ColorLightRed);
    link->LogNote("note");
    EXPECT_EQ(main.shpLogStatus().FillColor, s().ColorLightRed);
    s().CommError = False;
    link->LogAppend("again", "\r\n");
    EXPECT_EQ(main.shpLogStatus().FillColor, s().ColorLightGreen);
    EXPECT_EQ(log(), entry("ok") + entry("bad") + entry("later") + entry("note") + entry("again"));
}

TEST_F(LogTest, LogNote_Lamp_Untouched) {
    main.shpLogStatus().FillColor = 5;
    link->LogNote("n");
    EXPECT_EQ(main.shpLogStatus().FillColor, 5);
    EXPECT_EQ(s().CommError, False);
}

TEST_F(LogTest, InitColorsAndPipes_Values_PaletteIndices) {
    board::BoardLink fresh(host, main);
    EXPECT_EQ(board::ProgramStateAccess::of(fresh).OutPipeNum, 0);
    EXPECT_EQ(board::ProgramStateAccess::of(fresh).ColorLightGreen, 0);
    fresh.InitColors();
    fresh.InitPipes();
    EXPECT_EQ(board::ProgramStateAccess::of(fresh).OutPipeNum, 2);
    EXPECT_EQ(board::ProgramStateAccess::of(fresh).ColorBlack, 0);
    EXPECT_EQ(board::ProgramStateAccess::of(fresh).ColorGreen, 2);
    EXPECT_EQ(board::ProgramStateAccess::of(fresh).ColorLightGreen, 10);
    EXPECT_EQ(board::ProgramStateAccess::of(fresh).ColorLightRed, 12);
    EXPECT_EQ(form::paletteRgb(board::ProgramStateAccess::of(fresh).ColorLightRed),
              (form::Rgb{255, 0, 0}));
}

TEST_F(LogTest, StatusText_KnownAndUnknownCodes_DriverTextWithoutNul) {
    std::string timeout = link->StatusText(WD_TIME_OUT_EXPIRED);
    EXPECT_FALSE(timeout.empty());
    EXPECT_EQ(timeout, std::string(VB_Stat2Str(WD_TIME_OUT_EXPIRED)));
    EXPECT_EQ(timeout.find('\0'), std::string::npos);
    EXPECT_NE(link->StatusText(WD_TIME_OUT_EXPIRED), link->StatusText(WD_INVALID_HANDLE));
    EXPECT_EQ(link->StatusText(0x7FFFFFFF), std::string(VB_Stat2Str(0x7FFFFFFF)));
}

TEST_F(LogTest, ProgramState_Redim_ZerosExactLength) {
    s().TransferBuffer = {1, 2, 3};
    s().TransferLength = 5;
    s().redimTransferBuffer();
    EXPECT_EQ(s().TransferBuffer, (std::vector<std::uint8_t>(5, 0)));
    s().TransferLength = -1;
    s().redimTransferBuffer();
    EXPECT_TRUE(s().TransferBuffer.empty());
}

}  // namespace
}  // namespace boardtest
