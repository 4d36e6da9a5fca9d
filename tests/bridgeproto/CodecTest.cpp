#include <gtest/gtest.h>

#include "bridgeproto/Codec.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Codec_Builders, BytesOfEachCommand) {
    EXPECT_EQ(bridgeproto::I2cWriteCommand(1, 0xA0, {0x10}, {0x55}),
              (Bytes{0x01, 0xA0, 0x10, 0x55}));
    EXPECT_EQ(bridgeproto::I2cWriteCommand(4, 0xA0, {0x01, 0x02}, {0xAA, 0xBB}),
              (Bytes{0x04, 0xA0, 0x01, 0x02, 0xAA, 0xBB}));
    EXPECT_EQ(bridgeproto::I2cReadCommand(1, 0xA1, {0x10}), (Bytes{0x01, 0xA1, 0x10}));
    EXPECT_EQ(bridgeproto::I2cReadCommand(4, 0xA1, {0x0A}), (Bytes{0x04, 0xA1, 0x0A}));
    // GpioState: B enables, C enables, B data, C data.
    std::array<std::uint8_t, 4> gpio{0x00, 0xF0, 0xFF, 0x0F};
    EXPECT_EQ(bridgeproto::GpioWriteCommand(gpio), (Bytes{0xFF, 0x0F, 0x00, 0xF0}));
    EXPECT_EQ(bridgeproto::GpioDataCommand(gpio), (Bytes{0xFF, 0x0F}));
    EXPECT_EQ(bridgeproto::DirectWriteCommand(0x85, 0x12), (Bytes{0x05, 0x12}));
    EXPECT_EQ(bridgeproto::DirectWriteCommand(0x7F, 0x00), (Bytes{0x7F, 0x00}));
}

TEST(Codec_ReplyChecks, CountByteDecides) {
    EXPECT_TRUE(bridgeproto::I2cWriteStatus({3, 0}, 1, 1));
    EXPECT_FALSE(bridgeproto::I2cWriteStatus({1, 0}, 1, 1));  // only the address acknowledged
    EXPECT_TRUE(bridgeproto::I2cWriteStatus({5}, 2, 2));
    EXPECT_FALSE(bridgeproto::I2cWriteStatus({}, 1, 1));
    // 255 data bytes + 1 register byte + address can never be acknowledged by one byte.
    EXPECT_FALSE(bridgeproto::I2cWriteStatus({1}, 1, 255));
    EXPECT_TRUE(bridgeproto::I2cReadData({1, 0x42}, 1));
    EXPECT_FALSE(bridgeproto::I2cReadData({2, 0, 0, 0, 0}, 4));
    EXPECT_FALSE(bridgeproto::I2cReadData({}, 0));
}

TEST(Codec_GpioStatusReply, FieldsAndShortReply) {
    Bytes reply(25, 0);
    reply[0] = 0xFE;
    reply[1] = 0x0C;
    reply[2] = 0x03;
    reply[3] = 0xF0;
    auto parsed = bridgeproto::GpioStatusReply::from(reply);
    EXPECT_EQ(parsed.portBData, 0xFE);
    EXPECT_EQ(parsed.portCData, 0x0C);
    EXPECT_EQ(parsed.portBEnables, 0x03);
    EXPECT_EQ(parsed.portCEnables, 0xF0);
    auto shortReply = bridgeproto::GpioStatusReply::from({0x11, 0x22});
    EXPECT_EQ(shortReply.portCData, 0x22);
    EXPECT_EQ(shortReply.portBEnables, 0);
    EXPECT_EQ(shortReply.portCEnables, 0);
}

// Each command knows its endpoint and the reply it asks for; the bridge reads back what was built.
TEST(Codec_Commands, EndpointReplyLengthAndReadBack) {
    struct Case {
        bridgeproto::Command command;
        std::uint8_t endpoint;
        std::int32_t replyLength;
    };
    const std::array<std::uint8_t, 4> gpio{0x00, 0xF0, 0xFF, 0x0F};
    for (const Case& c : {Case{bridgeproto::i2cWrite(2, 0xA0, {0x10}, {0x55}), 2, 2},
                          Case{bridgeproto::i2cWrite(2, 0xA0, {0x10}, {0x55}, 5), 2, 5},
                          Case{bridgeproto::i2cRead(4, 0xA1, {0x0A}), 2, 5},
                          Case{bridgeproto::gpioWrite(gpio), 1, 25},
                          Case{bridgeproto::gpioWrite(gpio, false), 1, 25},
                          Case{bridgeproto::directWrite(0x85, 0x12), 4, 0}}) {
        EXPECT_EQ(c.command.endpoint, c.endpoint);
        EXPECT_EQ(c.command.replyLength, c.replyLength);
    }
    const bridgeproto::Command command = bridgeproto::i2cRead(4, 0xA1, {0x0A});
    const auto read = bridgeproto::readI2cCommand(command.packet);
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->isRead());
    EXPECT_EQ(read->count, 4);
    EXPECT_EQ(Bytes(read->payload.begin(), read->payload.end()), Bytes{0x0A});
    EXPECT_FALSE(bridgeproto::readI2cCommand(Bytes{0x01}));
    const auto direct = bridgeproto::readDirectWrite(Bytes{0x85, 0x12});
    ASSERT_TRUE(direct);
    EXPECT_EQ(direct->address, 0x05);
    EXPECT_FALSE(bridgeproto::readDirectWrite(Bytes{0x85}));
}

}  // namespace
