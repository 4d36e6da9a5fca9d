// Register reads and writes of the console against the simulated bridge board.
#include "testing/AppFixture.h"

namespace apptest {
namespace {

class RegisterTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        startQuietly();
    }
    form::PaletteIndex lightGreen() { return s().ColorLightGreen; }
    form::PaletteIndex green() { return s().ColorGreen; }
    form::PaletteIndex lightRed() { return s().ColorLightRed; }
};

TEST_F(RegisterTest, PanelRead_DeviceAnswers_ExactPacketsAndValueShown) {
    main().txtUserRegAdr.setText("05");
    main().cmdRead_Click();
    EXPECT_EQ(packets(), (std::vector{out(2, {0x01, 0x61, 0x05}), in(0x82, {0x01, 0x7A})}));
    EXPECT_EQ(main().txtReadByte.Text(), "7A");
    EXPECT_EQ(main().lblReadCount.Caption, " 1");
    EXPECT_TRUE(main().Shape3.Visible);
    EXPECT_TRUE(main().lblNak.Visible);
    EXPECT_EQ(main().Shape3.FillColor, lightGreen());
    EXPECT_EQ(main().Shape2[2].FillColor, lightGreen());
    // Automatic mode: connected around the exchange, closed after it.
    EXPECT_EQ(s().UsbOpened, board::False);
    EXPECT_EQ(main().txthDriver.Text(), "Closed");
    EXPECT_TRUE(main().cmdexit.Visible);
}

TEST_F(RegisterTest, PanelRead_NoDeviceAtAddress_DashesAndRedLamps) {
    main().txtI2CAdr.setText("62");
    main().cmdRead_Click();
    EXPECT_EQ(packets(), (std::vector{out(2, {0x01, 0x63, 0x00}), in(0x82, {0x00})}));
    EXPECT_EQ(main().txtReadByte.Text(), "--");
    EXPECT_EQ(main().lblReadCount.Caption, " 0");
    EXPECT_EQ(main().Shape2[2].FillColor, lightRed());
    EXPECT_EQ(main().Shape3.FillColor, lightRed());
    EXPECT_TRUE(main().Shape3.Visible);
}

TEST_F(RegisterTest, PanelRead_TransferFails_DashesAndRedLampsNotAnAcknowledgedZero) {
    board->detach();
    main().cmdRead_Click();
    EXPECT_TRUE(packets().empty());
    EXPECT_EQ(main().txtReadByte.Text(), "--");
    EXPECT_EQ(main().lblReadCount.Caption, " 0");
    EXPECT_EQ(main().Shape2[2].FillColor, lightRed());
    EXPECT_EQ(main().Shape3.FillColor, lightRed());
    EXPECT_NE(log().find("ReadPipe: WDU_GetDeviceInfo() failed:"), std::string::npos);
}

TEST_F(RegisterTest, PanelWrite_LowerCaseValue_UpperCasedAndWritten) {
    main().txtUserRegAdr.setText("05");
    main().txtsbwr[0].setText("a5");
    main().cmdWrite1Byte_Click(0);
    EXPECT_EQ(main().txtsbwr[0].Text(), "A5");
    EXPECT_EQ(packets(), (std::vector{out(2, {0x01, 0x60, 0x05, 0xA5}), in(0x82, {0x03})}));
    EXPECT_EQ(board->peekRegister(0x60, 5), 0xA5);
    EXPECT_EQ(main().lblReadCount.Caption, " 3");
    EXPECT_EQ(main().Shape2[0].FillColor, lightGreen());
    EXPECT_EQ(main().Shape3.FillColor, lightGreen());
    EXPECT_EQ(main().txtReadByte.Text(), "--");
}

TEST_F(RegisterTest, PanelWrite_NotAcknowledged_ReadBoxDashedAndRedLamps) {
    main().txtI2CAdr.setText("62");
    main().txtReadByte.setText("7A");
    main().cmdWrite1Byte_Click(1);
    EXPECT_EQ(packets(), (std::vector{out(2, {0x01, 0x62, 0x00, 0x55}), in(0x82, {0x00})}));
    EXPECT_EQ(main().txtReadByte.Text(), "--");
    EXPECT_EQ(main().Shape2[1].FillColor, lightRed());
    EXPECT_EQ(main().Shape3.FillColor, lightRed());
}

TEST_F(RegisterTest, PanelWriteByEnter_ValidValue_WritesOthersKeysIgnored) {
    int key = 'x';
    main().txtsbwr[0].setText("3c");
    main().txtsbwr_KeyPress(0, key);
    EXPECT_TRUE(packets().empty());
    EXPECT_EQ(key, 'x');
    key = 13;
    main().txtsbwr_KeyPress(0, key);
    EXPECT_EQ(packets(), (std::vector{out(2, {0x01, 0x60, 0x00, 0x3C}), in(0x82, {0x03})}));
}

struct WriteValueCase {
    const char* text;
    bool valid;
    const char* shownAfter;
    std::uint8_t sent;
};

class WriteValueTest : public RegisterTest, public ::testing::WithParamInterface<WriteValueCase> {};

TEST_P(WriteValueTest, GridWriteByDoubleClick_ValueChecked_SentOrRefused) {
    const auto& c = GetParam();
    main().txtBWrite[3].setText(c.text);
    main().txtBWrite_DblClick(3);
    EXPECT_EQ(main().txtBWrite[3].Text(), c.shownAfter);
    if (c.valid) {
        EXPECT_EQ(packets(), (std::vector{out(2, {0x01, 0x60, 0x03, c.sent}), in(0x82, {0x03})}));
        EXPECT_EQ(countInLog("Invalid Write Value"), 0u);
    } else {
        EXPECT_TRUE(packets().empty());
        EXPECT_EQ(log(), entry("Invalid Write Value"));
        // Refused before any connection was opened.
        EXPECT_EQ(countInLog("Setting eventable up"), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Values, WriteValueTest,
                         ::testing::Values(WriteValueCase{"100", false, "--", 0},
                                           WriteValueCase{"FFFF", false, "--", 0},
                                           WriteValueCase{"8000", false, "--", 0},
                                           WriteValueCase{"12345", false, "--", 0},
                                           WriteValueCase{"", true, "00", 0x00},
                                           WriteValueCase{"XY", true, "00", 0x00},
                                           WriteValueCase{"ff", true, "FF", 0xFF},
                                           WriteValueCase{"00000", true, "00", 0x00},
                                           WriteValueCase{"7", true, "7", 0x07}));

TEST_F(RegisterTest, PanelWrite_InvalidValue_NothingSentNoConnection) {
    main().txtsbwr[1].setText("1FF");
    main().cmdWrite1Byte_Click(1);
    EXPECT_EQ(main().txtsbwr[1].Text(), "--");
    EXPECT_TRUE(packets().empty());
    EXPECT_EQ(log(), entry("Invalid Write Value"));
}

TEST_F(RegisterTest, GridWrite_AddressChangedAndLeft_DoubleClickAndEnterUseNewAddress) {
    main().txtI2CAdr.setText("a0");
    main().txtI2CAdr_LostFocus();
    main().txtBWrite[16].setText("11");
    main().txtBWrite_DblClick(16);
    int key = 13;
    main().txtBWrite_KeyPress(16, key);
    EXPECT_EQ(i2cPackets(), (std::vector{out(2, {0x01, 0xA0, 0x10, 0x11}), in(0x82, {0x03}),
                                         out(2, {0x01, 0xA0, 0x10, 0x11}), in(0x82, {0x03})}));
}

// A script's GPIO row leaves the shared write address at 0; both gestures still write to the
// address the "I2C Addr" box shows, even before the box has lost the focus.
TEST_F(RegisterTest, GridWrite_SharedAddressElsewhere_DoubleClickAndEnterUseAddressBox) {
    s().I2CWriteAddr = 0;
    main().txtI2CAdr.setText("A0");
    main().txtBWrite[2].setText("44");
    main().txtBWrite_DblClick(2);
    int key = 13;
    main().txtBWrite_KeyPress(2, key);
    EXPECT_EQ(i2cPackets(), (std::vector{out(2, {0x01, 0xA0, 0x02, 0x44}), in(0x82, {0x03}),
                                         out(2, {0x01, 0xA0, 0x02, 0x44}), in(0x82, {0x03})}));
}

TEST_F(RegisterTest, GridWrite_Failure_RedLampBothVisible) {
    main().txtI2CAdr.setText("62");
    main().txtBWrite[0].setText("01");
    main().txtBWrite[0].Visible = false;
    main().shpBwrite[0].Visible = false;
    main().txtBWrite_DblClick(0);
    EXPECT_EQ(main().shpBwrite[0].FillColor, lightRed());
    EXPECT_TRUE(main().shpBwrite[0].Visible);
    EXPECT_TRUE(main().txtBWrite[0].Visible);
}

TEST_F(RegisterTest, GridRead_RepeatedSuccessesThenFailure_LampAlternatesThenRed) {
    std::vector<form::PaletteIndex> seen;
    for (int i = 0; i < 3; ++i) {
        main().txtRdByte_Click(5);
        seen.push_back(main().Shape1[5].FillColor);
    }
    EXPECT_EQ(seen, (std::vector{lightGreen(), green(), lightGreen()}));
    EXPECT_EQ(main().txtRdByte[5].Text(), "7A");
    main().txtI2CAdr.setText("62");
    main().txtRdByte_Click(5);
    EXPECT_EQ(main().txtRdByte[5].Text(), "--");
    EXPECT_EQ(main().Shape1[5].FillColor, lightRed());
    main().txtI2CAdr.setText("60");
    main().txtRdByte_Click(5);
    EXPECT_EQ(main().Shape1[5].FillColor, lightGreen());
}

TEST_F(RegisterTest, GridRead_OneCharacterRegister_ClickReadsItReadAllSkipsIt) {
    main().Reg_Adr[9].setText("5");
    main().txtRdByte_Click(9);
    EXPECT_EQ(packets(), (std::vector{out(2, {0x01, 0x61, 0x05}), in(0x82, {0x01, 0x7A})}));
    EXPECT_EQ(main().txtRdByte[9].Text(), "7A");
    board->clearPacketLog();
    main().cmdReadRegs_Click();
    EXPECT_EQ(packets().size(), 62u);
    EXPECT_FALSE(main().txtRdByte[9].Visible);
}

TEST_F(RegisterTest, Read_AddressFF_ReadAddressWrapsToZero) {
    main().txtI2CAdr.setText("FF");
    main().txtRdByte_Click(1);
    ASSERT_FALSE(packets().empty());
    EXPECT_EQ(packets()[0], out(2, {0x01, 0x00, 0x01}));
}

TEST_F(RegisterTest, ReadAll_InactiveRow_SkippedHiddenThenShownAgain) {
    main().Reg_Adr[5].setText("");
    main().cmdReadRegs_Click();
    const auto log1 = packets();
    ASSERT_EQ(log1.size(), 62u);
    std::vector<bridgesim::PacketRecord> expected;
    for (int i = 0; i < 32; ++i) {
        if (i == 5) {
            continue;
        }
        const auto reg = static_cast<std::uint8_t>(i);
        expected.push_back(out(2, {0x01, 0x61, reg}));
        expected.push_back(in(0x82, {0x01, board->peekRegister(0x60, reg).value_or(0)}));
    }
    EXPECT_EQ(log1, expected);
    EXPECT_FALSE(main().txtRdByte[5].Visible);
    EXPECT_FALSE(main().Shape1[5].Visible);
    EXPECT_EQ(main().Shape1[5].FillColor, s().ColorBlack);
    EXPECT_EQ(main().txtRdByte[2].Text(), "7A");
    EXPECT_EQ(main().Shape1[2].FillColor, lightGreen());

    main().Reg_Adr[5].setText("05");
    main().cmdReadRegs_Click();
    EXPECT_TRUE(main().txtRdByte[5].Visible);
    EXPECT_TRUE(main().Shape1[5].Visible);
    EXPECT_EQ(main().txtRdByte[5].Text(), "7A");
    EXPECT_EQ(main().Shape1[2].FillColor, green());
}

TEST_F(RegisterTest, ReadAll_NoDevice_EveryActiveRowDashedRed) {
    main().txtI2CAdr.setText("62");
    main().cmdReadRegs_Click();
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(main().txtRdByte[i].Text(), "--") << i;
        EXPECT_EQ(main().Shape1[i].FillColor, lightRed()) << i;
    }
}

TEST_F(RegisterTest, WriteAll_RowTexts_OnlyTwoHexDigitPairsWrittenOthersFailOrSkip) {
    main().txtBWrite[0].setText("ZZ");         // not hex: fails, nothing sent
    main().txtBWrite[1].setText("ab");         // not upper-cased
    main().txtBWrite[2].setText("");           // skipped
    main().txtBWrite[3].setText("100");        // three characters: skipped, no message
    main().txtBWrite[4].setText("--");         // copied from a failed read: fails
    main().txtBWrite[5].setText("5\xC3\xA9");  // two characters in three bytes: fails
    main().Reg_Adr[6].setText("\xC3\xA9");     // one character in two bytes: skipped
    main().txtBWrite[6].setText("11");
    main().shpBwrite[2].FillColor = lightGreen();
    for (int i = 7; i < 32; ++i) {
        main().Reg_Adr[i].setText("");
    }
    main().cmdwriteAll_Click();
    EXPECT_EQ(i2cPackets(), (std::vector{out(2, {0x01, 0x60, 0x01, 0xAB}), in(0x82, {0x03})}));
    EXPECT_EQ(main().txtBWrite[1].Text(), "ab");
    EXPECT_EQ(main().shpBwrite[1].FillColor, lightGreen());
    EXPECT_EQ(countInLog("Invalid Write Value"), 0u);
    for (int i : {0, 4, 5}) {
        EXPECT_EQ(main().shpBwrite[i].FillColor, lightRed()) << i;
        EXPECT_TRUE(main().shpBwrite[i].Visible) << i;
    }
    EXPECT_EQ(countInLog("not two hex digits"), 3u);
    EXPECT_EQ(countInLog(entry("Write All: row 4 (register 04) not written, \"--\" is not two "
                               "hex digits")),
              1u);
    for (int i : {2, 3, 6}) {
        EXPECT_FALSE(main().shpBwrite[i].Visible) << i;
        EXPECT_EQ(main().shpBwrite[i].FillColor, s().ColorBlack) << i;
    }
    EXPECT_TRUE(main().txtBWrite[2].Visible);
}

TEST_F(RegisterTest, CopyReadToWrite_EveryRowCopiedVerbatim) {
    main().txtRdByte[0].setText("--");
    main().txtRdByte[1].setText("7A");
    main().txtBWrite[2].setText("11");
    main().Command7_Click();
    EXPECT_EQ(main().txtBWrite[0].Text(), "--");
    EXPECT_EQ(main().txtBWrite[1].Text(), "7A");
    EXPECT_EQ(main().txtBWrite[2].Text(), "");
    EXPECT_TRUE(packets().empty());
}

TEST_F(RegisterTest, RegisterAddressEnter_ZeroOrLowerCase_Normalised) {
    int key = 13;
    main().txtUserRegAdr.setText("");
    main().txtUserRegAdr_KeyPress(key);
    EXPECT_EQ(main().txtUserRegAdr.Text(), "00");
    main().txtUserRegAdr.setText("1f");
    main().txtUserRegAdr_KeyPress(key);
    EXPECT_EQ(main().txtUserRegAdr.Text(), "1F");
    EXPECT_TRUE(packets().empty());
    // Wider than four digits: the box shows the low eight bits, which READ then sends.
    main().txtUserRegAdr.setText("10000");
    main().txtUserRegAdr_KeyPress(key);
    EXPECT_EQ(main().txtUserRegAdr.Text(), "00");
    main().txtUserRegAdr.setText("12345");
    main().txtUserRegAdr_KeyPress(key);
    EXPECT_EQ(main().txtUserRegAdr.Text(), "45");
    main().cmdRead_Click();
    ASSERT_FALSE(packets().empty());
    EXPECT_EQ(packets()[0], out(2, {0x01, 0x61, 0x45}));
}

TEST_F(RegisterTest, ManualMode_ReadWithoutConnection_FailsWithoutConnecting) {
    main().ChKManUsbConn.Value = 1;
    main().ChKManUsbConn_Click();
    main().cmdRead_Click();
    EXPECT_TRUE(packets().empty());
    EXPECT_EQ(main().txtReadByte.Text(), "--");
    EXPECT_EQ(countInLog("Write GPIOPipe .. USB Not opened"), 1u);
    EXPECT_EQ(countInLog("Setting eventable up"), 0u);
}

TEST_F(RegisterTest, ManualMode_Connected_ConnectionLeftOpen) {
    connectManually();
    main().txtUserRegAdr.setText("02");
    main().cmdRead_Click();
    EXPECT_EQ(main().txtReadByte.Text(), "7A");
    EXPECT_EQ(s().UsbOpened, board::True);
    EXPECT_FALSE(main().cmdexit.Visible);
}

struct DirectCase {
    const char* address;
    const char* data;
    bool sent;
    std::vector<std::uint8_t> bytes;
};

class DirectWriteTest : public RegisterTest, public ::testing::WithParamInterface<DirectCase> {};

TEST_P(DirectWriteTest, DirectWrite_Texts_SentOnlyWhenBothReadAsHexByte) {
    const auto& c = GetParam();
    connectManually();
    main().txtAddr.setText(c.address);
    main().txtData.setText(c.data);
    main().cmdWrite_Click();
    if (c.sent) {
        EXPECT_EQ(packets(), (std::vector{out(4, c.bytes)}));
        EXPECT_EQ(log(), "");
    } else {
        EXPECT_TRUE(packets().empty());
        EXPECT_NE(log().find("Direct Write not sent"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, DirectWriteTest,
                         ::testing::Values(DirectCase{"85", "12", true, {0x05, 0x12}},
                                           DirectCase{"", "", true, {0x00, 0x00}},
                                           DirectCase{"0085", "ff", true, {0x05, 0xFF}},
                                           DirectCase{"1G", "12", false, {}},
                                           DirectCase{"85", "100", false, {}},
                                           DirectCase{"-1", "12", false, {}},
                                           DirectCase{"85", "FFFF", false, {}}));

TEST_F(RegisterTest, DirectWrite_Valid_SetsPipesWithoutReply) {
    connectManually();
    s().OutPipeNum = 0;
    main().cmdWrite_Click();
    EXPECT_EQ(s().OutPipeNum, 2);
    EXPECT_EQ(s().TransferPipe, 4u);
    EXPECT_EQ(s().TransferLength, 2);
    EXPECT_EQ(board->directValue(0), 0x00);
}

}  // namespace
}  // namespace apptest
