#include "client/BoardLinkClient.h"

#include <cerrno>
#include <filesystem>

#include "wd_utils.h"
#include "wd_utils_i2cdev.h"

namespace client {

namespace {

// The register the communication test reads.
constexpr std::uint8_t kProbeRegister = 0x02;

}  // namespace

BoardLinkClient::BoardLinkClient(form::Host& host) : link_(host, window_) {
    link_.InitColors();
}

BoardLinkClient::~BoardLinkClient() {
    close();
}

bool BoardLinkClient::open() {
    if (!attached()) {
        link_.Connect_Usb();
    }
    return attached();
}

void BoardLinkClient::close(bool reset) {
    if (reset) {
        link_.Disconnect_USB();
    } else {
        link_.closeWithoutReset();
    }
}

bool BoardLinkClient::attached() const {
    return link_.deviceOpen();
}

BoardLinkClient::OpenFailure BoardLinkClient::whyNotOpen(const std::string& bridge) {
    const std::string prefix = "i2cdev:";
    if (bridge.rfind(prefix, 0) == 0) {
        const std::string node = bridge.substr(prefix.size());
        std::error_code ignored;
        if (!std::filesystem::exists(node, ignored)) {
            return {ENOENT, node + ": No such file or directory"};
        }
    }
    const std::uint32_t status = link_.lastStatus();
    if (status == WD_ACCESS_DENIED || status == WD_I2CDEV_ACCESS_DENIED) {
        return {EACCES, statusText(status)};
    }
    if (status == WD_I2CDEV_NOT_PLAIN_I2C) {
        return {EOPNOTSUPP, statusText(status)};
    }
    return {ENODEV, "no bridge board attached (bridge " + bridge + ")"};
}

BoardLinkClient::Exchange BoardLinkClient::exchange(const bridgeproto::Command& command) {
    Exchange result;
    const board::Reply reply = link_.exchange(command);
    const int replyLength = command.replyLength;
    result.status = reply.status;
    result.count = reply.byteAt(0);
    for (int i = 1; i < replyLength; ++i) {
        result.data.push_back(reply.byteAt(static_cast<std::size_t>(i)));
    }
    return result;
}

BoardLinkClient::Exchange BoardLinkClient::probe(std::uint8_t writeAddress) {
    const auto readAddress = static_cast<std::uint8_t>(writeAddress + 1);
    // The communication test reads one byte more than its reply holds.
    bridgeproto::Command command = bridgeproto::i2cRead(1, readAddress, {kProbeRegister});
    command.replyLength = 3;
    return exchange(command);
}

BoardLinkClient::Exchange BoardLinkClient::read(std::uint8_t writeAddress,
                                                const std::vector<std::uint8_t>& reg, int count) {
    const auto readAddress = static_cast<std::uint8_t>(writeAddress + 1);
    return exchange(bridgeproto::i2cRead(static_cast<std::uint8_t>(count), readAddress, reg));
}

BoardLinkClient::Exchange BoardLinkClient::write(std::uint8_t writeAddress,
                                                 const std::vector<std::uint8_t>& reg,
                                                 const std::vector<std::uint8_t>& data) {
    // Byte 0 counts the bytes after the address, as a script line's write does.
    const auto count = static_cast<std::uint8_t>(reg.size() + data.size());
    Exchange result = exchange(bridgeproto::i2cWrite(count, writeAddress, reg, data));
    result.data.clear();
    return result;
}

BoardLinkClient::GpioExchange BoardLinkClient::gpio(const std::array<std::uint8_t, 4>& state) {
    GpioExchange result;
    const board::Reply reply = link_.exchange(bridgeproto::gpioWrite(state));
    result.status = reply.status;
    if (result.transferred() && reply.transferred < bridgeproto::kGpioPortBytes) {
        result.status = WD_OPERATION_FAILED;  // a reply too short to say anything of the ports
    }
    result.readBack = bridgeproto::GpioStatusReply::from(reply.bytes);
    return result;
}

std::string BoardLinkClient::statusText(std::uint32_t status) {
    return link_.StatusText(status);
}

bool BoardLinkClient::isReservedAddress(std::uint8_t address7) {
    return address7 <= 0x07 || address7 >= 0x78;
}

}  // namespace client
