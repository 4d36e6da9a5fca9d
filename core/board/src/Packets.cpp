#include "board/Packets.h"

namespace board {

std::vector<std::uint8_t> I2cWriteCommand(std::uint8_t count, std::uint8_t writeAddr,
                                          const std::vector<std::uint8_t>& reg,
                                          const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> packet;
    packet.reserve(2 + reg.size() + data.size());
    packet.push_back(count);
    packet.push_back(writeAddr);
    packet.insert(packet.end(), reg.begin(), reg.end());
    packet.insert(packet.end(), data.begin(), data.end());
    return packet;
}

bool I2cWriteStatus(const std::vector<std::uint8_t>& reply, int registerBytes, int dataBytes) {
    // The count includes the address byte; no wrap to 8 bits, so an overlong write never passes.
    return !reply.empty() && static_cast<int>(reply[0]) == 1 + registerBytes + dataBytes;
}

std::vector<std::uint8_t> I2cReadCommand(std::uint8_t count, std::uint8_t readAddr,
                                         const std::vector<std::uint8_t>& reg) {
    std::vector<std::uint8_t> packet;
    packet.reserve(2 + reg.size());
    packet.push_back(count);
    packet.push_back(readAddr);
    packet.insert(packet.end(), reg.begin(), reg.end());
    return packet;
}

bool I2cReadData(const std::vector<std::uint8_t>& reply, int count) {
    return !reply.empty() && static_cast<int>(reply[0]) == count;
}

std::vector<std::uint8_t> GpioWriteCommand(const std::array<std::uint8_t, 4>& gpioState) {
    return {gpioState[2], gpioState[3], gpioState[0], gpioState[1]};
}

std::vector<std::uint8_t> GpioDataCommand(const std::array<std::uint8_t, 4>& gpioState) {
    return {gpioState[2], gpioState[3]};
}

GpioStatusReply GpioStatusReply::from(const std::vector<std::uint8_t>& reply) {
    auto at = [&reply](std::size_t i) -> std::uint8_t { return i < reply.size() ? reply[i] : 0; };
    return {at(0), at(1), at(2), at(3)};
}

std::vector<std::uint8_t> DirectWriteCommand(std::uint8_t address, std::uint8_t data) {
    return {static_cast<std::uint8_t>(address & 0x7F), data};
}

}  // namespace board
