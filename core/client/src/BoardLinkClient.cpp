#include "client/BoardLinkClient.h"

#include <cerrno>
#include <filesystem>

#include "wd_utils.h"
#include "wd_utils_i2cdev.h"

namespace client {

namespace {

// The register the communication test reads.
constexpr std::uint8_t kProbeRegister = 0x02;

// The errno of a Linux adapter whose target did not acknowledge its address.
bool notAcknowledged(int errnoValue) {
#if defined(EREMOTEIO)
    if (errnoValue == EREMOTEIO) {
        return true;
    }
#endif
    return errnoValue == ENXIO;
}

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
    return whyNotOpen(link_, bridge);
}

BoardLinkClient::OpenFailure BoardLinkClient::whyNotOpen(board::BoardLink& link,
                                                         const std::string& bridge) {
    const std::string prefix = "i2cdev:";
    if (bridge.rfind(prefix, 0) == 0) {
        const std::string node = bridge.substr(prefix.size());
        std::error_code ignored;
        if (!std::filesystem::exists(node, ignored)) {
            return {ENOENT, node + ": No such file or directory"};
        }
    }
    const std::uint32_t status = link.lastStatus();
    if (status == WD_ACCESS_DENIED || status == WD_I2CDEV_ACCESS_DENIED) {
        return {EACCES, link.StatusText(status)};
    }
    if (status == WD_I2CDEV_NOT_PLAIN_I2C) {
        return {EOPNOTSUPP, link.StatusText(status)};
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

BoardLinkClient::BlockExchange BoardLinkClient::blockTransfer(
    std::uint8_t writeAddress, std::uint8_t command, const std::vector<std::uint8_t>& out) {
    BlockExchange result;
    std::uint8_t in[32] = {};
    std::uint32_t received = 0;
    result.status = WDU_I2cDevBlockTransfer(
        link_.deviceHandle(), static_cast<std::uint8_t>(writeAddress >> 1), command, out.data(),
        static_cast<std::uint32_t>(out.size()), in, &received, &result.errnoValue);
    result.data.assign(in, in + received);
    if (result.status == WD_I2CDEV_NOT_AN_ADAPTER || result.status == WD_I2CDEV_SHAPE_UNSUPPORTED ||
        result.status == WD_I2CDEV_ADDRESS_BUSY || result.status == WD_INVALID_PARAMETER ||
        result.status == WD_INVALID_HANDLE) {
        return result;  // nothing went on the bus
    }
    // As on the bus: the command and any block written, then the count and the bytes read.
    board::I2cTransaction transaction;
    std::vector<std::uint8_t> written{command};
    if (!out.empty()) {
        written.push_back(static_cast<std::uint8_t>(out.size()));
        written.insert(written.end(), out.begin(), out.end());
    }
    transaction.messages.push_back({writeAddress, written});
    std::vector<std::uint8_t> read{static_cast<std::uint8_t>(received)};
    read.insert(read.end(), result.data.begin(), result.data.end());
    transaction.messages.push_back({static_cast<std::uint8_t>(writeAddress | 1), read});
    transaction.meant = transaction.done = static_cast<int>(read.size());
    if (notAcknowledged(result.errnoValue)) {
        transaction.outcome = board::I2cOutcome::AddressNak;
        transaction.messages.resize(1);
        transaction.messages.front().data.clear();
        transaction.meant = transaction.done = 0;
    } else if (result.status == WD_I2CDEV_BUS_TIMEOUT) {
        transaction.outcome = board::I2cOutcome::TimedOut;
    } else if (result.status == WD_DEVICE_GONE) {
        transaction.outcome = board::I2cOutcome::BoardGone;
    } else if (!result.transferred()) {
        transaction.outcome = board::I2cOutcome::Failed;
    }
    link_.tellBusObservers(transaction);
    return result;
}

std::uint32_t BoardLinkClient::adapter(std::uint32_t& functions, int& fd) const {
    return WDU_I2cDevAdapter(link_.deviceHandle(), &functions, &fd);
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
