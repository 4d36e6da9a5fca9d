#include "bridgeproto/Codec.h"

#include <algorithm>

namespace bridgeproto {

Bytes I2cWriteCommand(std::uint8_t count, std::uint8_t writeAddr, const Bytes& reg,
                      const Bytes& data) {
    Bytes packet;
    packet.reserve(2 + reg.size() + data.size());
    packet.push_back(count);
    packet.push_back(writeAddr);
    packet.insert(packet.end(), reg.begin(), reg.end());
    packet.insert(packet.end(), data.begin(), data.end());
    return packet;
}

bool I2cWriteStatus(const Bytes& reply, int registerBytes, int dataBytes) {
    // The count includes the address byte; no wrap to 8 bits, so an overlong write never passes.
    return !reply.empty() && static_cast<int>(reply[0]) == 1 + registerBytes + dataBytes;
}

Bytes I2cReadCommand(std::uint8_t count, std::uint8_t readAddr, const Bytes& reg) {
    Bytes packet;
    packet.reserve(2 + reg.size());
    packet.push_back(count);
    packet.push_back(readAddr);
    packet.insert(packet.end(), reg.begin(), reg.end());
    return packet;
}

bool I2cReadData(const Bytes& reply, int count) {
    return !reply.empty() && static_cast<int>(reply[0]) == count;
}

Bytes GpioWriteCommand(const std::array<std::uint8_t, 4>& gpioState) {
    return {gpioState[2], gpioState[3], gpioState[0], gpioState[1]};
}

Bytes GpioDataCommand(const std::array<std::uint8_t, 4>& gpioState) {
    return {gpioState[2], gpioState[3]};
}

GpioStatusReply GpioStatusReply::from(const Bytes& reply) {
    auto at = [&reply](std::size_t i) -> std::uint8_t { return i < reply.size() ? reply[i] : 0; };
    return {at(0), at(1), at(2), at(3)};
}

std::array<std::uint8_t, kGpioStatusReplyLength> GpioStatusReply::bytes(
    const std::array<std::uint8_t, 4>& ports) {
    std::array<std::uint8_t, kGpioStatusReplyLength> reply{};
    std::copy(ports.begin(), ports.end(), reply.begin());
    return reply;
}

Bytes DirectWriteCommand(std::uint8_t address, std::uint8_t data) {
    return {static_cast<std::uint8_t>(address & 0x7F), data};
}

Command i2cWrite(std::uint8_t count, std::uint8_t writeAddr, const Bytes& reg, const Bytes& data,
                 std::int32_t replyLength) {
    return {kI2cOutEndpoint, I2cWriteCommand(count, writeAddr, reg, data), replyLength};
}

Command i2cRead(std::uint8_t count, std::uint8_t readAddr, const Bytes& reg) {
    return {kI2cOutEndpoint, I2cReadCommand(count, readAddr, reg), count + 1};
}

Command gpioWrite(const std::array<std::uint8_t, 4>& gpioState, bool withEnables) {
    return {kGpioOutEndpoint,
            withEnables ? GpioWriteCommand(gpioState) : GpioDataCommand(gpioState),
            kGpioStatusReplyLength};
}

Command directWrite(std::uint8_t address, std::uint8_t data) {
    return {kDirectOutEndpoint, DirectWriteCommand(address, data), 0};
}

std::optional<I2cCommandFields> readI2cCommand(std::span<const std::uint8_t> packet) {
    if (packet.size() < 2) {
        return std::nullopt;
    }
    return I2cCommandFields{packet[0], packet[1], packet.subspan(2)};
}

std::optional<DirectWriteFields> readDirectWrite(std::span<const std::uint8_t> packet) {
    if (packet.size() < 2) {
        return std::nullopt;
    }
    return DirectWriteFields{static_cast<std::uint8_t>(packet[0] & 0x7F), packet[1]};
}

}  // namespace bridgeproto
