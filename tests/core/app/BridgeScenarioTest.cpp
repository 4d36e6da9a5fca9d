// The board link and the script window on every bridge the program can reach its board through:
// the same scenarios, the same packets on the board, the same log. A bridge is one line of
// kBridges plus a TestBridge of its own.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#if defined(VELMORIX_EMULATED_BRIDGES)
#include "EmulatedI2cBridge.h"
#include "EmulatedUsbBridge.h"
#endif
#include "board/BusObserver.h"
#include "board/HexText.h"
#include "bridgeproto/Codec.h"
#include "client/BusCapture.h"
#include "testing/AppFixture.h"
#include "testing/ProgramRun.h"
#include "testing/SimulatedBridge.h"

namespace apptest {
namespace {

using board::False;
using board::True;
using Bytes = std::vector<std::uint8_t>;

struct BridgeParam {
    const char* name;
    std::unique_ptr<TestBridge> (*make)();
};

template <typename Bridge>
std::unique_ptr<TestBridge> make() {
    return std::make_unique<Bridge>();
}

const BridgeParam kBridges[] = {
    {"Simulated", &make<SimulatedBridge>},
#if defined(VELMORIX_EMULATED_BRIDGES)
    {"EmulatedUsb", &make<EmulatedUsbBridge>},
    {"I2cDev", &make<EmulatedI2cBridge>},
#endif
};

const char* const kAbsentBench = R"({ "name": "absent", "attached": false,
    "targets": [ { "address": "A0", "register_bytes": 1, "fill": "00",
                   "registers": { "10": "3C" } } ] })";

// Target 60 with one-byte registers, B0 with two-byte ones.
const char* const kCaptureBench = R"({ "name": "capture", "attached": true,
    "targets": [ { "address": "60", "register_bytes": 1, "registers": { "02": "7A" } },
                 { "address": "B0", "register_bytes": 2, "size": 256, "fill": "00" } ] })";

// Every transaction the board link reports.
struct TransactionLog : board::BusObserver {
    void onTransaction(const board::I2cTransaction& t) override { transactions.push_back(t); }
    std::vector<board::I2cTransaction> transactions;
};

const std::string kSetupEntry =
    "Setting eventable up,  verifing that the device is attached...\r\n :12-07-2026 "
    "14:05:09\r\n\r\n";

class BridgeScenario : public AppFixture, public testing::WithParamInterface<BridgeParam> {
  protected:
    void SetUp() override {}  // each scenario starts on a bench of its own
    std::unique_ptr<TestBridge> makeBridge() override { return GetParam().make(); }

    // Builds and starts the program on the bench; false when that failed or was skipped, or
    // when the scenario looks at the board's packets and the bridge sends it none.
    bool begin(const char* bench = kAppBench, bool needsPackets = false) {
        build(bench);
        if (HasFatalFailure() || IsSkipped()) {
            return false;
        }
        if (needsPackets && !bridge->boardSeesPackets()) {
            skipWithoutPackets();
            return false;
        }
        startQuietly();
        return true;
    }
    void skipWithoutPackets() {
        GTEST_SKIP() << GetParam().name << " never sends the board packets";
    }
    board::BoardLink& link() { return app->link(); }
    bool attached() { return s().AttachContext.AttachedDevice != 0; }
    std::string status(std::uint32_t code) {
        return "&H" + board::HexText(code) + " (" + link().StatusText(code) + ")";
    }
    // Reads register 10 of target A0: the command, then its two-byte reply.
    board::Reply readA0() {
        link().sendPacket(2, bridgeproto::I2cReadCommand(1, 0xA1, {0x10}));
        return link().receiveReply(0x82, 2);
    }
};

TEST_P(BridgeScenario, Connect_BoardPresent_AttachAcceptedThenDisconnectCloses) {
    if (!begin()) {
        return;
    }
    link().Connect_Usb();
    ASSERT_TRUE(attached());
    const WDU_DEVICE_HANDLE device = s().AttachContext.AttachedDevice;
    EXPECT_EQ(log(), kSetupEntry +
                         entry("DeviceAttach: Received and accepted attach for \r\nvendor ID &H" +
                               board::HexText(board->vendorId()) + " product ID &H" +
                               board::HexText(board->productId()) + "\r\ndevice handle &H" +
                               board::HexText(device)) +
                         entry(""));
    EXPECT_EQ(s().UsbOpened, True);
    EXPECT_EQ(s().CommError, False);
    EXPECT_EQ(s().DeviceHandle, device);
    EXPECT_EQ(readA0().bytes, (Bytes{0x01, 0x3C}));
    link().Disconnect_USB();
    EXPECT_EQ(s().UsbOpened, False);
}

TEST_P(BridgeScenario, Connect_NoBoard_OpenWithoutDeviceErrorEntry) {
    if (!begin(kAbsentBench)) {
        return;
    }
    link().Connect_Usb();
    EXPECT_EQ(s().UsbOpened, True);
    EXPECT_FALSE(attached());
    ASSERT_NE(s().LastStatus, 0u);
    EXPECT_EQ(log(), kSetupEntry + entry("WriteGPIOPipe: WDU_GetDeviceInfo() failed:\r\nerror " +
                                         status(s().LastStatus) + "\r\n"));
    EXPECT_EQ(s().CommError, True);
    EXPECT_EQ(main().shpLogStatus.FillColor, s().ColorLightRed);
    EXPECT_EQ(main().shpUSBCon[0].FillColor, s().ColorLightGreen);
    EXPECT_EQ(main().shpUSBCon[1].FillColor, s().ColorBlack);
    EXPECT_EQ(s().OutPipeNum, 2);
    EXPECT_TRUE(packets().empty());
}

TEST_P(BridgeScenario, Attach_PluggedInWhileOpenThenPulled_BothLoggedExchangeBetween) {
    if (!begin(kAbsentBench)) {
        return;
    }
    link().Connect_Usb();
    ASSERT_FALSE(attached());
    main().Txtlog.setText("");
    if (!bridge->plugIn()) {
        GTEST_SKIP() << "this bridge cannot bring the fault about";
    }
    ASSERT_TRUE(pumpUntil([&] { return attached(); }));
    const WDU_DEVICE_HANDLE device = s().AttachContext.AttachedDevice;
    EXPECT_EQ(log(), entry("DeviceAttach: Received and accepted attach for \r\nvendor ID &H" +
                           board::HexText(board->vendorId()) + " product ID &H" +
                           board::HexText(board->productId()) + "\r\ndevice handle &H" +
                           board::HexText(device)) +
                         entry(""));
    EXPECT_EQ(main().ShpAttach.FillColor, s().ColorLightGreen);
    EXPECT_EQ(readA0().bytes, (Bytes{0x01, 0x3C}));
    EXPECT_EQ(s().CommError, False);

    main().Txtlog.setText("");
    if (!bridge->unplug()) {
        GTEST_SKIP() << "this bridge cannot bring the fault about";
    }
    ASSERT_TRUE(pumpUntil([&] { return !attached(); }));
    EXPECT_EQ(log(),
              entry("DeviceDetach: Received detach for device handle &H" + board::HexText(device)));
    EXPECT_EQ(main().ShpAttach.FillColor, s().ColorLightRed);
    EXPECT_EQ(s().UsbOpened, True);
    // The reset on close meets a device that is gone and still closes cleanly.
    link().Disconnect_USB();
    EXPECT_EQ(s().UsbOpened, False);
}

// Every packet kind the bridge understands, each with the bytes the board must see.
TEST_P(BridgeScenario, Exchange_EveryPacketKind_SameBytesOnTheBoard) {
    if (!begin(kAppBench, true)) {
        return;
    }
    link().Connect_Usb();
    ASSERT_TRUE(attached());
    board->clearPacketLog();
    struct Step {
        std::uint32_t pipe;
        Bytes command;
        std::uint32_t replyPipe;  // 0: no reply is read
        std::int32_t replyLength;
    };
    const std::array<std::uint8_t, 4> gpio{0x12, 0x03, 0xFF, 0x03};
    const std::vector<Step> steps = {
        {2, bridgeproto::I2cWriteCommand(2, 0xA0, {0x10}, {0x55}), 0x82, 3},
        {2, bridgeproto::I2cReadCommand(1, 0xA1, {0x10}), 0x82, 2},
        {bridgeproto::kGpioOutEndpoint, bridgeproto::GpioWriteCommand(gpio),
         bridgeproto::kGpioInEndpoint, bridgeproto::kGpioStatusReplyLength},
        {bridgeproto::kGpioOutEndpoint, bridgeproto::GpioDataCommand(gpio),
         bridgeproto::kGpioInEndpoint, bridgeproto::kGpioStatusReplyLength},
        {bridgeproto::kDirectOutEndpoint, bridgeproto::DirectWriteCommand(0x25, 0x9A), 0, 0},
    };
    std::vector<bridgesim::PacketRecord> expected;
    for (const Step& step : steps) {
        EXPECT_TRUE(link().sendPacket(step.pipe, step.command).ok());
        expected.push_back(out(static_cast<std::uint8_t>(step.pipe), step.command));
        if (step.replyPipe != 0) {
            const board::Reply reply = link().receiveReply(step.replyPipe, step.replyLength);
            EXPECT_TRUE(reply.ok());
            expected.push_back(
                in(static_cast<std::uint8_t>(step.replyPipe),
                   Bytes(reply.bytes.begin(), reply.bytes.begin() + reply.transferred)));
        }
    }
    EXPECT_EQ(packets(), expected);
    EXPECT_EQ(packets().at(3).bytes, (Bytes{0x01, 0x55}));
    EXPECT_EQ(packets().at(5).bytes.size(), 25u);
    EXPECT_EQ(board->directValue(0x25), 0x9A);
    EXPECT_EQ(s().CommError, False);
}

// A target with the behaviours of real chips answers the same bytes whichever bridge carries
// the exchanges.
TEST_P(BridgeScenario, Exchange_RealChipBehaviours_SameRepliesOnEveryBridge) {
    const char* const chipBench = R"({ "targets": [ { "address": "40",
        "registers": { "10": "83", "11": "05", "12": "FE" },
        "bits": { "10": { "read_only": "80", "write_1_to_clear": "03", "write_only": "30" },
                  "11": { "clear_on_read": "01" } },
        "changing": { "12": { "counter": { "step": 3, "every": "read" } },
                      "13": { "sequence": { "values": [ "0A", "0B" ] } } },
        "fifo": { "14": { "values": [ "11", "22" ], "empty": "EE" } },
        "nak_registers": [ "15" ] } ] })";
    if (!begin(chipBench)) {
        return;
    }
    link().Connect_Usb();
    ASSERT_TRUE(attached());
    const auto read = [&](std::uint8_t reg, std::uint8_t count) {
        link().sendPacket(2, bridgeproto::I2cReadCommand(count, 0x41, {reg}));
        const board::Reply reply = link().receiveReply(0x82, count + 1);
        return Bytes(reply.bytes.begin(), reply.bytes.begin() + reply.transferred);
    };
    link().sendPacket(2, bridgeproto::I2cWriteCommand(1, 0x40, {0x10}, {0xFF}));
    EXPECT_EQ(link().receiveReply(0x82, 1).bytes.at(0), 0x03);
    const std::vector<std::pair<Bytes, Bytes>> reads = {
        {{0x10, 1}, {0x01, 0xCC}}, {{0x11, 1}, {0x01, 0x05}},
        {{0x11, 1}, {0x01, 0x04}}, {{0x12, 1}, {0x01, 0xFE}},
        {{0x12, 1}, {0x01, 0x01}}, {{0x13, 1}, {0x01, 0x0A}},
        {{0x13, 1}, {0x01, 0x0B}}, {{0x14, 3}, {0x03, 0x11, 0x22, 0xEE}},
        {{0x15, 1}, {0x00}},
    };
    for (const auto& [ask, expected] : reads) {
        EXPECT_EQ(read(ask[0], ask[1]), expected) << "register " << int(ask[0]);
    }
}

TEST_P(BridgeScenario, Exchange_ReplyTimesOut_ErrorLoggedNextExchangeWorks) {
    if (!begin(kAppBench, true)) {
        return;
    }
    link().Connect_Usb();
    ASSERT_TRUE(attached());
    main().Txtlog.setText("");
    if (!bridge->timeOutOn(0x82)) {
        GTEST_SKIP() << "this bridge cannot bring the fault about";
    }
    const board::Reply late = readA0();
    EXPECT_EQ(late.status, static_cast<std::uint32_t>(WD_TIME_OUT_EXPIRED));
    EXPECT_EQ(late.transferred, 0u);
    EXPECT_EQ(s().CommError, True);
    EXPECT_NE(log().find("WDU_Transfer() failed: error " + status(WD_TIME_OUT_EXPIRED)),
              std::string::npos)
        << log();
    board->setEndpointTimesOut(0x82, false);
    EXPECT_EQ(readA0().bytes, (Bytes{0x01, 0x3C}));
}

TEST_P(BridgeScenario, Exchange_UnplugBetweenCommandAndReply_ReadFailsDetachLogged) {
    if (!begin(kAppBench, true)) {
        return;
    }
    link().Connect_Usb();
    ASSERT_TRUE(attached());
    const WDU_DEVICE_HANDLE device = s().AttachContext.AttachedDevice;
    main().Txtlog.setText("");
    if (!bridge->unplugAtTransfer(2)) {
        GTEST_SKIP() << "this bridge cannot bring the fault about";
    }
    const board::Reply reply = readA0();
    EXPECT_FALSE(reply.ok());
    EXPECT_EQ(reply.transferred, 0u);
    EXPECT_EQ(s().CommError, True);
    ASSERT_TRUE(pumpUntil([&] { return !attached(); }));
    EXPECT_EQ(
        countInLog("DeviceDetach: Received detach for device handle &H" + board::HexText(device)),
        1u);
    // Depending on when the program hears of the unplug, the read fails at its device check or
    // at the transfer itself.
    EXPECT_EQ(countInLog("WDU_Transfer() failed") + countInLog("WDU_GetDeviceInfo() failed"), 1u)
        << log();
    link().Disconnect_USB();
    EXPECT_EQ(s().UsbOpened, False);
}

TEST_P(BridgeScenario, ScriptLoop_UnplugBetweenPasses_LaterPassesFailLoopEnds) {
    if (!begin()) {
        return;
    }
    const std::string path = testing::TempDir() + "bridge_loop_" + GetParam().name + ".txt";
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs("`AA0\r\n10,,3C\r\n`ENDM\r\n", file);
        std::fclose(file);
    }
    host.dialogAnswers.push_back({false, path, "loop.txt"});
    main().mnu_ScriptShow_Click();
    auto& w = scripts().sharedWindow();
    board->clearPacketLog();
    // Two passes of one read each (command and reply), then the cable is out.
    if (!bridge->unplugAtTransfer(5)) {
        GTEST_SKIP() << "this bridge cannot bring the fault about";
    }
    host.atYield(host.yields + 60000, [&] { w.cmdAbort_Click(); });
    w.cmdRunContinuous_Click();

    // Each pass counts afresh; the passes after the unplug reach nothing and fail their read.
    if (bridge->boardSeesPackets()) {
        EXPECT_EQ(readCommands().size(), 2u);
    }
    EXPECT_GE(countInLog("Read Qty Error Script Line 2 Actual :0"), 1u);
    EXPECT_GE(std::stoi(w.txtLoopCount.Text()), 3);
    EXPECT_FALSE(w.RunActive);
    EXPECT_TRUE(w.cmdRunContinuous.Visible);
    EXPECT_EQ(s().UsbOpened, False);
    std::remove(path.c_str());
}

// A read, a write and a read back with a 16-bit register address, and a target that is not there:
// the same messages and outcomes whichever way the bus is reached.
TEST_P(BridgeScenario, Capture_ShortSession_SameMessagesOnEveryBridge) {
    if (!begin(kCaptureBench)) {
        return;
    }
    link().Connect_Usb();
    ASSERT_TRUE(attached());
    TransactionLog seen;
    link().addBusObserver(seen);
    const std::vector<Bytes> commands = {
        bridgeproto::I2cReadCommand(1, 0x61, {0x02}),
        bridgeproto::I2cWriteCommand(4, 0xB0, {0x00, 0x42}, {0x55, 0xAA}),
        bridgeproto::I2cReadCommand(2, 0xB1, {0x00, 0x42}),
        bridgeproto::I2cReadCommand(1, 0x63, {0x02}),
    };
    for (const Bytes& command : commands) {
        link().sendPacket(2, command);
        link().receiveReply(0x82, 3);
    }
    link().removeBusObserver(seen);
    using board::I2cOutcome;
    const std::vector<board::I2cTransaction> expected = {
        {{{0x60, {0x02}}, {0x61, {0x7A}}}, I2cOutcome::Acknowledged, 1, 1},
        {{{0xB0, {0x00, 0x42, 0x55, 0xAA}}}, I2cOutcome::Acknowledged, 4, 4},
        {{{0xB0, {0x00, 0x42}}, {0xB1, {0x55, 0xAA}}}, I2cOutcome::Acknowledged, 2, 2},
        {{{0x62, {}}}, I2cOutcome::AddressNak, 0, 1},
    };
    EXPECT_EQ(seen.transactions, expected);
}

// A board pulled between two reads leaves a capture whose last message says so, and which
// Wireshark opens.
TEST_P(BridgeScenario, Capture_BoardPulledBetweenReads_FileStillOpens) {
    if (!begin()) {
        return;
    }
    link().Connect_Usb();
    ASSERT_TRUE(attached());
    apptest::ScratchDir scratch("velmorix-capture-pulled");
    const std::string path = (scratch.path() / "pulled.pcapng").string();
    std::string error;
    auto capture = client::BusCapture::open(path, {"test", GetParam().name}, error);
    ASSERT_NE(capture, nullptr) << error;
    link().addBusObserver(*capture);
    if (!bridge->unplugAtTransfer(3)) {
        GTEST_SKIP() << "this bridge cannot bring the fault about";
    }
    EXPECT_EQ(readA0().bytes, (Bytes{0x01, 0x3C}));
    EXPECT_FALSE(readA0().ok());
    link().removeBusObserver(*capture);
    if (std::system("command -v tshark >/dev/null") != 0) {
        GTEST_SKIP() << "tshark is not installed (scripts/deps.sh installs it)";
    }
    const apptest::ProgramRun r = apptest::runIn(
        scratch.path(), "tshark -r pulled.pcapng -T fields -e i2c.addr -e frame.comment");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "0x50\t\n0x50\t\n0x50\t\n0x50\tboard gone\n");
}

void PrintTo(const BridgeParam& param, std::ostream* os) {
    *os << param.name;
}

INSTANTIATE_TEST_SUITE_P(Bridges, BridgeScenario, testing::ValuesIn(kBridges),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace apptest
