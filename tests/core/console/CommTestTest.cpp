// Address entry and the communication test with its LED mirror on the GPIO panel.
#include "board/HexText.h"
#include "testing/AppFixture.h"

namespace apptest {
namespace {

class CommTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        startQuietly();
    }
    void enter(const std::string& text) {
        main().txtI2CAdr.setText(text);
        int key = 13;
        main().txtI2CAdr_KeyPress(key);
    }
};

TEST_F(CommTest, Test_DeviceAnswers_GoodThenGreenLedWritten) {
    main().cmdTestComm_Click();
    EXPECT_EQ(packets(), (std::vector{out(2, {0x01, 0x61, 0x02}), in(0x82, {0x01, 0x7A}),
                                      out(1, {0xFF, 0xFE, 0x00, 0x00}),
                                      in(0x81, gpioReply(0xFF, 0xFF, 0x00, 0x00))}));
    EXPECT_EQ(main().lblCommTest.Caption, "Good");
    EXPECT_EQ(form::paletteRgb(main().lblCommTest.BackColor), (form::Rgb{0, 128, 0}));
    EXPECT_EQ(main().lblCommTest.ForeColor, console::frmI2C_General::kSystemButtonText);
    EXPECT_EQ(main().txtTstReg[0].Text(), "1");
    EXPECT_EQ(main().txtTstReg[1].Text(), "7A");
    EXPECT_EQ(main().txtActualWrtAddress.Text(), "60");
    EXPECT_EQ(main().txtActualReadAddress.Text(), "61");
    EXPECT_EQ(panel().ChKLedData[1].Value, 1);
    EXPECT_EQ(panel().ChKLedData[0].Value, 0);
    EXPECT_EQ(s().GpioState[3], 0xFE);
    EXPECT_EQ(board->gpio().dataC, 0xFE);
    EXPECT_FALSE(panel().Visible);
    // The panel's nested connect finds the test's connection open; its disconnect closes it.
    EXPECT_EQ(countInLog("Setting eventable up"), 1u);
    EXPECT_EQ(countInLog("Already Opened"), 1u);
    EXPECT_EQ(s().UsbOpened, board::False);
    EXPECT_EQ(main().txthDriver.Text(), "Closed");
}

TEST_F(CommTest, Test_NoDevice_FailThenRedLedWritten) {
    main().Frame1[0].Visible = false;
    main().cmdReadRegs.Visible = false;
    main().txtI2CAdr.setText("62");
    main().cmdTestComm_Click();
    EXPECT_EQ(packets(), (std::vector{out(2, {0x01, 0x63, 0x02}), in(0x82, {0x00}),
                                      out(1, {0xFF, 0xFD, 0x00, 0x00}),
                                      in(0x81, gpioReply(0xFF, 0xFF, 0x00, 0x00))}));
    EXPECT_EQ(main().lblCommTest.Caption, "Fail");
    EXPECT_EQ(form::paletteRgb(main().lblCommTest.BackColor), (form::Rgb{255, 0, 0}));
    EXPECT_EQ(form::paletteRgb(main().lblCommTest.ForeColor), (form::Rgb{255, 255, 255}));
    EXPECT_EQ(main().txtTstReg[0].Text(), "0");
    EXPECT_EQ(main().txtTstReg[1].Text(), "0");
    EXPECT_EQ(s().GpioState[3], 0xFD);
    EXPECT_TRUE(main().Frame1[0].Visible);
    EXPECT_TRUE(main().cmdReadRegs.Visible);
}

TEST_F(CommTest, Enter_SingleLetter_PaddedAddressesSetAndThreeByteReplyRead) {
    std::vector<std::int32_t> replyLengths;
    host.pump = [&] {
        WDU_VB_PumpEvents();
        if (s().TransferPipe == 0x82) {
            replyLengths.push_back(s().TransferLength);
        }
    };
    enter("a");
    EXPECT_EQ(main().txtI2CAdr.Text(), "0A");
    EXPECT_EQ(s().I2CWriteAddr, 0x0A);
    EXPECT_EQ(s().I2CReadAddr, 0x0B);
    EXPECT_EQ(main().txtActualWrtAddress.Text(), "A");
    EXPECT_EQ(main().txtActualReadAddress.Text(), "B");
    ASSERT_FALSE(i2cPackets().empty());
    EXPECT_EQ(i2cPackets()[0], out(2, {0x01, 0x0B, 0x02}));
    ASSERT_FALSE(replyLengths.empty());
    EXPECT_EQ(replyLengths.front(), 3);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(CommTest, Enter_FF_AcceptedButTestRefusedAsTooLarge) {
    enter("ff");
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(main().txtI2CAdr.Text(), "FF");
    EXPECT_EQ(s().I2CWriteAddr, 0xFF);
    EXPECT_EQ(s().I2CReadAddr, 0x00);
    const std::string tail = entry("Address value too large");
    ASSERT_GE(log().size(), tail.size());
    EXPECT_EQ(log().substr(log().size() - tail.size()), tail);
    EXPECT_EQ(main().txtActualWrtAddress.Text(), "--");
    EXPECT_EQ(main().txtActualReadAddress.Text(), "--");
    EXPECT_EQ(main().lblCommTest.Caption, "Fail");
    EXPECT_TRUE(packets().empty());
    EXPECT_EQ(panel().ChKLedData[0].Value, 1);
    EXPECT_EQ(panel().ChKLedData[1].Value, 1);
}

struct TestAddressCase {
    const char* text;
    bool tested;
    std::uint8_t writeAddr;
    const char* shownWrite;
    const char* shownRead;
};

class TestAddressTest : public CommTest, public ::testing::WithParamInterface<TestAddressCase> {};

// The test button reads the box as it stands: only 00 to FE are addresses it can test; FF, texts
// that read as negative (8000 to FFFF) and wider texts are refused as too large.
TEST_P(TestAddressTest, TestButton_BoxText_TestedOrRefused) {
    const auto& c = GetParam();
    main().txtI2CAdr.setText(c.text);
    main().cmdTestComm_Click();
    if (c.tested) {
        ASSERT_FALSE(i2cPackets().empty());
        EXPECT_EQ(i2cPackets()[0],
                  out(2, {0x01, static_cast<std::uint8_t>(c.writeAddr + 1), 0x02}));
        EXPECT_EQ(s().I2CWriteAddr, c.writeAddr);
        EXPECT_EQ(countInLog("Address value too large"), 0u);
    } else {
        EXPECT_TRUE(packets().empty());
        EXPECT_EQ(countInLog("Address value too large"), 1u);
        EXPECT_EQ(main().lblCommTest.Caption, "Fail");
    }
    EXPECT_EQ(main().txtActualWrtAddress.Text(), c.shownWrite);
    EXPECT_EQ(main().txtActualReadAddress.Text(), c.shownRead);
}

INSTANTIATE_TEST_SUITE_P(Texts, TestAddressTest,
                         ::testing::Values(TestAddressCase{"FE", true, 0xFE, "FE", "FF"},
                                           TestAddressCase{"8000", false, 0, "--", "--"},
                                           TestAddressCase{"FFA0", false, 0, "--", "--"},
                                           TestAddressCase{"FF", false, 0, "--", "--"},
                                           TestAddressCase{"100", false, 0, "--", "--"},
                                           TestAddressCase{"12345", false, 0, "--", "--"}));

struct BadAddress {
    const char* text;
};

class BadAddressTest : public CommTest, public ::testing::WithParamInterface<BadAddress> {};

TEST_P(BadAddressTest, LostFocus_NotHexOrOutOfRange_MessageBoxTextZeroed) {
    main().txtI2CAdr.setText(GetParam().text);
    main().txtI2CAdr_LostFocus();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Illegal I2C Address, re-enter");
    EXPECT_EQ(host.messages[0].buttons, form::MsgButtons::Ok);
    EXPECT_FALSE(host.messages[0].title.empty());
    EXPECT_EQ(main().txtI2CAdr.Text(), "00");
    EXPECT_EQ(s().I2CWriteAddr, 0x00);
    EXPECT_EQ(s().I2CReadAddr, 0x01);
    EXPECT_TRUE(packets().empty());
}

TEST_P(BadAddressTest, Enter_NotHexOrOutOfRange_MessageBoxFailAndNoTest) {
    main().lblCommTest.Caption = "Good";
    main().txtI2CAdr.setText(GetParam().text);
    int key = 13;
    main().txtI2CAdr_KeyPress(key);
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(main().txtI2CAdr.Text(), "00");
    EXPECT_EQ(main().lblCommTest.Caption, "Fail");
    EXPECT_TRUE(packets().empty());
}

INSTANTIATE_TEST_SUITE_P(Texts, BadAddressTest,
                         ::testing::Values(BadAddress{"100"}, BadAddress{"8000"},
                                           BadAddress{"FFFF"}, BadAddress{"12345"},
                                           BadAddress{"zz"}, BadAddress{"6Z"}, BadAddress{""}));

TEST_F(CommTest, LostFocus_ValidLowerCase_UpperCasedPaddedAddressBoxesUntouched) {
    main().txtI2CAdr.setText("e");
    main().txtI2CAdr_LostFocus();
    EXPECT_EQ(main().txtI2CAdr.Text(), "0E");
    EXPECT_EQ(s().I2CWriteAddr, 0x0E);
    EXPECT_EQ(s().I2CReadAddr, 0x0F);
    EXPECT_EQ(main().txtActualWrtAddress.Text(), "60");
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(CommTest, KeyPress_OtherKey_NothingHappens) {
    int key = 'b';
    main().txtI2CAdr.setText("zz");
    main().txtI2CAdr_KeyPress(key);
    EXPECT_EQ(key, 'b');
    EXPECT_EQ(main().txtI2CAdr.Text(), "zz");
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(CommTest, ManualModeNotConnected_TransfersFailVerdictFail) {
    main().ChKManUsbConn.Value = 1;
    main().ChKManUsbConn_Click();
    main().cmdTestComm_Click();
    EXPECT_TRUE(packets().empty());
    EXPECT_EQ(main().lblCommTest.Caption, "Fail");
    EXPECT_EQ(main().txtTstReg[0].Text(), "0");
    EXPECT_EQ(countInLog("Setting eventable up"), 0u);
    EXPECT_GE(countInLog("Write GPIOPipe .. USB Not opened"), 2u);
}

TEST_F(CommTest, ManualSwitch_Values_OnlyTickedMeansManual) {
    for (int value : {1, 0, 2}) {
        main().ChKManUsbConn.Value = value;
        main().ChKManUsbConn_Click();
        EXPECT_EQ(s().ManualUsbConnect, value == 1 ? board::True : board::False) << value;
    }
}

TEST_F(CommTest, GotFocus_AnyText_AddressesFromLowByteWithoutCheck) {
    main().txtI2CAdr.setText("1A4");
    main().Form_GotFocus();
    EXPECT_EQ(s().I2CWriteAddr, 0xA4);
    EXPECT_EQ(s().I2CReadAddr, 0xA5);
    EXPECT_EQ(s().ActiveWindow, &main());
    EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace apptest
