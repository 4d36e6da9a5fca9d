#include "tools/i2c/I2cBus.h"

#include "board/Packets.h"

namespace tools {

namespace {

// The register the communication test reads.
constexpr std::uint8_t kProbeRegister = 0x02;

}  // namespace

I2cBus::I2cBus(std::ostream& messages) : host_(messages), link_(host_, window_) {
    link_.InitColors();
}

I2cBus::~I2cBus() {
    link_.Disconnect_USB();
}

bool I2cBus::open() {
    link_.Connect_Usb();
    return link_.s.DeviceHandle != 0;
}

I2cBus::Exchange I2cBus::exchange(const std::vector<std::uint8_t>& packet, int replyLength) {
    const auto out = static_cast<std::uint32_t>(link_.s.OutPipeNum);
    Exchange result;
    const board::Reply sent = link_.sendPacket(out, packet);
    const board::Reply reply = link_.receiveReply(board::replyPipe(out), replyLength);
    result.status = sent.ok() ? reply.status : sent.status;
    result.count = reply.byteAt(0);
    for (int i = 1; i < replyLength; ++i) {
        result.data.push_back(reply.byteAt(static_cast<std::size_t>(i)));
    }
    return result;
}

I2cBus::Exchange I2cBus::probe(std::uint8_t writeAddress) {
    const auto readAddress = static_cast<std::uint8_t>(writeAddress + 1);
    // The communication test reads one byte more than its reply holds.
    return exchange(board::I2cReadCommand(1, readAddress, {kProbeRegister}), 3);
}

I2cBus::Exchange I2cBus::read(std::uint8_t writeAddress, const std::vector<std::uint8_t>& reg,
                              int count) {
    const auto readAddress = static_cast<std::uint8_t>(writeAddress + 1);
    return exchange(board::I2cReadCommand(static_cast<std::uint8_t>(count), readAddress, reg),
                    count + 1);
}

I2cBus::Exchange I2cBus::write(std::uint8_t writeAddress, const std::vector<std::uint8_t>& reg,
                               const std::vector<std::uint8_t>& data) {
    // Byte 0 counts the bytes after the address, as a script line's write does.
    const auto count = static_cast<std::uint8_t>(reg.size() + data.size());
    Exchange result = exchange(board::I2cWriteCommand(count, writeAddress, reg, data), 2);
    result.data.clear();
    return result;
}

std::string I2cBus::statusText(std::uint32_t status) {
    return link_.StatusText(status);
}

}  // namespace tools
