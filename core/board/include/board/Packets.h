// The bridge board's command packets and the checks on its replies.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "board/BridgeIds.h"

namespace board {

inline constexpr std::uint32_t kGpioOutPipe = velmorix::kGpioOutEndpoint;
inline constexpr std::uint32_t kGpioInPipe = velmorix::kGpioInEndpoint;
inline constexpr std::uint32_t kDirectWritePipe = velmorix::kDirectOutEndpoint;
inline constexpr std::int32_t kGpioStatusReplyLength = 25;
// The status reply's leading port bytes (data B, data C, enables B, enables C): a reply shorter
// than this says nothing about the ports.
inline constexpr std::uint32_t kGpioPortBytes = 4;

// [count, write address, register bytes..., data bytes...] for OUT endpoint 2.
std::vector<std::uint8_t> I2cWriteCommand(std::uint8_t count, std::uint8_t writeAddr,
                                          const std::vector<std::uint8_t>& reg,
                                          const std::vector<std::uint8_t>& data);
// True when the write reply acknowledges the address, every register byte and every data byte.
bool I2cWriteStatus(const std::vector<std::uint8_t>& reply, int registerBytes, int dataBytes);

// [N, read address, register bytes...] for OUT endpoint 2.
std::vector<std::uint8_t> I2cReadCommand(std::uint8_t count, std::uint8_t readAddr,
                                         const std::vector<std::uint8_t>& reg);
// True when the read reply's count byte equals the number of bytes asked for.
bool I2cReadData(const std::vector<std::uint8_t>& reply, int count);

// [port B data, port C data, port B enables, port C enables] from GpioState for OUT endpoint 1.
std::vector<std::uint8_t> GpioWriteCommand(const std::array<std::uint8_t, 4>& gpioState);
// [port B data, port C data] from GpioState for OUT endpoint 1.
std::vector<std::uint8_t> GpioDataCommand(const std::array<std::uint8_t, 4>& gpioState);

// The bridge's GPIO status reply (25 bytes read from 0x81); missing bytes read as 0.
struct GpioStatusReply {
    std::uint8_t portBData = 0, portCData = 0, portBEnables = 0, portCEnables = 0;
    static GpioStatusReply from(const std::vector<std::uint8_t>& reply);
};

// [address with bit 7 cleared, data] for OUT endpoint 4; no reply.
std::vector<std::uint8_t> DirectWriteCommand(std::uint8_t address, std::uint8_t data);

// The IN endpoint that answers a packet sent on the OUT endpoint outPipe: the same number with
// the direction bit set.
constexpr std::uint32_t replyPipe(std::uint32_t outPipe) {
    return outPipe | 0x80U;
}

}  // namespace board
