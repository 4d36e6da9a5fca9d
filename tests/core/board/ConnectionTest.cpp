#include "LinkFixture.h"
#include "testing/ProgramStateAccess.h"

namespace boardtest {
namespace {

using board::False;
using board::True;

const std::string kSetupEntry =
    "Setting eventable up,  verifing that the device is attached...\r\n :12-07-2026 "
    "14:05:09\r\n\r\n";

// Connecting without a board, plugging it in while open and pulling it out are scenarios of
// every bridge: tests/core/app/BridgeScenarioTest.cpp.
class ConnectionTest : public LinkFixture {};

TEST_F(ConnectionTest, Connect_BoardPresent_AttachLoggedAndIndicatorsLit) {
    link->Connect_Usb();
    WDU_DEVICE_HANDLE device = s().AttachContext.AttachedDevice;
    ASSERT_NE(device, 0u);
    EXPECT_EQ(log(), kSetupEntry + attachEntry(device));
    EXPECT_EQ(host.yields, 1 + 10000 + 2);
    EXPECT_EQ(s().UsbOpened, True);
    EXPECT_EQ(s().CommError, False);
    EXPECT_EQ(s().LastStatus, 0u);
    EXPECT_EQ(s().DeviceHandle, device);
    EXPECT_EQ(s().OutPipeNum, 2);
    EXPECT_EQ(s().AttachContext.InterfaceNum, 0u);
    EXPECT_EQ(s().AttachContext.AlternateSetting, 0u);
    EXPECT_EQ(s().AttachContext.SetInterfaceStatus, 0u);
    EXPECT_EQ(s().MatchTable.wVendorId, velmorix::kBridgeVendorId);
    EXPECT_EQ(s().MatchTable.wProductId, velmorix::kBridgeProductId);
    EXPECT_NE(s().DriverHandle, 0u);
    EXPECT_EQ(main.txthDriver().Text(),
              board::DecimalWithSign(static_cast<std::int32_t>(s().DriverHandle)));
    EXPECT_EQ(main.shpUSBCon(0).FillColor, s().ColorLightGreen);
    EXPECT_EQ(main.shpUSBCon(1).FillColor, s().ColorBlack);
    EXPECT_FALSE(main.cbNoc().Visible);
    EXPECT_EQ(main.ShpHandleStatus().FillColor, s().ColorLightGreen);
    EXPECT_EQ(main.shpLogStatus().FillColor, s().ColorLightGreen);
}

TEST_F(ConnectionTest, Connect_AttachDuringWait_HandlerRunsAtAYieldOfTheWait) {
    long attachYield = 0;
    main.Txtlog().setText("");
    host.pump = [&] {
        if (WDU_VB_PumpEvents() > 0 && attachYield == 0) {
            attachYield = host.yields;
        }
    };
    link->Connect_Usb();
    // Yield 1 comes before the registration; the attach arrives at the first yield of the wait.
    EXPECT_EQ(attachYield, 2);
}

TEST_F(ConnectionTest, Connect_Twice_SecondOnlyLogsAlreadyOpened) {
    link->Connect_Usb();
    std::string before = log();
    long yields = host.yields;
    auto driver = s().DriverHandle;
    link->Connect_Usb();
    EXPECT_EQ(log(), before + entry("Already Opened"));
    EXPECT_EQ(host.yields, yields);
    EXPECT_EQ(s().DriverHandle, driver);
    // No second registration: a fresh attach reaches the handler once.
    bench->detachNow();
    bench->attachNow();
    WDU_VB_PumpEvents();
    auto count = [this](const std::string& what) {
        std::size_t n = 0;
        for (auto p = log().find(what); p != std::string::npos; p = log().find(what, p + 1)) {
            ++n;
        }
        return n;
    };
    EXPECT_EQ(count("DeviceAttach: Received and accepted"), 2u);
}

TEST_F(ConnectionTest, Connect_RegistrationFails_ClosedWithCaptionAndError) {
    bench->failRegistration();
    main.Txtlog().setText("");
    link->Connect_Usb();
    ASSERT_NE(s().LastStatus, 0u);
    EXPECT_EQ(s().UsbOpened, False);
    EXPECT_EQ(host.yields, 1);
    EXPECT_EQ(main.cbNoc().Caption, "USB Board won't intialize");
    EXPECT_EQ(main.txthDriver().Text(),
              board::DecimalWithSign(static_cast<std::int32_t>(s().DriverHandle)));
    EXPECT_EQ(log(),
              kSetupEntry + entry("Form_Activate(): Failed to initialize USB driver: error &H" +
                                  board::HexText(s().LastStatus) + "\r\n(" +
                                  link->StatusText(s().LastStatus) + ")"));
    EXPECT_EQ(main.shpLogStatus().FillColor, s().ColorLightRed);
    // The connection stays closed, so a disconnect does nothing.
    long yields = host.yields;
    link->Disconnect_USB();
    EXPECT_EQ(host.yields, yields);
}

TEST_F(ConnectionTest, Attach_InterfaceSelectionFails_TwoBlanksBeforeNumbers) {
    bench->failInterfaceSelection();
    main.Txtlog().setText("");
    link->Connect_Usb();
    EXPECT_EQ(s().AttachContext.AttachedDevice, 0u);
    std::uint32_t failed = s().AttachContext.SetInterfaceStatus;
    ASSERT_NE(failed, 0u);
    const std::string& text = log();
    std::string head =
        "DeviceAttach: WDU_SetInterface failed\r\n(num.  0 alternate  0)\r\ndevice &H";
    auto at = text.find(head);
    ASSERT_NE(at, std::string::npos) << text;
    auto handleEnd = text.find(':', at + head.size());
    std::string device = text.substr(at + head.size(), handleEnd - at - head.size());
    EXPECT_EQ(text.substr(at), entry(head + device + ": error &H" + board::HexText(failed) +
                                     "\r\n(" + link->StatusText(failed) + ")") +
                                   entry("") +
                                   entry("WriteGPIOPipe: WDU_GetDeviceInfo() failed:\r\nerror " +
                                         status(s().LastStatus) + "\r\n"));
    EXPECT_EQ(s().UsbOpened, True);
}

TEST_F(ConnectionTest, Disconnect_WhenClosed_ChangesNothing) {
    main.shpUSBCon(0).FillColor = 7;
    main.shpUSBCon(1).FillColor = 8;
    link->Disconnect_USB();
    link->Disconnect_USB_Gpio();
    EXPECT_EQ(host.yields, 0);
    EXPECT_EQ(log(), "");
    EXPECT_EQ(main.shpUSBCon(0).FillColor, 7);
    EXPECT_EQ(main.shpUSBCon(1).FillColor, 8);
}

TEST_F(ConnectionTest, Disconnect_AfterConnect_ThreeYieldsLampsHandlesKept) {
    link->Connect_Usb();
    long yields = host.yields;
    auto driver = s().DriverHandle;
    auto device = s().DeviceHandle;
    std::string before = log();
    link->Disconnect_USB();
    EXPECT_EQ(host.yields, yields + 3);
    EXPECT_EQ(s().UsbOpened, False);
    EXPECT_EQ(s().DriverHandle, driver);
    EXPECT_EQ(s().DeviceHandle, device);
    EXPECT_EQ(main.shpUSBCon(1).FillColor, s().ColorLightGreen);
    EXPECT_EQ(main.shpUSBCon(0).FillColor, s().ColorBlack);
    EXPECT_EQ(log(), before);
    // Unregistered: later events reach no handler.
    bench->detachNow();
    bench->attachNow();
    host.doEvents();
    EXPECT_EQ(log(), before);
    // And the next connect registers afresh.
    link->Connect_Usb();
    EXPECT_EQ(s().UsbOpened, True);
    EXPECT_NE(s().AttachContext.AttachedDevice, 0u);
}

TEST_F(ConnectionTest, GpioVariants_SameStepsWithoutIndicatorsOrInitPipes) {
    form::Window gpioWindow;
    s().ActiveWindow = &gpioWindow;
    main.cbNoc().Caption = "USB Initialized";
    link->Connect_Usb_Gpio();
    WDU_DEVICE_HANDLE device = s().AttachContext.AttachedDevice;
    ASSERT_NE(device, 0u);
    EXPECT_EQ(log(), kSetupEntry + attachEntry(device));
    EXPECT_EQ(host.yields, 1 + 10000 + 2);
    EXPECT_EQ(s().UsbOpened, True);
    EXPECT_EQ(s().OutPipeNum, 0);
    EXPECT_EQ(main.txthDriver().Text(), "");
    EXPECT_TRUE(main.cbNoc().Visible);
    EXPECT_EQ(main.cbNoc().Caption, "USB Initialized");
    EXPECT_EQ(main.shpUSBCon(0).FillColor, 0);
    EXPECT_EQ(main.shpUSBCon(1).FillColor, 0);
    EXPECT_EQ(main.ShpHandleStatus().FillColor, 0);
    link->Disconnect_USB_Gpio();
    EXPECT_EQ(s().UsbOpened, False);
    EXPECT_EQ(host.yields, 1 + 10000 + 2 + 3);
    EXPECT_EQ(main.shpUSBCon(1).FillColor, 0);
}

TEST_F(ConnectionTest, GpioConnect_RegistrationFails_CaptionUntouched) {
    bench->failRegistration();
    main.cbNoc().Caption = "USB Initialized";
    link->Connect_Usb_Gpio();
    EXPECT_EQ(s().UsbOpened, False);
    EXPECT_EQ(main.cbNoc().Caption, "USB Initialized");
    EXPECT_NE(log().find("Form_Activate(): Failed to initialize USB driver: error &H"),
              std::string::npos);
}

TEST_F(ConnectionTest, Connect_ReenteredDuringAttachWait_RegistersOnce) {
    host.atYield(500, [this] { link->Connect_Usb(); });
    link->Connect_Usb();
    EXPECT_NE(log().find(entry("Already Opened")), std::string::npos);
    EXPECT_EQ(s().UsbOpened, True);
    link->Disconnect_USB();
    // Had the nested connect registered again, this attach would reach the handler.
    std::string before = log();
    bench->detachNow();
    bench->attachNow();
    host.doEvents();
    EXPECT_EQ(log(), before);
}

TEST_F(ConnectionTest, Link_DestroyedWhileOpen_LaterEventsReachNothing) {
    {
        form::TestHost otherHost;
        otherHost.pump = [] { WDU_VB_PumpEvents(); };
        board::StandaloneMainWindow otherMain;
        board::BoardLink other(otherHost, otherMain);
        other.Connect_Usb();
        ASSERT_EQ(board::ProgramStateAccess::of(other).UsbOpened, True);
    }
    bench->detachNow();
    bench->attachNow();
    WDU_VB_PumpEvents();
    SUCCEED();
}

}  // namespace
}  // namespace boardtest
