#include "client/PcapEncoder.h"

#include "client/LinuxI2cPacket.h"

namespace client {

std::string PcapEncoder::header() {
    std::string out;
    appendLe32(out, 0xA1B2C3D4);
    appendLe16(out, 2);
    appendLe16(out, 4);
    appendLe32(out, 0);  // time zone
    appendLe32(out, 0);  // accuracy
    appendLe32(out, 65535);
    appendLe32(out, kLinkTypeI2cLinux);
    return out;
}

std::string PcapEncoder::transaction(const board::I2cTransaction& t, std::uint64_t timeUs) {
    std::string out;
    for (const board::I2cMessage& message : t.messages) {
        const std::string packet = linuxI2cPacket(message);
        appendLe32(out, static_cast<std::uint32_t>(timeUs / 1000000));
        appendLe32(out, static_cast<std::uint32_t>(timeUs % 1000000));
        appendLe32(out, static_cast<std::uint32_t>(packet.size()));
        appendLe32(out, static_cast<std::uint32_t>(packet.size()));
        out += packet;
    }
    return out;
}

}  // namespace client
