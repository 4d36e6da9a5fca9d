#include "I2cDevBackend.h"

#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "I2cDevStatusText.h"
#include "bridgeproto/BridgeIds.h"
#include "wd_utils_i2cdev.h"

namespace wdu {

namespace {

std::uint32_t statusOf(bridgeproto::PacketStatus status) {
    switch (status) {
        case bridgeproto::PacketStatus::Ok:
            return WD_STATUS_SUCCESS;
        case bridgeproto::PacketStatus::Stall:
            return WD_STALL;
        case bridgeproto::PacketStatus::NoReply:
            return WD_TIME_OUT_EXPIRED;
        case bridgeproto::PacketStatus::NoPorts:
            return WD_I2CDEV_GPIO_REFUSED;
        case bridgeproto::PacketStatus::BusTimedOut:
            return WD_I2CDEV_BUS_TIMEOUT;
        case bridgeproto::PacketStatus::BusArbitrationLost:
            return WD_I2CDEV_ARBITRATION_LOST;
        case bridgeproto::PacketStatus::BusFailed:
            return WD_I2CDEV_ADAPTER_ERROR;
        case bridgeproto::PacketStatus::BusGone:
            return WD_DEVICE_GONE;
        case bridgeproto::PacketStatus::BusBusy:
            return WD_I2CDEV_ADDRESS_BUSY;
        case bridgeproto::PacketStatus::BusUnsupported:
            return WD_I2CDEV_SHAPE_UNSUPPORTED;
    }
    return WD_OPERATION_FAILED;
}

}  // namespace

std::atomic<bool>& I2cDevBackend::forced() {
    static std::atomic<bool> force{false};
    return force;
}

I2cDevBackend::I2cDevBackend(std::string node, std::shared_ptr<std::atomic<bool>> gpioExplained,
                             std::chrono::milliseconds pollInterval)
    : node_(std::move(node)),
      pollInterval_(pollInterval),
      gpioExplained_(gpioExplained ? std::move(gpioExplained)
                                   : std::make_shared<std::atomic<bool>>(false)) {
    rememberI2cDevNode(node_);
}

I2cDevBackend::~I2cDevBackend() {
    stop();
}

std::uint32_t I2cDevBackend::start(PresenceListener listener) {
    refresh();
    std::lock_guard lock(stateMutex_);
    listener_ = std::move(listener);
    stopping_ = false;
    watcher_ = std::thread(&I2cDevBackend::watchMain, this);
    return WD_STATUS_SUCCESS;
}

void I2cDevBackend::stop() {
    {
        std::lock_guard lock(stateMutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (watcher_.joinable()) {
        watcher_.join();
    }
    std::lock_guard io(ioMutex_);
    std::lock_guard lock(stateMutex_);
    closeLocked();
    listener_ = nullptr;
}

bool I2cDevBackend::present(DeviceIdentity& identity, std::uint64_t& serial) {
    std::lock_guard lock(stateMutex_);
    if (fd_ < 0) {
        return false;
    }
    identity.vendorId = velmorix::kBridgeVendorId;
    identity.productId = velmorix::kBridgeProductId;
    identity.deviceClass = 0xFF;
    identity.interfaceClass = 0xFF;
    serial = serial_;
    return true;
}

std::uint32_t I2cDevBackend::registrationStatus() {
    // Checked now, so that a group membership fixed a moment ago counts at once.
    const bool changed = refresh();
    PresenceListener listener;
    std::uint32_t status;
    {
        std::lock_guard lock(stateMutex_);
        status = accessDenied_  ? std::uint32_t{WD_I2CDEV_ACCESS_DENIED}
                 : notPlainI2c_ ? std::uint32_t{WD_I2CDEV_NOT_PLAIN_I2C}
                                : std::uint32_t{WD_STATUS_SUCCESS};
        listener = listener_;
    }
    if (changed && listener) {
        listener();
    }
    return status;
}

std::uint32_t I2cDevBackend::sameAttachmentLocked(std::uint64_t serial) const {
    return fd_ >= 0 && serial == serial_ ? WD_STATUS_SUCCESS : WD_DEVICE_GONE;
}

std::uint32_t I2cDevBackend::sameAttachment(std::uint64_t serial) {
    std::lock_guard lock(stateMutex_);
    return sameAttachmentLocked(serial);
}

void I2cDevBackend::announceDeparture() {
    PresenceListener listener;
    {
        std::lock_guard lock(stateMutex_);
        listener = listener_;
    }
    if (listener) {
        listener();
    }
}

std::uint32_t I2cDevBackend::setInterface(std::uint64_t serial, std::uint32_t interfaceNum,
                                          std::uint32_t alternateSetting) {
    std::lock_guard lock(stateMutex_);
    if (const std::uint32_t status = sameAttachmentLocked(serial)) {
        return status;
    }
    return interfaceNum == 0 && alternateSetting == 0 ? WD_STATUS_SUCCESS
                                                      : WD_INTERFACE_SELECT_FAILED;
}

std::uint32_t I2cDevBackend::deviceInfo(std::uint64_t serial, WDU_DEVICE& info) {
    std::lock_guard lock(stateMutex_);
    if (const std::uint32_t status = sameAttachmentLocked(serial)) {
        return status;
    }
    info.wVendorId = velmorix::kBridgeVendorId;
    info.wProductId = velmorix::kBridgeProductId;
    info.dwInterfaceNum = 0;
    info.dwAlternateSetting = 0;
    info.dwNumEndpoints = static_cast<std::uint32_t>(velmorix::kBridgeEndpoints.size());
    return WD_STATUS_SUCCESS;
}

std::uint32_t I2cDevBackend::transfer(std::uint64_t serial, std::uint32_t pipe, bool read,
                                      std::uint8_t* buffer, std::uint32_t length,
                                      std::uint32_t& moved, std::uint32_t /*timeoutMs*/) {
    moved = 0;
    bridgeproto::PacketStatus result;
    {
        std::lock_guard io(ioMutex_);
        if (const std::uint32_t status = sameAttachment(serial)) {
            return status;
        }
        if (pipe > 0xFF || !bridgeproto::PacketInterpreter::endpointServes(
                               static_cast<std::uint8_t>(pipe), read)) {
            return WD_STALL;
        }
        const auto endpoint = static_cast<std::uint8_t>(pipe);
        if (endpoint == bridgeproto::PacketInterpreter::kDirectOut) {
            return WD_I2CDEV_NO_DIRECT_WRITE;
        }
        if (bridgeproto::PacketInterpreter::isPortEndpoint(endpoint)) {
            // Said in full once; a log full of the same explanation helps nobody.
            const bool first = !gpioExplained_->exchange(true);
            return first ? WD_I2CDEV_NO_GPIO : WD_I2CDEV_GPIO_REFUSED;
        }
        bus_.setForce(forced().load());
        if (read) {
            result = interpreter_.reply(endpoint, std::span<std::uint8_t>(buffer, length), moved);
        } else {
            result = interpreter_.command(endpoint, std::span<const std::uint8_t>(buffer, length));
            if (result == bridgeproto::PacketStatus::Ok) {
                moved = length;
            }
        }
        if (result == bridgeproto::PacketStatus::BusGone) {
            std::lock_guard lock(stateMutex_);
            closeLocked();
        }
    }
    if (result == bridgeproto::PacketStatus::BusGone) {
        announceDeparture();
    }
    return statusOf(result);
}

std::uint32_t I2cDevBackend::adapter(std::uint64_t serial, std::uint32_t& functions, int& fd) {
    std::lock_guard lock(stateMutex_);
    if (const std::uint32_t status = sameAttachmentLocked(serial)) {
        return status;
    }
    functions = functions_;
    fd = fd_;
    return WD_STATUS_SUCCESS;
}

std::uint32_t I2cDevBackend::blockTransfer(std::uint64_t serial, std::uint8_t address7,
                                           std::uint8_t command, std::span<const std::uint8_t> out,
                                           std::span<std::uint8_t> in, std::uint32_t& received,
                                           int& error) {
    received = 0;
    error = 0;
    bridgeproto::BusResult result;
    {
        std::lock_guard io(ioMutex_);
        if (const std::uint32_t status = sameAttachment(serial)) {
            return status;
        }
        bus_.setForce(forced().load());
        result =
            bus_.blockTransfer(static_cast<std::uint8_t>(address7 << 1), command, out, in, error);
        if (result.status == bridgeproto::BusStatus::Gone) {
            std::lock_guard lock(stateMutex_);
            closeLocked();
        }
    }
    switch (result.status) {
        case bridgeproto::BusStatus::Ok:
            received = error == 0 ? result.count : 0;
            // A target that did not answer is a failure here: there is no count byte to say so.
            return error == 0 ? std::uint32_t{WD_STATUS_SUCCESS}
                              : std::uint32_t{WD_I2CDEV_ADAPTER_ERROR};
        case bridgeproto::BusStatus::TimedOut:
            return WD_I2CDEV_BUS_TIMEOUT;
        case bridgeproto::BusStatus::ArbitrationLost:
            return WD_I2CDEV_ARBITRATION_LOST;
        case bridgeproto::BusStatus::Busy:
            return WD_I2CDEV_ADDRESS_BUSY;
        case bridgeproto::BusStatus::Unsupported:
            return WD_I2CDEV_SHAPE_UNSUPPORTED;
        case bridgeproto::BusStatus::Failed:
            return WD_I2CDEV_ADAPTER_ERROR;
        case bridgeproto::BusStatus::Gone:
            break;
    }
    announceDeparture();
    return WD_DEVICE_GONE;
}

std::uint32_t I2cDevBackend::reset(std::uint64_t serial) {
    std::lock_guard io(ioMutex_);
    std::lock_guard lock(stateMutex_);
    if (const std::uint32_t status = sameAttachmentLocked(serial)) {
        return status;
    }
    interpreter_.dropReplies();
    return WD_STATUS_SUCCESS;
}

bool I2cDevBackend::refresh() {
    std::lock_guard io(ioMutex_);
    std::lock_guard lock(stateMutex_);
    if (fd_ >= 0) {
        struct stat info {};
        if (::stat(node_.c_str(), &info) == 0) {
            return false;
        }
        closeLocked();
        return true;
    }
    const int fd = ::open(node_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        accessDenied_ = errno == EACCES || errno == EPERM;
        return false;
    }
    accessDenied_ = false;
    // An SMBus-only controller is taken: the SMBus transfers go, any other shape fails alone.
    unsigned long functions = 0;
    notPlainI2c_ = ::ioctl(fd, I2C_FUNCS, &functions) != 0 ||
                   (functions & (I2C_FUNC_I2C | I2C_FUNC_SMBUS_BYTE_DATA)) == 0;
    if (notPlainI2c_) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    functions_ = static_cast<std::uint32_t>(functions);
    ++serial_;
    bus_.setFd(fd_, functions);
    return true;
}

void I2cDevBackend::closeLocked() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    bus_.setFd(-1);
    interpreter_.dropReplies();
}

void I2cDevBackend::watchMain() {
    std::unique_lock lock(stateMutex_);
    while (!stopping_) {
        wake_.wait_for(lock, pollInterval_, [this] { return stopping_; });
        if (stopping_) {
            break;
        }
        lock.unlock();
        const bool changed = refresh();
        lock.lock();
        if (changed && listener_ && !stopping_) {
            const PresenceListener listener = listener_;
            lock.unlock();
            listener();
            lock.lock();
        }
    }
}

}  // namespace wdu
