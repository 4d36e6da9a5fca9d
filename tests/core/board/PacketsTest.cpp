#include <gtest/gtest.h>

#include "board/Packets.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Packets_Builders, BytesOfEachCommand) {
    EXPECT_EQ(board::I2cWriteCommand(1, 0xA0, {0x10}, {0x55}), (Bytes{0x01, 0xA0, 0x10, 0x55}));
    EXPECT_EQ(board::I2cWriteCommand(4, 0xA0, {0x01, 0x02}, {0xAA, 0xBB}),
              (Bytes{0x04, 0xA0, 0x01, 0x02, 0xAA, 0xBB}));
    EXPECT_EQ(board::I2cReadCommand(1, 0xA1, {0x10}), (Bytes{0x01, 0xA1, 0x10}));
    EXPECT_EQ(board::I2cReadCommand(4, 0xA1, {0x0A}), (Bytes{0x04, 0xA1, 0x0A}));
    // GpioState: B enables, C enables, B data, C data.
    std::array<std::uint8_t, 4> gpio{0x00, 0xF0, 0xFF, 0x0F};
    EXPECT_EQ(board::GpioWriteCommand(gpio), (Bytes{0xFF, 0x0F, 0x00, 0xF0}));
    EXPECT_EQ(board::GpioDataCommand(gpio), (Bytes{0xFF, 0x0F}));
    EXPECT_EQ(board::DirectWriteCommand(0x85, 0x12), (Bytes{0x05, 0x12}));
    EXPECT_EQ(board::DirectWriteCommand(0x7F, 0x00), (Bytes{0x7F, 0x00}));
}

TEST(Packets_ReplyChecks, CountByteDecides) {
    EXPECT_TRUE(board::I2cWriteStatus({3, 0}, 1, 1));
    EXPECT_FALSE(board::I2cWriteStatus({1, 0}, 1, 1));  // only the address acknowledged
    EXPECT_TRUE(board::I2cWriteStatus({5}, 2, 2));
    EXPECT_FALSE(board::I2cWriteStatus({}, 1, 1));
    // 255 data bytes + 1 register byte + address can never be acknowledged by one byte.
    EXPECT_FALSE(board::I2cWriteStatus({1}, 1, 255));
    EXPECT_TRUE(board::I2cReadData({1, 0x42}, 1));
    EXPECT_FALSE(board::I2cReadData({2, 0, 0, 0, 0}, 4));
    EXPECT_FALSE(board::I2cReadData({}, 0));
}

TEST(Packets_GpioStatusReply, FieldsAndShortReply) {
    Bytes reply(25, 0);
    reply[0] = 0xFE;
    reply[1] = 0x0C;
    reply[2] = 0x03;
    reply[3] = 0xF0;
    auto parsed = board::GpioStatusReply::from(reply);
    EXPECT_EQ(parsed.portBData, 0xFE);
    EXPECT_EQ(parsed.portCData, 0x0C);
    EXPECT_EQ(parsed.portBEnables, 0x03);
    EXPECT_EQ(parsed.portCEnables, 0xF0);
    auto shortReply = board::GpioStatusReply::from({0x11, 0x22});
    EXPECT_EQ(shortReply.portCData, 0x22);
    EXPECT_EQ(shortReply.portBEnables, 0);
    EXPECT_EQ(shortReply.portCEnables, 0);
}

}  // namespace
