// The GPIO panel: bits of every box, the two write-and-read operations, load and reload.
#include <functional>
#include <map>
#include <utility>

#include "board/HexText.h"
#include "testing/AppFixture.h"

namespace apptest {
namespace {

class PanelTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        startQuietly();
    }
    form::PaletteIndex lightGreen() { return s().ColorLightGreen; }
};

enum class Box { BData, CData, LedData, OutEn, OutEnc, Led1 };

struct BitCase {
    Box box;
    int index;
    int byteIndex;
    std::uint8_t mask;
    bool enableBox;  // W box is txtPCHex, else txtPCHexData
    int wIndex;
};

class BitTest : public PanelTest, public ::testing::WithParamInterface<BitCase> {
  protected:
    form::CheckBox& box(const BitCase& c) {
        auto& p = panel();
        switch (c.box) {
            case Box::BData:
                return p.ChkBData[c.index];
            case Box::CData:
                return p.ChkCData[c.index];
            case Box::LedData:
                return p.ChKLedData[c.index];
            case Box::OutEn:
                return p.chkOutEn[c.index];
            case Box::OutEnc:
                return p.chkOutEnc[c.index];
            case Box::Led1:
                return p.ChLed1[c.index];
        }
        return p.ChkBData[0];
    }
    void click(const BitCase& c) {
        auto& p = panel();
        switch (c.box) {
            case Box::BData:
                p.ChkBData_Click(c.index);
                break;
            case Box::CData:
                p.ChkCData_Click(c.index);
                break;
            case Box::LedData:
                p.ChKLedData_Click(c.index);
                break;
            case Box::OutEn:
                p.chkOutEn_Click(c.index);
                break;
            case Box::OutEnc:
                p.chkOutEnc_Click(c.index);
                break;
            case Box::Led1:
                p.ChLed1_Click(c.index);
                break;
        }
    }
    const std::string& wText(const BitCase& c) {
        return (c.enableBox ? panel().txtPCHex : panel().txtPCHexData)[c.wIndex].Text();
    }
};

TEST_P(BitTest, Click_TickedThenUnticked_OnlyItsBitSetThenClearedNothingSent) {
    const auto& c = GetParam();
    s().GpioState = {0, 0, 0, 0};
    box(c).Value = 1;
    click(c);
    std::array<std::uint8_t, 4> expected{0, 0, 0, 0};
    expected[c.byteIndex] = c.mask;
    EXPECT_EQ(s().GpioState, expected);
    EXPECT_EQ(wText(c), board::HexByteText(c.mask));

    s().GpioState = {0xFF, 0xFF, 0xFF, 0xFF};
    box(c).Value = 0;
    click(c);
    expected = {0xFF, 0xFF, 0xFF, 0xFF};
    expected[c.byteIndex] = static_cast<std::uint8_t>(~c.mask);
    EXPECT_EQ(s().GpioState, expected);
    EXPECT_EQ(wText(c), board::HexByteText(static_cast<std::uint8_t>(~c.mask)));
    EXPECT_TRUE(packets().empty());
}

INSTANTIATE_TEST_SUITE_P(Boxes, BitTest,
                         ::testing::Values(BitCase{Box::BData, 0, 2, 0x01, false, 0},
                                           BitCase{Box::BData, 7, 2, 0x80, false, 0},
                                           BitCase{Box::CData, 0, 3, 0x10, false, 2},
                                           BitCase{Box::CData, 3, 3, 0x80, false, 2},
                                           BitCase{Box::LedData, 0, 3, 0x01, false, 2},
                                           BitCase{Box::LedData, 1, 3, 0x02, false, 2},
                                           BitCase{Box::OutEn, 2, 0, 0x04, true, 0},
                                           BitCase{Box::OutEnc, 3, 1, 0x80, true, 2},
                                           BitCase{Box::Led1, 0, 1, 0x01, true, 2},
                                           BitCase{Box::Led1, 1, 1, 0x02, true, 2}));

TEST_F(PanelTest, EnableUnticked_DataBoxDisabledKeepsCheckAndBit) {
    auto& p = panel();
    EXPECT_TRUE(p.ChkBData[3].Enabled);  // enabled from the start although no enable is set
    p.chkOutEn[3].Value = 1;
    p.chkOutEn_Click(3);
    EXPECT_TRUE(p.ChkBData[3].Enabled);
    p.chkOutEn[3].Value = 0;
    p.chkOutEn_Click(3);
    EXPECT_FALSE(p.ChkBData[3].Enabled);
    EXPECT_EQ(p.ChkBData[3].Value, 1);
    EXPECT_EQ(s().GpioState[2] & 0x08, 0x08);
    p.chkOutEnc[1].Value = 0;
    p.chkOutEnc_Click(1);
    EXPECT_FALSE(p.ChkCData[1].Enabled);
    p.ChLed1[0].Value = 0;
    p.ChLed1_Click(0);
    EXPECT_FALSE(p.ChKLedData[0].Enabled);
    EXPECT_TRUE(p.ChKLedData[1].Enabled);
}

TEST_F(PanelTest, WriteEnablesAndData_ExactPacketsReadBackAndLamps) {
    app->closeGpioPanel();  // a fresh panel: activity lamps black
    auto& p = panel();
    s().GpioState = {0x00, 0xF0, 0xFF, 0x0F};
    p.cmdGPIO_Write_Click();
    // Port C lines 4..7 driven low; the undriven lines read their pulled-up level.
    EXPECT_EQ(packets(), (std::vector{out(1, {0xFF, 0x0F, 0x00, 0xF0}),
                                      in(0x81, gpioReply(0xFF, 0x0F, 0x00, 0xF0))}));
    EXPECT_EQ(p.txtPCHexData[1].Text(), "FF");
    EXPECT_EQ(p.txtPCHexData[3].Text(), "0F");
    EXPECT_EQ(p.txtPCHex[1].Text(), "00");
    EXPECT_EQ(p.txtPCHex[3].Text(), "F0");
    EXPECT_EQ(p.shpGpioWr[2].FillColor, lightGreen());
    EXPECT_EQ(p.shpGpioWr[3].FillColor, lightGreen());
    EXPECT_EQ(s().WriteQty, 4);
    std::vector<std::array<form::PaletteIndex, 3>> seen;
    seen.push_back({p.shpGpioWr[4].FillColor, p.shpGpioWr[5].FillColor, p.shpGpioWr[0].FillColor});
    p.cmdGPIO_Write_Click();
    seen.push_back({p.shpGpioWr[4].FillColor, p.shpGpioWr[5].FillColor, p.shpGpioWr[0].FillColor});
    p.cmdGPIO_Write_Click();
    seen.push_back({p.shpGpioWr[4].FillColor, p.shpGpioWr[5].FillColor, p.shpGpioWr[0].FillColor});
    const auto lg = lightGreen();
    const auto g = s().ColorGreen;
    EXPECT_EQ(seen, (std::vector<std::array<form::PaletteIndex, 3>>{
                        {lg, lg, lg}, {g, g, g}, {lg, lg, lg}}));
    EXPECT_EQ(s().UsbOpened, board::False);
}

TEST_F(PanelTest, WriteDataOnly_TwoBytesEnableSideUntouched) {
    auto& p = panel();
    p.txtPCHex[1].setText("x1");
    p.txtPCHex[3].setText("x3");
    p.shpGpioWr[0].FillColor = 5;
    p.shpGpioWr[2].FillColor = 6;
    p.shpGpioWr[3].FillColor = 7;
    s().GpioState = {0x00, 0x00, 0x5A, 0xF3};
    p.cmdWrite_GPIO_Data_Click();
    EXPECT_EQ(packets(),
              (std::vector{out(1, {0x5A, 0xF3}), in(0x81, gpioReply(0xFF, 0xFF, 0x00, 0x00))}));
    EXPECT_EQ(s().WriteQty, 2);
    EXPECT_EQ(p.txtPCHexData[1].Text(), "FF");
    EXPECT_EQ(p.txtPCHexData[3].Text(), "FF");
    EXPECT_EQ(p.txtPCHex[1].Text(), "x1");
    EXPECT_EQ(p.txtPCHex[3].Text(), "x3");
    EXPECT_EQ(p.shpGpioWr[0].FillColor, 5);
    EXPECT_EQ(p.shpGpioWr[2].FillColor, 6);
    EXPECT_EQ(p.shpGpioWr[3].FillColor, 7);
    EXPECT_EQ(p.shpGpioWr[4].FillColor, s().ColorGreen);  // second toggle since start-up
}

// Nothing was read back, so neither zeros nor a green lamp may stand for the ports.
TEST_F(PanelTest, Write_NoBoard_DashesAndRedLamps) {
    auto& p = panel();
    board->detach();
    s().GpioState = {0x00, 0x00, 0xFF, 0xFF};
    p.cmdGPIO_Write_Click();
    EXPECT_TRUE(packets().empty());
    for (int i : {1, 3}) {
        EXPECT_EQ(p.txtPCHex[i].Text(), "--");
        EXPECT_EQ(p.txtPCHexData[i].Text(), "--");
    }
    for (int i : {0, 2, 3, 4, 5}) {
        EXPECT_EQ(p.shpGpioWr[i].FillColor, s().ColorLightRed) << i;
    }
    p.txtPCHex[1].setText("x1");
    p.shpGpioWr[0].FillColor = 5;
    p.shpGpioWr[4].FillColor = lightGreen();
    p.cmdWrite_GPIO_Data_Click();
    EXPECT_EQ(p.txtPCHexData[1].Text(), "--");
    EXPECT_EQ(p.shpGpioWr[4].FillColor, s().ColorLightRed);
    EXPECT_EQ(p.txtPCHex[1].Text(), "x1");
    EXPECT_EQ(p.shpGpioWr[0].FillColor, 5);
}

TEST_F(PanelTest, Write_ManualModeConnected_ConnectionLeftOpen) {
    connectManually();
    panel().cmdGPIO_Write_Click();
    EXPECT_EQ(s().UsbOpened, board::True);
    EXPECT_EQ(countInLog("Setting eventable up"), 0u);
    EXPECT_EQ(gpioPackets().size(), 2u);
}

TEST_F(PanelTest, Write_Automatic_MainWindowIndicatorsUntouched) {
    main().txthDriver.setText("marker");
    main().cbNoc.Caption = "marker";
    panel().cmdGPIO_Write_Click();
    EXPECT_EQ(main().txthDriver.Text(), "marker");
    EXPECT_EQ(main().cbNoc.Caption, "marker");
    EXPECT_TRUE(main().cmdexit.Visible);
    EXPECT_EQ(countInLog("Setting eventable up"), 1u);
}

TEST_F(PanelTest, FirstShow_AfterStart_StartUpReadBackAlreadyShown) {
    app->showGpioPanel();
    auto& p = panel();
    EXPECT_TRUE(p.Visible);
    EXPECT_EQ(p.Caption, "GPIO Control");
    EXPECT_EQ(p.txtPCHex[0].Text(), "00");
    EXPECT_EQ(p.txtPCHex[2].Text(), "00");
    EXPECT_EQ(p.txtPCHexData[0].Text(), "FF");
    EXPECT_EQ(p.txtPCHexData[2].Text(), "FF");
    EXPECT_EQ(p.txtPCHexData[1].Text(), "FF");
    EXPECT_EQ(p.txtPCHexData[3].Text(), "FF");
    EXPECT_EQ(p.txtPCHex[1].Text(), "00");
    EXPECT_EQ(p.txtPCHex[3].Text(), "00");
    EXPECT_EQ(p.shpGpioWr[4].FillColor, lightGreen());
    EXPECT_EQ(p.shpGpioWr[2].FillColor, lightGreen());
    EXPECT_TRUE(packets().empty());
}

TEST_F(PanelTest, Reload_AfterClose_WBoxesAndCheckBoxesFromStateEverythingElseInitial) {
    app->showGpioPanel();
    auto& p = panel();
    p.chkOutEnc[3].Value = 1;
    p.chkOutEnc_Click(3);
    p.ChkBData[0].Value = 0;
    p.ChkBData_Click(0);
    p.txtGPIOUserName[0].setText("mine");
    p.cmdGPIO_Write_Click();
    app->closeGpioPanel();
    EXPECT_FALSE(app->gpioPanelLoaded());
    EXPECT_EQ(s().GpioState, (std::array<std::uint8_t, 4>{0x00, 0x80, 0xFE, 0xFF}));

    app->showGpioPanel();
    auto& q = panel();
    EXPECT_TRUE(q.Visible);
    EXPECT_EQ(q.txtPCHex[0].Text(), "00");
    EXPECT_EQ(q.txtPCHex[2].Text(), "80");
    EXPECT_EQ(q.txtPCHexData[0].Text(), "FE");
    EXPECT_EQ(q.txtPCHexData[2].Text(), "FF");
    EXPECT_EQ(q.txtPCHex[1].Text(), "--");
    EXPECT_EQ(q.txtPCHexData[3].Text(), "--");
    for (int i : {0, 2, 3, 4, 5}) {
        EXPECT_EQ(q.shpGpioWr[i].FillColor, s().ColorBlack) << i;
    }
    // The check boxes agree with the W boxes: a write now sends what they show.
    EXPECT_EQ(q.chkOutEnc[3].Value, 1);
    EXPECT_EQ(q.chkOutEnc[2].Value, 0);
    EXPECT_EQ(q.ChkBData[0].Value, 0);
    EXPECT_EQ(q.ChkBData[1].Value, 1);
    EXPECT_TRUE(q.ChkCData[3].Enabled);
    EXPECT_EQ(q.txtGPIOUserName[0].Text(), "BSTATUS");
    EXPECT_FALSE(q.ChLed1[0].Visible);
}

TEST_F(PanelTest, Layout_EveryControlInsideItsContainerAndNoneOverlap) {
    const form::ControlTable table = panel().controls();
    std::map<std::string, std::pair<int, int>> size{
        {"", {gpio::frmGPIO::kClientWidth, gpio::frmGPIO::kClientHeight}}};
    for (const auto& e : table) {
        if (e.index < 0) {
            size[std::string(e.name)] = {e.geometry.width, e.geometry.height};
        }
    }
    for (const auto& e : table) {
        const auto& g = e.geometry;
        const auto it = size.find(std::string(g.container));
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
