#include "bridgeproto/PacketInterpreter.h"

#include <gtest/gtest.h>

#include <vector>

namespace bridgeproto {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A bus whose adapter claims to have moved `claimed` bytes, whatever was asked: what a kernel
// driver we do not control may report.
class OverclaimingBus : public I2cBus {
  public:
    explicit OverclaimingBus(std::uint32_t claimed) : claimed_(claimed) {}
    BusResult write(std::uint8_t, std::span<const std::uint8_t>) override {
        return {BusStatus::Ok, claimed_};
    }
    BusResult writeRead(std::uint8_t, std::span<const std::uint8_t>,
                        std::span<std::uint8_t> in) override {
        std::fill(in.begin(), in.end(), std::uint8_t{0x5A});
        return {BusStatus::Ok, claimed_};
    }

  private:
    std::uint32_t claimed_;
};

// The reply to one command on the I2C endpoint, as a read of 300 bytes takes it.
Bytes replyTo(std::uint32_t claimed, Bytes command) {
    OverclaimingBus bus(claimed);
    PacketInterpreter interpreter(bus, nullptr);
    EXPECT_EQ(interpreter.command(PacketInterpreter::kI2cOut, command), PacketStatus::Ok);
    Bytes buffer(300, 0);
    std::uint32_t moved = 0;
    EXPECT_EQ(interpreter.reply(PacketInterpreter::kI2cIn, buffer, moved), PacketStatus::Ok);
    buffer.resize(moved);
    return buffer;
}

TEST(PacketInterpreterTest, BusClaimsMoreThanAsked_CountClampedToTheCommand) {
    const struct {
        std::uint32_t claimed;
        Bytes command;
        Bytes reply;
    } cases[] = {
        {4, {0x02, 0xA1, 0x10}, {0x02, 0x5A, 0x5A}},     // read of 2: never more than 2
        {1000, {0x02, 0xA1, 0x10}, {0x02, 0x5A, 0x5A}},  // beyond the reply slot
        {1000, {0x01, 0xA0, 0x10, 0x55}, {0x03}},        // write: address + 2 bytes at most
        {1, {0x03, 0xA1}, {0x01, 0x5A}},                 // fewer than asked stays as is
    };
    for (const auto& c : cases) {
        EXPECT_EQ(replyTo(c.claimed, c.command), c.reply) << "claimed " << c.claimed;
    }
}

}  // namespace
}  // namespace bridgeproto
