// How often each operation of the console and the GPIO panel yields to the event loop: every
// yield is a point where other events (a detach, a click) run, so the count is part of the
// behaviour. A connect yields 10,003 times (one before registering, the 10,000 of the attach wait,
// two after it), a disconnect three times, a writePipe once before its transfer.
#include <functional>
#include <string>

#include "testing/AppFixture.h"

namespace apptest {
namespace {

constexpr long kConnect = 10003;
constexpr long kDisconnect = 3;

struct YieldCase {
    const char* name;
    bool manual;  // manual mode with the connection opened by the user first
    std::function<void(console::frmI2C_General&, gpio::frmGPIO&)> run;
    long yields;
};

class YieldTest : public AppFixture, public ::testing::WithParamInterface<YieldCase> {};

TEST_P(YieldTest, Operation_Yields_AsManyTimesAsItsSteps) {
    const auto& c = GetParam();
    startQuietly();
    if (c.manual) {
        connectManually();
    }
    main().txtBWrite[5].setText("12");
    const long before = host.yields;
    c.run(main(), panel());
    EXPECT_EQ(host.yields - before, c.yields) << c.name;
}

std::string caseName(const ::testing::TestParamInfo<YieldCase>& info) {
    return std::string(info.param.manual ? "Manual_" : "Automatic_") + info.param.name;
}

using Main = console::frmI2C_General;
using Panel = gpio::frmGPIO;

INSTANTIATE_TEST_SUITE_P(
    Operations, YieldTest,
    ::testing::Values(
        // Panel read: the connect step, a yield after it, the write, the disconnect step and a
        // last yield.
        YieldCase{"PanelRead", true, [](Main& m, Panel&) { m.cmdRead_Click(); }, 3},
        YieldCase{"PanelRead", false, [](Main& m, Panel&) { m.cmdRead_Click(); },
                  kConnect + 1 + 1 + 1 + kDisconnect + 1 + 1},
        YieldCase{"GridRead", true, [](Main& m, Panel&) { m.txtRdByte_Click(5); }, 1},
        YieldCase{"GridRead", false, [](Main& m, Panel&) { m.txtRdByte_Click(5); },
                  kConnect + 1 + 1 + kDisconnect + 1},
        YieldCase{"ReadAll", true, [](Main& m, Panel&) { m.cmdReadRegs_Click(); }, 1 + 32},
        YieldCase{"ReadAll", false, [](Main& m, Panel&) { m.cmdReadRegs_Click(); },
                  kConnect + 1 + 1 + 32 + kDisconnect + 1},
        YieldCase{"PanelWrite", true, [](Main& m, Panel&) { m.cmdWrite1Byte_Click(1); }, 3},
        YieldCase{"PanelWrite", false, [](Main& m, Panel&) { m.cmdWrite1Byte_Click(1); },
                  kConnect + 1 + 1 + 1 + kDisconnect + 1 + 1},
        YieldCase{"PanelWriteInvalid", false,
                  [](Main& m, Panel&) {
                      m.txtsbwr[0].setText("100");
                      m.cmdWrite1Byte_Click(0);
                  },
                  0},
        YieldCase{"GridWriteDoubleClick", true, [](Main& m, Panel&) { m.txtBWrite_DblClick(5); },
                  1},
        YieldCase{"GridWriteEnter", false,
                  [](Main& m, Panel&) {
                      int key = 13;
                      m.txtBWrite_KeyPress(5, key);
                  },
                  kConnect + 1 + 1 + kDisconnect + 1},
        YieldCase{"WriteAll", true, [](Main& m, Panel&) { m.cmdwriteAll_Click(); }, 1 + 1},
        YieldCase{"WriteAll", false, [](Main& m, Panel&) { m.cmdwriteAll_Click(); },
                  kConnect + 1 + 1 + 1 + kDisconnect + 1},
        YieldCase{"CopyReadToWrite", false, [](Main& m, Panel&) { m.Command7_Click(); }, 0},
        YieldCase{"DirectWrite", true, [](Main& m, Panel&) { m.cmdWrite_Click(); }, 1},
        // Test: a yield after the connect step, the write, three yields around the LED boxes,
        // the panel's full write (its own yields), the disconnect step.
        YieldCase{"CommTest", true, [](Main& m, Panel&) { m.cmdTestComm_Click(); },
                  1 + 1 + 3 + (1 + 1 + 1)},
        // In automatic mode the panel finds the test's connection open ("Already Opened", no
        // yield) and closes it itself, so the test's own disconnect step finds nothing to close.
        YieldCase{"CommTest", false, [](Main& m, Panel&) { m.cmdTestComm_Click(); },
                  kConnect + 1 + 1 + 3 + (0 + 1 + 1 + 1 + kDisconnect + 1 + 1) + 0 + 1},
        YieldCase{"CommTestFF", false,
                  [](Main& m, Panel&) {
                      m.txtI2CAdr.setText("FF");
                      m.cmdTestComm_Click();
                  },
                  kConnect + 1 + kDisconnect + 1},
        YieldCase{"AddressEnter", true,
                  [](Main& m, Panel&) {
                      int key = 13;
                      m.txtI2CAdr_KeyPress(key);
                  },
                  1 + 1 + 3 + (1 + 1 + 1)},
        YieldCase{"AddressLostFocus", false, [](Main& m, Panel&) { m.txtI2CAdr_LostFocus(); }, 0},
        YieldCase{"GotFocus", false, [](Main& m, Panel&) { m.Form_GotFocus(); }, 1},
        YieldCase{"TabClick", false, [](Main& m, Panel&) { m.SSTab1_Click(0); }, 2},
        YieldCase{"HorizontalScroll", false, [](Main& m, Panel&) { m.HScroll1_Change(); }, 1},
        YieldCase{"VerticalScroll", false, [](Main& m, Panel&) { m.VScroll1_Change(); }, 0},
        YieldCase{"ConnectButton", false, [](Main& m, Panel&) { m.cmdUSBConnect_Click(); },
                  kConnect},
        YieldCase{"DisconnectButton", true, [](Main& m, Panel&) { m.cmdUSBDisconnect_Click(); },
                  kDisconnect},
        YieldCase{"Unload", false, [](Main& m, Panel&) { m.Form_Unload(); }, 1},
        // Panel: a yield after the connect step, the write, a yield after the disconnect step.
        YieldCase{"GpioWrite", true, [](Main&, Panel& p) { p.cmdGPIO_Write_Click(); }, 3},
        YieldCase{"GpioWrite", false, [](Main&, Panel& p) { p.cmdGPIO_Write_Click(); },
                  kConnect + 1 + 1 + 1 + kDisconnect + 1 + 1},
        YieldCase{"GpioWriteData", true, [](Main&, Panel& p) { p.cmdWrite_GPIO_Data_Click(); }, 3},
        YieldCase{"GpioWriteData", false, [](Main&, Panel& p) { p.cmdWrite_GPIO_Data_Click(); },
                  kConnect + 1 + 1 + 1 + kDisconnect + 1 + 1},
        YieldCase{"GpioBoxClick", false, [](Main&, Panel& p) { p.ChkBData_Click(0); }, 0}),
    caseName);

TEST_F(AppFixture, Load_Yields_StartConnectDisconnectAndInitialGpioWrite) {
    app->start();
    // Connect, yield, disconnect, yield; a yield after the grid; the panel's full write; a yield.
    EXPECT_EQ(host.yields, kConnect + 1 + kDisconnect + 1 + 1 +
                               (kConnect + 1 + 1 + 1 + kDisconnect + 1 + 1) + 1);
}

}  // namespace
}  // namespace apptest
