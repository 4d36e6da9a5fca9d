// The bytes of one message in Wireshark's Linux I2C link type (LINKTYPE_I2C_LINUX, 209), and the
// little-endian appenders the pcap formats share.
#pragma once

#include <cstdint>
#include <string>

#include "board/I2cTransaction.h"

namespace client {

inline constexpr std::uint32_t kLinkTypeI2cLinux = 209;

// Appends the value's bytes, least significant first.
void appendLe16(std::string& out, std::uint16_t value);
void appendLe32(std::string& out, std::uint32_t value);
// A message as the link type carries it: bus 0 (not an event), the message flags big-endian
// (1 for a read), the address byte, the data.
std::string linuxI2cPacket(const board::I2cMessage& message);

}  // namespace client
