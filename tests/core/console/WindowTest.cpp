// The main window's load sequence, closing, scrolling layout, log and menu.
#include <map>
#include <utility>

#include "board/HexText.h"
#include "testing/AppFixture.h"

namespace apptest {
namespace {

class WindowTest : public AppFixture {};

TEST_F(WindowTest, Load_BoardPresent_FirstStateAndInitialGpioWrite) {
    app->start();
    EXPECT_EQ(packets(), (std::vector{out(1, {0xFF, 0xFF, 0x00, 0x00}),
                                      in(0x81, gpioReply(0xFF, 0xFF, 0x00, 0x00))}));
    // One connect and disconnect of the main window, then the panel's own pair for its write.
    EXPECT_EQ(countInLog("Setting eventable up"), 2u);
    EXPECT_EQ(countInLog("DeviceAttach: Received and accepted attach"), 2u);
    EXPECT_EQ(countInLog("No bridge board found"), 0u);
    EXPECT_EQ(s().UsbOpened, board::False);
    EXPECT_EQ(s().ManualUsbConnect, board::False);
    EXPECT_EQ(s().GpioState, (std::array<std::uint8_t, 4>{0x00, 0x00, 0xFF, 0xFF}));
    EXPECT_EQ(s().I2CWriteAddr, 0x60);
    EXPECT_EQ(s().I2CReadAddr, 0x61);
    EXPECT_EQ(s().ActiveWindow, &main());
    EXPECT_TRUE(main().Visible);
    EXPECT_EQ(main().Caption, "Velmorix I2C Communications Software");
    EXPECT_EQ(main().txtActualWrtAddress.Text(), "60");
    EXPECT_EQ(main().txtActualReadAddress.Text(), "61");
    EXPECT_EQ(main().SSTab1.Tab, 0);
    EXPECT_TRUE(main().cmdexit.Visible);
    EXPECT_FALSE(main().cbSend.Visible);
    EXPECT_FALSE(main().cbReset.Visible);
    // The start-up connect found the board.
    EXPECT_EQ(main().ShpAttach.FillColor, s().ColorLightGreen);
    // Colours are assigned before the start-up connect, so its lamps show real colours.
    EXPECT_EQ(form::paletteRgb(main().shpUSBCon[1].FillColor), (form::Rgb{0, 255, 0}));
    EXPECT_EQ(form::paletteRgb(main().shpLogStatus.FillColor), (form::Rgb{0, 255, 0}));
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(main().Reg_Adr[i].Text(), board::HexByteText(static_cast<std::uint8_t>(i)));
        EXPECT_EQ(main().Reg_Adr[i].ToolTipText, "Register Address 0x00 to 0xFF");
        EXPECT_EQ(main().txtBWrite[i].Text(), "");
        EXPECT_EQ(main().txtBWrite[i].ToolTipText,
                  "Double click, or press ENTER key to write to single register");
        EXPECT_EQ(main().txtRdByte[i].ToolTipText, "Single click to read register");
        EXPECT_EQ(main().Shape1[i].FillColor, s().ColorBlack);
        EXPECT_EQ(main().shpBwrite[i].FillColor, s().ColorBlack);
    }
    EXPECT_EQ(main().txtUserRegAdr.Text(), "00");
    EXPECT_EQ(main().txtsbwr[0].Text(), "AA");
    EXPECT_EQ(main().txtsbwr[1].Text(), "55");
    EXPECT_EQ(main().txtReadByte.Text(), "--");
    EXPECT_TRUE(app->gpioPanelLoaded());
    EXPECT_FALSE(panel().Visible);
}

TEST_F(WindowTest, Load_NoBoard_LoadCompletesFailureLogged) {
    board->detach();
    app->start();
    EXPECT_TRUE(packets().empty());
    EXPECT_NE(log().find("WriteGPIOPipe: WDU_GetDeviceInfo() failed:"), std::string::npos);
    // Once, in plain words, with how to try the program anyway, after the driver's own lines.
    const std::string noBoard = entry(
        "No bridge board found, or start it with --bridge sim to try it on a simulated board");
    EXPECT_EQ(countInLog("No bridge board found"), 1u);
    ASSERT_NE(log().find(noBoard), std::string::npos) << log();
    EXPECT_GT(log().find(noBoard), log().find("WriteGPIOPipe: WDU_GetDeviceInfo() failed:"));
    EXPECT_EQ(main().shpLogStatus.FillColor, s().ColorLightRed);
    EXPECT_EQ(main().ShpAttach.FillColor, s().ColorLightRed);
    EXPECT_EQ(s().UsbOpened, board::False);
    EXPECT_TRUE(main().cmdexit.Visible);
    // The start-up GPIO write read nothing back.
    EXPECT_EQ(panel().txtPCHexData[1].Text(), "--");
}

TEST_F(WindowTest, Close_WhileConnected_RefusedUntilDisconnect) {
    startQuietly();
    connectManually();
    EXPECT_FALSE(main().cmdexit.Visible);
    EXPECT_FALSE(app->closeMainWindow());
    EXPECT_EQ(log(),
              entry("Form will not close until USB Connection is closed. Click USB Disconnect"));
    // The reason is on the "Program Log" tab, which comes forward.
    EXPECT_EQ(main().SSTab1.Tab, 1);
    main().SSTab1.Tab = 0;
    main().cmdexit_Click();
    EXPECT_EQ(countInLog("Form will not close"), 2u);
    EXPECT_EQ(main().SSTab1.Tab, 1);
    EXPECT_FALSE(app->quitRequested());
    EXPECT_EQ(navigator.quits, 0);

    main().cmdUSBDisconnect_Click();
    EXPECT_TRUE(main().cmdexit.Visible);
    EXPECT_EQ(main().cbNoc.Caption, "USB Board Interface Closed");
    EXPECT_EQ(main().txthDriver.Text(), "Closed");
    EXPECT_EQ(main().ShpHandleStatus.FillColor, s().ColorBlack);
    main().cmdexit_Click();
    EXPECT_TRUE(app->quitRequested());
    EXPECT_EQ(navigator.quits, 1);
}

TEST_F(WindowTest, Close_DuringOperation_RefusedWithLogTabForward) {
    startQuietly();
    bool closed = true;
    app->gate().dispatch([&] { closed = app->requestMainWindowClose(); });
    EXPECT_FALSE(closed);
    EXPECT_EQ(countInLog("Form will not close"), 1u);
    EXPECT_EQ(main().SSTab1.Tab, 1);
}

// The GPIO panel's own disconnect inside the test, and the menu's plain Disconnect_USB, close
// the connection under the window's indicators; afterwards they show it closed all the same.
TEST_F(WindowTest, ConnectionIndicators_AfterLoadTestAndScriptMenu_ShowClosed) {
    startQuietly();
    auto expectClosed = [this](const char* after) {
        SCOPED_TRACE(after);
        EXPECT_EQ(s().UsbOpened, board::False);
        EXPECT_EQ(main().shpUSBCon[0].FillColor, s().ColorBlack);
        EXPECT_EQ(main().shpUSBCon[1].FillColor, s().ColorLightGreen);
        EXPECT_EQ(main().ShpHandleStatus.FillColor, s().ColorBlack);
        EXPECT_EQ(main().txthDriver.Text(), "Closed");
        EXPECT_TRUE(main().cmdexit.Visible);
    };
    expectClosed("Load");
    main().cmdTestComm_Click();
    expectClosed("Test");
    connectManually();
    main().mnu_ScriptShow_Click();
    expectClosed("Script Execution");
}

TEST_F(WindowTest, Close_NotConnected_UnloadsAndEndsProgram) {
    startQuietly();
    EXPECT_TRUE(app->closeMainWindow());
    EXPECT_TRUE(app->quitRequested());
    EXPECT_EQ(log(), "");
}

struct ResizeCase {
    int width, height;
    bool vVisible, hVisible;
    int vMax, hMax;
};

class ResizeTest : public AppFixture, public ::testing::WithParamInterface<ResizeCase> {};

TEST_P(ResizeTest, Resize_ClientSize_ScrollBarsMatchHiddenSize) {
    const auto& c = GetParam();
    auto& w = main();
    w.Form_Resize(c.width, c.height);
    EXPECT_EQ(w.VScroll1.Visible, c.vVisible);
    EXPECT_EQ(w.HScroll1.Visible, c.hVisible);
    if (c.vVisible) {
        EXPECT_EQ(w.VScroll1.Max, c.vMax);
        EXPECT_EQ(w.VScroll1.LargeChange, 2500);
        EXPECT_EQ(w.VScroll1.SmallChange, 250);
    }
    if (c.hVisible) {
        EXPECT_EQ(w.HScroll1.Max, c.hMax);
    }
    EXPECT_EQ(w.pbouter.Height, c.height - 255 - 400);
    EXPECT_EQ(w.VScroll1.Left, c.width - 255);
    EXPECT_EQ(w.HScroll1.Top, c.height - 255);
}

// Viewport: width - 255 and height - 255 - 400; panel 10635 x 7335.
INSTANTIATE_TEST_SUITE_P(Sizes, ResizeTest,
                         ::testing::Values(ResizeCase{11205, 7995, false, false, 0, 0},
                                           ResizeCase{6000, 4000, true, true, 3990, 4890},
                                           ResizeCase{20000, 4000, true, false, 3990, 0},
                                           ResizeCase{6000, 9000, false, true, 0, 4890}));

TEST_F(WindowTest, Resize_Scrolled_PanelMovesAndReturnsWhenEnlarged) {
    auto& w = main();
    w.Form_Resize(6000, 4000);
    w.VScroll1.Value = 1000;
    w.VScroll1_Change();
    w.HScroll1.Value = 2500;
    w.HScroll1_Change();
    EXPECT_EQ(w.pbinner.Top, -1000);
    EXPECT_EQ(w.pbinner.Left, -2500);
    w.Form_Resize(400, 300);  // minimised: nothing changes
    EXPECT_EQ(w.pbinner.Top, -1000);
    EXPECT_TRUE(w.VScroll1.Visible);
    w.Form_Resize(12000, 9000);
    EXPECT_FALSE(w.VScroll1.Visible);
    EXPECT_EQ(w.pbinner.Top, 0);
    EXPECT_EQ(w.pbinner.Left, 0);
}

TEST_F(WindowTest, ClearLog_ThenEntry_LogStartsFresh) {
    startQuietly();
    main().cbReset_Click();
    EXPECT_FALSE(log().empty());
    main().cmdClearLog_Click();
    EXPECT_EQ(log(), "");
    main().cbReset_Click();
    EXPECT_EQ(log(), entry("Press Reset Button On Evaluation Board, Software Reseting Control "
                           "Registers to Reset Status"));
}

// The attach and log lamps after a READ with the board pulled and again after it is plugged back
// in: in automatic mode the READ's own connect looks for the board, in manual mode the detach
// and attach events arrive while the connection stays open.
class LampTest : public AppFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(LampTest, Read_BoardPulledThenReplugged_LampsFollowTheBoard) {
    const bool manual = GetParam();
    startQuietly();
    if (manual) {
        connectManually();
    }
    main().txtUserRegAdr.setText("05");
    struct Step {
        bool attached;
        const char* shown;
        form::PaletteIndex lamp;
    };
    for (const Step& step :
         {Step{false, "--", s().ColorLightRed}, Step{true, "7A", s().ColorLightGreen}}) {
        if (step.attached) {
            board->attach();
        } else {
            board->detach();
        }
        // The user clicks READ some time later: pending events arrive first.
        host.doEvents();
        main().cmdRead_Click();
        EXPECT_EQ(main().txtReadByte.Text(), step.shown);
        EXPECT_EQ(main().ShpAttach.FillColor, step.lamp) << "attached " << step.attached;
        EXPECT_EQ(main().shpLogStatus.FillColor, step.lamp) << "attached " << step.attached;
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, LampTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Manual" : "Automatic"; });

TEST_F(WindowTest, ScriptMenu_ManualAndConnected_ClosedSwitchClearedWindowShown) {
    startQuietly();
    connectManually();
    navigator.shown.clear();
    main().mnu_ScriptShow_Click();
    EXPECT_EQ(s().UsbOpened, board::False);
    EXPECT_EQ(main().ChKManUsbConn.Value, 0);
    EXPECT_EQ(s().ManualUsbConnect, board::False);
    EXPECT_EQ(navigator.shown, (std::vector<const form::Window*>{&scripts().sharedWindow()}));
}

TEST_F(WindowTest, Layout_EveryControlInsideItsContainerAndNoneOverlap) {
    using Key = std::pair<std::string, int>;
    std::map<Key, std::pair<int, int>> size{{{"pbinner", -1}, {10635, 7335}},
                                            {{"SSTab1", 1}, {10950, 7740}}};
    const form::ControlTable table = main().controls();
    for (const auto& e : table) {
        size[{std::string(e.name), e.index}] = {e.geometry.width, e.geometry.height};
    }
    for (const auto& e : table) {
        const auto& g = e.geometry;
        if (g.container.empty()) {
            continue;  // window level: drawn over the tab headers or below the design area
        }
        const auto it = size.find({std::string(g.container), g.containerIndex});
        ASSERT_NE(it, size.end()) << g.container;
        EXPECT_GE(g.left, 0) << e.name << e.index;
        EXPECT_GE(g.top, 0) << e.name << e.index;
        EXPECT_LE(g.left + g.width, it->second.first) << e.name << e.index;
        EXPECT_LE(g.top + g.height, it->second.second) << e.name << e.index;
    }
    expectControlsApart(table);
}

}  // namespace
}  // namespace apptest
