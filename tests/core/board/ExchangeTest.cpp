#include "LinkFixture.h"
#include "bridgeproto/Codec.h"
#include "form/UserEventGate.h"

namespace boardtest {
namespace {

using board::False;
using board::True;
using Bytes = std::vector<std::uint8_t>;

class ExchangeTest : public LinkFixture {
  protected:
    // One command and its reply, in the shape every window uses.
    Bytes exchange(std::uint32_t outPipe, const Bytes& packet, std::uint32_t inPipe,
                   std::int32_t replyLength) {
        EXPECT_EQ(inPipe, bridgeproto::replyPipe(outPipe));
        return link
            ->exchange(
                bridgeproto::Command{static_cast<std::uint8_t>(outPipe), packet, replyLength})
            .bytes;
    }
    static Packet out(std::uint32_t endpoint, Bytes bytes) { return {endpoint, false, bytes}; }
    static Packet in(std::uint32_t endpoint, Bytes bytes) { return {endpoint, true, bytes}; }
};

TEST_F(ExchangeTest, MainWindowWrite_Register10Data55_BytesAndAcknowledge) {
    connectQuietly();
    s().WriteQty = 1;
    Bytes reply = exchange(s().OutPipeNum, bridgeproto::I2cWriteCommand(1, 0xA0, {0x10}, {0x55}),
                           s().OutPipeNum + 128, s().WriteQty + 1);
    EXPECT_TRUE(bridgeproto::I2cWriteStatus(reply, 1, 1));
    EXPECT_EQ(reply[0], 3);
    EXPECT_EQ(bench->peek(0xA0, 0x10), 0x55);
    auto log = bench->packets();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], out(2, {0x01, 0xA0, 0x10, 0x55}));
    EXPECT_EQ(log[1].endpoint, 0x82u);
    EXPECT_TRUE(log[1].in);
    EXPECT_EQ(s().TransferLength, 2);
}

TEST_F(ExchangeTest, MainWindowWrite_AbsentSlave_NotAcknowledged) {
    connectQuietly();
    Bytes reply = exchange(2, bridgeproto::I2cWriteCommand(1, 0xC0, {0x10}, {0x55}), 0x82, 2);
    EXPECT_FALSE(bridgeproto::I2cWriteStatus(reply, 1, 1));
    EXPECT_EQ(reply[0], 0);
}

TEST_F(ExchangeTest, MainWindowRead_Register10_BytesAndData) {
    connectQuietly();
    bench->poke(0xA0, 0x10, 0x9D);
    Bytes reply = exchange(2, bridgeproto::I2cReadCommand(1, 0xA1, {0x10}), 0x82, 2);
    EXPECT_EQ(bench->sent(), (std::vector<Packet>{out(2, {0x01, 0xA1, 0x10})}));
    EXPECT_EQ(reply, (Bytes{0x01, 0x9D}));
    EXPECT_TRUE(bridgeproto::I2cReadData(reply, 1));
}

TEST_F(ExchangeTest, CommTest_Register02ReadWithLengthThree) {
    connectQuietly();
    Bytes reply = exchange(2, bridgeproto::I2cReadCommand(1, 0x61, {0x02}), 0x82, 3);
    EXPECT_EQ(bench->sent(), (std::vector<Packet>{out(2, {0x01, 0x61, 0x02})}));
    EXPECT_EQ(reply, (Bytes{0x01, 0x7A, 0x00}));
    EXPECT_TRUE(bridgeproto::I2cReadData(reply, 1));
}

TEST_F(ExchangeTest, ScriptWrite_TwoByteRegisterTwoDataBytes_CountFiveExpected) {
    connectQuietly();
    s().WriteQty = 4;  // left by an earlier GPIO write
    Bytes reply = exchange(2, bridgeproto::I2cWriteCommand(4, 0xA0, {0x01, 0x02}, {0xAA, 0xBB}),
                           0x82, s().WriteQty + 1);
    EXPECT_EQ(bench->sent(), (std::vector<Packet>{out(2, {0x04, 0xA0, 0x01, 0x02, 0xAA, 0xBB})}));
    EXPECT_EQ(reply.size(), 5u);
    EXPECT_TRUE(bridgeproto::I2cWriteStatus(reply, 2, 2));
}

TEST_F(ExchangeTest, ScriptWrite_BeforeAnyWrite_ReadsOneByteReply) {
    connectQuietly();
    ASSERT_EQ(s().WriteQty, 0);
    Bytes reply =
        exchange(2, bridgeproto::I2cWriteCommand(2, 0xA0, {0x20}, {0x01}), 0x82, s().WriteQty + 1);
    EXPECT_EQ(reply.size(), 1u);
    EXPECT_EQ(reply[0], 3);
}

TEST_F(ExchangeTest, ScriptRead_Register0ACountFour_ReadsFiveBytes) {
    connectQuietly();
    for (std::uint32_t r = 0x0A; r < 0x0E; ++r) {
        bench->poke(0xA0, r, static_cast<std::uint8_t>(0x40 + r));
    }
    Bytes reply = exchange(2, bridgeproto::I2cReadCommand(4, 0xA1, {0x0A}), 0x82, 4 + 1);
    EXPECT_EQ(bench->sent(), (std::vector<Packet>{out(2, {0x04, 0xA1, 0x0A})}));
    EXPECT_EQ(reply, (Bytes{4, 0x4A, 0x4B, 0x4C, 0x4D}));
    EXPECT_TRUE(bridgeproto::I2cReadData(reply, 4));
}

TEST_F(ExchangeTest, GpioWrite_StateBytesReordered_TwentyFiveByteReply) {
    connectQuietly();
    s().GpioState = {0x00, 0xF0, 0xFF, 0x0F};
    s().WriteQty = 4;
    Bytes reply =
        exchange(bridgeproto::kGpioOutEndpoint, bridgeproto::GpioWriteCommand(s().GpioState),
                 bridgeproto::kGpioInEndpoint, bridgeproto::kGpioStatusReplyLength);
    EXPECT_EQ(bench->sent(), (std::vector<Packet>{out(1, {0xFF, 0x0F, 0x00, 0xF0})}));
    auto log = bench->packets();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].endpoint, 0x81u);
    EXPECT_EQ(log[1].bytes.size(), 25u);
    ASSERT_EQ(reply.size(), 25u);
    auto status = bridgeproto::GpioStatusReply::from(reply);
    EXPECT_EQ(status.portBEnables, 0x00);
    EXPECT_EQ(status.portCEnables, 0xF0);
}

TEST_F(ExchangeTest, GpioData_TwoDataBytes) {
    connectQuietly();
    s().GpioState = {0x00, 0xF0, 0xA5, 0x03};
    exchange(1, bridgeproto::GpioDataCommand(s().GpioState), 0x81, 25);
    EXPECT_EQ(bench->sent(), (std::vector<Packet>{out(1, {0xA5, 0x03})}));
}

TEST_F(ExchangeTest, DirectWrite_Address85Data12_SentOnEndpointFour) {
    connectQuietly();
    link->InitPipes();
    link->sendPacket(bridgeproto::kDirectOutEndpoint, bridgeproto::DirectWriteCommand(0x85, 0x12));
    EXPECT_EQ(bench->packets(), (std::vector<Packet>{out(4, {0x05, 0x12})}));
    EXPECT_EQ(s().OutPipeNum, 2);
}

// A user event arriving at a yield of a running exchange is dropped at dispatch; the calls the
// running operation makes itself (connect, a second exchange) go through.
TEST_F(ExchangeTest, UserEventGate_ClickDuringExchange_RefusedNestedCallsRun) {
    form::UserEventGate gate;
    int clicksRun = 0;
    auto otherExchange = [&] {
        ++clicksRun;
        exchange(1, bridgeproto::GpioWriteCommand(s().GpioState), 0x81, 25);
    };
    bool refused = false;
    // Yield 2 falls in the connect's attach wait; the user clicks another data button there.
    host.atYield(2, [&] { refused = !gate.dispatch(otherExchange); });
    auto readWithOwnConnect = [&] {
        link->Connect_Usb();  // nested: part of this operation
        Bytes reply = exchange(2, bridgeproto::I2cReadCommand(1, 0xA1, {0x10}), 0x82, 2);
        host.atYield(host.yields + 1, [&] { gate.dispatch(otherExchange); });
        exchange(1, bridgeproto::GpioDataCommand(s().GpioState), 0x81, 25);  // nested exchange
        EXPECT_EQ(reply, (Bytes{1, 0x3C}));
        link->Disconnect_USB();
    };
    EXPECT_TRUE(gate.dispatch(readWithOwnConnect));
    EXPECT_TRUE(refused);
    EXPECT_EQ(clicksRun, 0);
    EXPECT_EQ(gate.dropped(), 2);
    auto sent = bench->sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].endpoint, 2u);
    EXPECT_EQ(sent[1].bytes.size(), 2u);
    // Once the operation is over, the same click runs.
    EXPECT_TRUE(gate.dispatch(otherExchange));
    EXPECT_EQ(clicksRun, 1);
}

}  // namespace
}  // namespace boardtest
