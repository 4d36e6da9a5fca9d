#include "client/LinuxI2cPacket.h"

namespace client {

void appendLe16(std::string& out, std::uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void appendLe32(std::string& out, std::uint32_t value) {
    appendLe16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    appendLe16(out, static_cast<std::uint16_t>(value >> 16));
}

std::string linuxI2cPacket(const board::I2cMessage& message) {
    // The Linux message flag for a read (I2C_M_RD).
    constexpr char kRead = 1;
    std::string out;
    out.reserve(6 + message.data.size());
    out.push_back(0);
    out.append(3, '\0');
    out.push_back(message.read() ? kRead : 0);
    out.push_back(static_cast<char>(message.addressByte));
    out.append(message.data.begin(), message.data.end());
    return out;
}

}  // namespace client
