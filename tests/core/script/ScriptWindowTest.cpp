// The script window: load, default address, further copies, and recording of measured data.
#include <gtest/gtest.h>

#include <filesystem>

#include "ScriptFixture.h"
#include "wd_utils.h"

namespace scripttest {
namespace {

namespace fs = std::filesystem;
using script::CellColor;
using script::Column;

const char* const kStamp = "# AutoUpdated: 12-07-2026 14:05:09 Looping: 0";

class ScriptWindow : public ScriptFixture {};

TEST_F(ScriptWindow, FormLoad_DialogCancelled_EmptyGridWithColumns) {
    start();
    app->mainWindow().txtI2CAdr.setText("A0");
    app->mainWindow().mnu_ScriptShow_Click();
    auto& w = scripts().sharedWindow();

    ASSERT_EQ(host.dialogRequests.size(), 1u);
    EXPECT_EQ(host.dialogRequests[0].title, "Select Script File to Open");
    EXPECT_EQ(host.dialogRequests[0].filters,
              (std::vector<std::string>{"Velmorix Script Files (*.txt)", "All Files (*)"}));
    EXPECT_EQ(host.dialogRequests[0].defaultExt, "txt");
    EXPECT_EQ(w.Caption, "No Script File Selected");
    EXPECT_FALSE(w.frmScriptExec.Visible);
    EXPECT_TRUE(w.Visible);
    EXPECT_EQ(w.txtI2CAdr.Text(), "A0");
    EXPECT_EQ(s().I2CWriteAddr, 0xA0);
    EXPECT_EQ(s().I2CReadAddr, 0xA1);
    EXPECT_EQ(w.vbalGrid1.Rows(), 24);
    ASSERT_EQ(w.vbalGrid1.Columns(), 8);
    EXPECT_EQ(w.vbalGrid1.ColumnHeader(6), "Act_Rd");
    EXPECT_EQ(w.vbalGrid1.ColumnWidth(8), 298);
    EXPECT_EQ(w.vbalGrid1.ColumnCode(7), 2);
    EXPECT_EQ(w.vbalGrid1.ColumnCode(8), 0);
    EXPECT_FALSE(w.ScriptChosen);

    w.cmdReload2_Click();
    EXPECT_EQ(countInLog("No Script File Opened yet, use File Menu :"), 1u);
}

TEST_F(ScriptWindow, Load_Script_FillsGridTablesAndSharedBounds) {
    start();
    auto& w = openWindow("`w5\r\n10,A5,0A # gain\r\n`ENDM\r\n`EISTART\r\n`EIEND\r\n", "g.txt");

    EXPECT_EQ(w.Caption, "[ g.txt ]    Script IC Send / Receive");
    EXPECT_TRUE(w.frmScriptExec.Visible);
    EXPECT_TRUE(w.cmdReload2.Visible);
    EXPECT_EQ(w.vbalGrid1.Rows(), 5);
    EXPECT_EQ(cell(2, Column::I2CAdr), "60");
    EXPECT_EQ(cell(2, Column::Operation), " Reg:1 W:1 R:1");
    EXPECT_EQ(w.RowDelay[1], 5);
    EXPECT_EQ(w.RowReadCount[2], 1);
    EXPECT_EQ(w.EndMainRow, 3);
    EXPECT_EQ(w.IntStartRow, 4);
    EXPECT_EQ(w.IntEndRow, 5);
    EXPECT_EQ(w.txtIstart.Text(), " 4");
    EXPECT_EQ(w.txttotReads.Text(), "1");
    EXPECT_EQ(w.txtTotLines.Text(), "5");
    EXPECT_EQ(w.txtScriptLine1.Text(), "14:05:09");
}

TEST_F(ScriptWindow, Load_TooManyLines_RefusedAndWindowUnchanged) {
    start();
    auto& w = openWindow("05,,0B\r\n`ENDM\r\n");
    std::string big;
    for (int i = 0; i < 1001; ++i) {
        big += "05,,0B\r\n";
    }
    std::string path = writeScript("big.txt", big);
    host.dialogAnswers.push_back({false, path, "big.txt"});
    w.mnuScript_Read_Click();

    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].text.find("more than 1000 lines"), std::string::npos);
    EXPECT_EQ(w.vbalGrid1.Rows(), 2);
    EXPECT_EQ(w.Caption, "[ t.txt ]    Script IC Send / Receive");
    EXPECT_EQ(w.EndMainRow, 2);
}

struct RefusedCase {
    const char* name;
    bool folder;
    bool tooLong;
};

class ScriptWindowRefused : public ScriptFixture,
                            public testing::WithParamInterface<RefusedCase> {};

TEST_P(ScriptWindowRefused, Load_Refused_ChosenFileStaysForReloadAndSave) {
    start();
    auto& w = openWindow("05,,0A\r\n`S\r\n`ENDM\r\n");
    fs::path refused = dir / "refused.txt";
    if (GetParam().folder) {
        fs::create_directories(refused);
    } else if (GetParam().tooLong) {
        std::string big;
        for (int i = 0; i < 1001; ++i) {
            big += "05,,0B\r\n";
        }
        writeScript("refused.txt", big);
    }
    host.dialogAnswers.push_back({false, refused.string(), "refused.txt"});
    w.mnuScript_Read_Click();

    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(w.cdldialog.FileName, (dir / "t.txt").string());
    EXPECT_EQ(w.cdldialog.FileTitle, "t.txt");
    EXPECT_TRUE(w.ScriptChosen);
    w.cmdReload2_Click();
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(w.Caption, "[ t.txt ]    Script IC Send / Receive");
    // The "Save File" row writes beside the loaded script, never under the refused name.
    w.cmdExecAll_Click();
    EXPECT_TRUE(fs::exists(dir / "t_DL.txt"));
    EXPECT_FALSE(fs::exists(dir / "refused_DL.txt"));
}

INSTANTIATE_TEST_SUITE_P(Files, ScriptWindowRefused,
                         testing::Values(RefusedCase{"Folder", true, false},
                                         RefusedCase{"TooManyLines", false, true},
                                         RefusedCase{"Missing", false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScriptWindow, ReadScriptFile_Cancelled_KeepsScriptForReload) {
    start();
    auto& w = openWindow("05,,0B\r\n`ENDM\r\n");
    w.mnuScript_Read_Click();
    EXPECT_TRUE(w.ScriptChosen);
    w.cmdReload2_Click();
    EXPECT_EQ(countInLog("No Script File Opened yet"), 0u);
    EXPECT_EQ(w.vbalGrid1.Rows(), 2);
}

TEST_F(ScriptWindow, Reload_ShorterFile_ExtraRowsGoneCommandRowsCountNothing) {
    start();
    auto& w = openWindow("05,,0B\r\n10,20,30 # three\r\n`w5\r\n05,,0B\r\n`ENDM\r\n");
    w.cmdExecAll_Click();
    writeScript("t.txt", "05,,0B\r\n`IE\r\n`w\r\n");
    w.cmdReload2_Click();

    EXPECT_EQ(w.vbalGrid1.Rows(), 3);
    EXPECT_EQ(w.TotalLines, 3);
    EXPECT_EQ(w.RowRegCount[2] + w.RowWriteCount[2] + w.RowReadCount[2], 0);
    EXPECT_EQ(w.RowDelay[2], 0);
    EXPECT_EQ(w.RowDelay[3], -1);
    EXPECT_EQ(cell(1, Column::ActRd), "--");
    EXPECT_EQ(color(1, Column::ActRd), CellColor::Default);
    EXPECT_EQ(cell(2, Column::Operation), "Cmd: Int Enable");
    EXPECT_EQ(w.txtRdPass.Text(), "0");
    EXPECT_EQ(w.txttotReads.Text(), "1");
    EXPECT_EQ(w.EndMainRow, 3);
    EXPECT_FALSE(w.frmDataRecord.Visible);
    EXPECT_TRUE(w.cmdExecAll.Visible);
    EXPECT_TRUE(w.cmdRunContinuous.Visible);
}

struct AddressCase {
    const char* typed;
    const char* shown;
    const char* rowAddress;
    bool logged;
};

class ScriptWindowAddress : public ScriptFixture,
                            public testing::WithParamInterface<AddressCase> {};

TEST_P(ScriptWindowAddress, EnterInAddressBox_AppliesOrRejects) {
    start();
    auto& w = openWindow("05,,0B\r\n`ENDM\r\n");
    w.txtI2CAdr.setText(GetParam().typed);
    int key = 13;
    w.txtI2CAdr_KeyPress(key);

    EXPECT_EQ(w.txtI2CAdr.Text(), GetParam().shown);
    EXPECT_EQ(cell(1, Column::I2CAdr), GetParam().rowAddress);
    EXPECT_EQ(countInLog("Address value too large script default I2C address Invalid :"),
              GetParam().logged ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Values, ScriptWindowAddress,
                         testing::Values(AddressCase{"3c", "3C", "3C", false},
                                         AddressCase{"FF", "60", "60", true},
                                         AddressCase{"FFFF", "60", "60", true},
                                         AddressCase{"12345", "60", "60", true}));

struct LoadAfterGpioCase {
    const char* name;
    bool reload;
};

class ScriptWindowLoadAfterGpio : public ScriptFixture,
                                  public testing::WithParamInterface<LoadAfterGpioCase> {};

// A GPIO row leaves the shared write address at 0; the next load still starts from the
// window's own default address, so no row is aimed at the general-call address.
TEST_P(ScriptWindowLoadAfterGpio, Load_AfterGpioRowRan_StartsFromDefaultAddressBox) {
    start();
    auto& w = openWindow("05,,0B\r\n`GFFFF\r\n`ENDM\r\n");
    w.cmdExecAll_Click();
    ASSERT_EQ(s().I2CWriteAddr, 0);
    if (GetParam().reload) {
        w.cmdReload2_Click();
    } else {
        host.dialogAnswers.push_back({false, writeScript("o.txt", "05,,0B\r\n`ENDM\r\n"), "o.txt"});
        w.mnuScript_Read_Click();
    }
    EXPECT_EQ(cell(1, Column::I2CAdr), "60");

    board->clearPacketLog();
    w.cmdExecAll_Click();
    std::vector<std::vector<std::uint8_t>> reads = {{0x01, 0x61, 0x05}};
    EXPECT_EQ(readCommands(), reads);
}

INSTANTIATE_TEST_SUITE_P(Loads, ScriptWindowLoadAfterGpio,
                         testing::Values(LoadAfterGpioCase{"Reload", true},
                                         LoadAfterGpioCase{"Open", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScriptWindow, AddressKeys_FilteredAsHex) {
    start();
    auto& w = openWindow("05,,0B\r\n`ENDM\r\n");
    int key = 'c';
    w.txtI2CAdr_KeyPress(key);
    EXPECT_EQ(key, 'C');
    key = 'g';
    w.txtI2CAdr_KeyPress(key);
    EXPECT_EQ(key, 0);
    // Editing keys (Ctrl+A, Ctrl+C, Ctrl+V, Ctrl+X, Ctrl+Z, Backspace, Delete) pass unchanged.
    for (int editing : {1, 3, 22, 24, 26, 8, 127}) {
        key = editing;
        w.txtI2CAdr_KeyPress(key);
        EXPECT_EQ(key, editing);
    }
    EXPECT_EQ(w.txtI2CAdr.Text(), "60");
}

TEST_F(ScriptWindow, Dupform_SecondCopy_OwnGridSharedRunState) {
    start();
    auto& first = openWindow("05,,0B\r\n05,,0B\r\n`ENDM\r\n");
    first.cmdExecAll_Click();
    std::string path = writeScript("second.txt", "05,,0C\r\n`ENDM\r\n`EISTART\r\n`EIEND\r\n");
    host.dialogAnswers.push_back({false, path, "second.txt"});
    first.Dupform_Click();

    auto open = scripts().openWindows();
    ASSERT_EQ(open.size(), 2u);
    script::frmScriptOps& second = *open[1];
    EXPECT_TRUE(second.Visible);
    EXPECT_EQ(second.vbalGrid1.Rows(), 4);
    EXPECT_EQ(first.vbalGrid1.Rows(), 3);
    EXPECT_EQ(cell(1, Column::ActRd), "0B");
    EXPECT_EQ(first.txtRdPass.Text(), "2");
    EXPECT_EQ(&second.runState(), &first.runState());
    EXPECT_EQ(second.EndMainRow, 2);
    EXPECT_EQ(second.IntStartRow, 3);
    EXPECT_EQ(first.EndMainRow, 3);
    EXPECT_EQ(first.IntStartRow, 0);

    second.cmdAbort_Click();
    EXPECT_EQ(run().AbortRequested, board::True);
    scripts().close(second);
    EXPECT_EQ(scripts().openWindows().size(), 1u);
    scripts().collectClosed();
}

TEST_F(ScriptWindow, Dupform_OtherCopyLoadedLater_RunKeepsItsOwnSections) {
    start();
    auto& first = openWindow(
        "`GFFFF\r\n`IE\r\n10,01 # raises the interrupt\r\n20,,00\r\n`ENDM\r\n"
        "`EISTART\r\n11,,00 # clears it\r\n`EIEND\r\n");
    host.dialogAnswers.push_back({false, writeScript("o.txt", "05,,0B\r\n`ENDM\r\n"), "o.txt"});
    first.Dupform_Click();
    script::frmScriptOps& second = *scripts().openWindows().at(1);
    board->clearPacketLog();
    first.cmdExecAll_Click();

    // The main section to row 4 with the service section 6 to 8 inside row 3.
    std::vector<std::vector<std::uint8_t>> reads = {{0x01, 0x61, 0x11}, {0x01, 0x61, 0x20}};
    EXPECT_EQ(readCommands(), reads);
    EXPECT_EQ(first.IntReturnRow, 3);
    EXPECT_EQ(first.txtRdPass.Text(), "3");
    EXPECT_EQ(second.EndMainRow, 2);
    EXPECT_EQ(second.vbalGrid1.CellText(1, static_cast<int>(Column::ActRd)), "--");
}

TEST_F(ScriptWindow, Dupform_RunInOneCopy_OtherCopyCannotStartOne) {
    start();
    auto& first = openWindow("05,,0B\r\n05,,0B\r\n`ENDM\r\n");
    host.dialogAnswers.push_back({false, writeScript("o.txt", "05,,0B\r\n`ENDM\r\n"), "o.txt"});
    first.Dupform_Click();
    script::frmScriptOps& second = *scripts().openWindows().at(1);
    host.atYield(host.yields + 20, [&] {
        second.cmdExecAll_Click();
        second.actOnRow(1);
    });
    first.cmdExecAll_Click();

    EXPECT_EQ(second.vbalGrid1.CellText(1, static_cast<int>(Column::ActRd)), "--");
    EXPECT_EQ(second.txtRunning.Text(), "");
    EXPECT_EQ(first.txtRdPass.Text(), "2");
    EXPECT_EQ(first.txtRunning.Text(), "Done");
}

// Closing a window during Loop Cont, in a pass or between two, ends the loop there and leaves
// the program as "Abort" does: the connection closed, no run going, every window free again.
struct CloseMoment {
    const char* name;
    bool inPass;
};

class ScriptWindowClose : public ScriptFixture, public testing::WithParamInterface<CloseMoment> {};

TEST_P(ScriptWindowClose, DuringLoopCont_StopsAtOnceAsAbortDoes) {
    const bool inPass = GetParam().inPass;
    start();
    auto& w = openWindow("05,,0B\r\n`w30000\r\n05,,0B\r\n`ENDM\r\n");
    bool closed = false;
    bool gaveUp = false;
    host.pump = [&] {
        WDU_VB_PumpEvents();
        if (!closed && w.txtLoopCount.Text() == "1" && w.RunActive == inPass &&
            (!inPass || w.txtRunning.Text() == "2")) {
            closed = true;
            scripts().close(w);
        } else if (!gaveUp && w.txtLoopCount.Text() == "50") {
            // The loop ignored the close: end it once, so the test fails instead of hanging.
            gaveUp = true;
            w.cmdAbort_Click();
        }
    };
    const long sleptBefore = host.sleptMs;
    w.cmdRunContinuous_Click();
    host.pump = WDU_VB_PumpEvents;

    EXPECT_TRUE(closed);
    EXPECT_EQ(w.txtLoopCount.Text(), inPass ? "2" : "1");
    // The 30 s delay of the pass in which the window closed ends at once.
    EXPECT_LT(host.sleptMs - sleptBefore, 40000);
    EXPECT_EQ(run().RunningWindow, nullptr);
    EXPECT_EQ(s().UsbOpened, board::False);
    EXPECT_EQ(s().ManualUsbConnect, board::False);
    EXPECT_FALSE(w.RunActive);
    scripts().collectClosed();
}

INSTANTIATE_TEST_SUITE_P(Moments, ScriptWindowClose,
                         testing::Values(CloseMoment{"InPass", true},
                                         CloseMoment{"BetweenPasses", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// The keys that walk the grid move the selection within it and run nothing.
TEST_F(ScriptWindow, GridMove_SelectionStaysInsideTheGrid) {
    script::ScriptGrid grid;
    grid.moveSelection(script::GridMove::Down, 10);
    EXPECT_EQ(grid.SelectedRow(), 0);
    grid.setRows(30);
    using script::GridMove;
    const std::pair<GridMove, int> steps[] = {
        {GridMove::Down, 1},      {GridMove::Up, 1},        {GridMove::PageDown, 11},
        {GridMove::PageDown, 21}, {GridMove::PageDown, 30}, {GridMove::Down, 30},
        {GridMove::PageUp, 20},   {GridMove::Home, 1},      {GridMove::End, 30}};
    for (const auto& [move, row] : steps) {
        grid.moveSelection(move, 10);
        EXPECT_EQ(grid.SelectedRow(), row) << static_cast<int>(move);
    }
}

TEST_F(ScriptWindow, FormResize_SizesGridAndKeepsHeightWhenLow) {
    start();
    auto& w = openWindow("05,,0B\r\n");
    w.Form_Resize(12000, 9000);
    EXPECT_EQ(w.vbalGrid1.Left, 100);
    EXPECT_EQ(w.vbalGrid1.Width, 11600);
    EXPECT_EQ(w.vbalGrid1.Height, 4600);
    w.Form_Resize(10000, 3500);
    EXPECT_EQ(w.vbalGrid1.Width, 9600);
    EXPECT_EQ(w.vbalGrid1.Height, 4600);
    EXPECT_TRUE(w.vbalGrid1.Visible);
}

// ---- Recording --------------------------------------------------------------------------------

TEST_F(ScriptWindow, WriteToDisk_UpdatesReadRowsKeepsCommentsAndRowsNeverRun) {
    start();
    auto& w =
        openWindow("# power test\r\n05,,0A # gain readback\r\n`ENDM\r\n06,,0C # never run\r\n");
    w.cmdExecAll_Click();
    fs::path target = dir / "out.txt";
    w.txtFilePath.setText(target.string());
    w.cmdStartRec_Click();

    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(readFile(target),
              "# power test" + std::string(kStamp) +
                  "\r\n05,,0B # gain readback\r\n`ENDM\r\n06,,0C # never run\r\n");
    EXPECT_EQ(w.Label18.Caption, " 4 Script written: 12-07-2026 14:05:09");
    EXPECT_EQ(cell(2, Column::DataRd), "0A");
}

TEST_F(ScriptWindow, WriteToDisk_FailedReads_KeepTheirExpectedData) {
    start();
    // Nothing answers at 62: its read gets a wrong count byte and zero bytes.
    auto& w = openWindow("# t\r\n`A62\r\n05,,7A\r\n`A60\r\n05,,0A\r\n`ENDM\r\n");
    w.cmdExecAll_Click();
    fs::path target = dir / "out.txt";
    w.txtFilePath.setText(target.string());
    w.cmdStartRec_Click();

    EXPECT_EQ(readFile(target),
              "# t" + std::string(kStamp) + "\r\n`A62\r\n05,,7A\r\n`A60\r\n05,,0B\r\n`ENDM\r\n");
}

TEST_F(ScriptWindow, WriteToDisk_AppendTwice_TwoStampedCopies) {
    start();
    auto& w = openWindow("# t\r\n05,,0B\r\n`ENDM\r\n");
    w.cmdExecAll_Click();
    fs::path target = dir / "log.txt";
    w.txtFilePath.setText(target.string());
    w.chkAppend.Value = 1;
    w.cmdStartRec_Click();
    w.cmdStartRec_Click();

    std::string copy = "# t" + std::string(kStamp) + "\r\n05,,0B\r\n`ENDM\r\n";
    EXPECT_EQ(readFile(target), copy + copy);
}

TEST_F(ScriptWindow, WriteToDisk_BadPath_MessageAndNothingWritten) {
    start();
    auto& w = openWindow("05,,0B\r\n`ENDM\r\n");
    w.txtFilePath.setText((dir / "missing" / "out.txt").string());
    w.cmdStartRec_Click();

    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_FALSE(host.messages[0].text.empty());
    EXPECT_TRUE(w.Label18.Caption.empty());
}

TEST_F(ScriptWindow, SaveFileRow_AppendsToDlFile) {
    start();
    auto& w = openWindow("# p\r\n05,,0A\r\n`S\r\n`ENDM\r\n", "power.txt");
    w.cmdExecAll_Click();

    fs::path saved = dir / "power_DL.txt";
    EXPECT_EQ(w.txtFilePath.Text(), saved.string());
    EXPECT_EQ(w.chkAppend.Value, 1);
    EXPECT_EQ(readFile(saved), "# p" + std::string(kStamp) + "\r\n05,,0B\r\n`S\r\n`ENDM\r\n");
    EXPECT_EQ(readFile(dir / "power.txt"), "# p\r\n05,,0A\r\n`S\r\n`ENDM\r\n");
}

TEST_F(ScriptWindow, Browse_PicksOutputFile) {
    start();
    auto& w = openWindow("05,,0B\r\n");
    host.dialogAnswers.push_back({false, "/tmp/x/out.txt", "out.txt"});
    w.cmdBrowse_Click();
    EXPECT_EQ(w.txtFilePath.Text(), "/tmp/x/out.txt");
    EXPECT_EQ(host.dialogRequests.back().title, "Select File For Update");
    EXPECT_EQ(host.dialogRequests.back().dialog, form::TestHost::Dialog::Save);
    EXPECT_EQ(host.dialogRequests.back().fileName, (dir / "t.txt").string());
    // Every file shows under "All Files"; the script filter is named as the window names it.
    EXPECT_EQ(host.dialogRequests.back().filters,
              (std::vector<std::string>{"All Files (*)", "Script(*.txt)"}));

    w.cmdBrowse_Click();
    EXPECT_EQ(w.txtFilePath.Text(), "/tmp/x/out.txt");
}

}  // namespace
}  // namespace scripttest
