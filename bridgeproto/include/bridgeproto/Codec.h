// Every command packet of the bridge board in one place: the bytes that go out, the endpoint that
// takes them, the reply they ask for and how it reads. The board link sends these commands, the
// packet interpreter reads them on the bridge's side, and the simulated board runs that
// interpreter, so a new packet kind starts here.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "bridgeproto/BridgeIds.h"

namespace bridgeproto {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kGpioOutEndpoint = velmorix::kGpioOutEndpoint;
inline constexpr std::uint8_t kI2cOutEndpoint = velmorix::kI2cOutEndpoint;
inline constexpr std::uint8_t kDirectOutEndpoint = velmorix::kDirectOutEndpoint;
inline constexpr std::uint8_t kGpioInEndpoint = velmorix::kGpioInEndpoint;
inline constexpr std::uint8_t kI2cInEndpoint = velmorix::kI2cInEndpoint;
// The GPIO status reply: the port bytes, then padding.
inline constexpr std::int32_t kGpioStatusReplyLength = 25;
// The status reply's leading port bytes (data B, data C, enables B, enables C): a reply shorter
// than this says nothing about the ports.
inline constexpr std::uint32_t kGpioPortBytes = 4;
// The longest I2C reply: the count byte and 256 data bytes.
inline constexpr std::size_t kI2cReplyCapacity = 256 + 1;

// The IN endpoint that answers a packet sent on an OUT endpoint: the same number with the
// direction bit set.
constexpr std::uint32_t replyPipe(std::uint32_t outPipe) {
    return outPipe | 0x80U;
}

// A command ready to send: its OUT endpoint, its packet and how many bytes of reply to read from
// the matching IN endpoint (0: the command has no reply).
struct Command {
    std::uint8_t endpoint = 0;
    Bytes packet;
    std::int32_t replyLength = 0;
    bool isI2c() const { return endpoint == kI2cOutEndpoint; }
};

// [count, write address, register bytes..., data bytes...] for the I2C endpoint. Byte 0 is
// informational on a write: the bridge sends what the packet holds.
Bytes I2cWriteCommand(std::uint8_t count, std::uint8_t writeAddr, const Bytes& reg,
                      const Bytes& data);
// True when the write reply acknowledges the address, every register byte and every data byte.
bool I2cWriteStatus(const Bytes& reply, int registerBytes, int dataBytes);

// [N, read address, register bytes...] for the I2C endpoint.
Bytes I2cReadCommand(std::uint8_t count, std::uint8_t readAddr, const Bytes& reg);
// True when the read reply's count byte equals the number of bytes asked for.
bool I2cReadData(const Bytes& reply, int count);

// [port B data, port C data, port B enables, port C enables] from the program's GPIO state
// (B enables, C enables, B data, C data) for the GPIO endpoint.
Bytes GpioWriteCommand(const std::array<std::uint8_t, 4>& gpioState);
// [port B data, port C data] from the GPIO state for the GPIO endpoint.
Bytes GpioDataCommand(const std::array<std::uint8_t, 4>& gpioState);

// The bridge's GPIO status reply (25 bytes from the GPIO IN endpoint); missing bytes read as 0.
struct GpioStatusReply {
    std::uint8_t portBData = 0, portCData = 0, portBEnables = 0, portCEnables = 0;
    static GpioStatusReply from(const Bytes& reply);
    // The 25 reply bytes that carry the four port bytes.
    static std::array<std::uint8_t, kGpioStatusReplyLength> bytes(
        const std::array<std::uint8_t, 4>& ports);
};

// [address with bit 7 cleared, data] for the direct-write endpoint; no reply.
Bytes DirectWriteCommand(std::uint8_t address, std::uint8_t data);

// The commands as they go out. An I2C write asks for replyLength bytes of reply (the program
// reads two: the count byte and one more); an I2C read for its count byte and `count` data bytes.
Command i2cWrite(std::uint8_t count, std::uint8_t writeAddr, const Bytes& reg, const Bytes& data,
                 std::int32_t replyLength = 2);
Command i2cRead(std::uint8_t count, std::uint8_t readAddr, const Bytes& reg);
// The GPIO command with the enables (four bytes) or without them (two); both get a status reply.
Command gpioWrite(const std::array<std::uint8_t, 4>& gpioState, bool withEnables = true);
Command directWrite(std::uint8_t address, std::uint8_t data);

// An I2C command as the bridge reads it: the count byte (a read's length), the address byte and
// the bytes after it. Empty for a packet too short to name an address.
struct I2cCommandFields {
    std::uint8_t count = 0;
    std::uint8_t address = 0;
    std::span<const std::uint8_t> payload;
    bool isRead() const { return (address & 1) != 0; }
};
std::optional<I2cCommandFields> readI2cCommand(std::span<const std::uint8_t> packet);

// A direct write as the bridge reads it; empty for a packet of fewer than two bytes.
struct DirectWriteFields {
    std::uint8_t address = 0;
    std::uint8_t data = 0;
};
std::optional<DirectWriteFields> readDirectWrite(std::span<const std::uint8_t> packet);

}  // namespace bridgeproto
