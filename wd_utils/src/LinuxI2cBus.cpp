#include "LinuxI2cBus.h"

#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace wdu {

namespace {

using bridgeproto::BusResult;
using bridgeproto::BusStatus;

// Runs the messages as one transaction; okCount is the count a success reports.
BusResult run(int fd, i2c_msg* messages, std::uint32_t count, std::uint32_t okCount) {
    if (fd < 0) {
        return {BusStatus::Gone, 0};
    }
    i2c_rdwr_ioctl_data data{messages, count};
    int result;
    do {
        result = ioctl(fd, I2C_RDWR, &data);
    } while (result < 0 && errno == EINTR);
    if (result >= 0) {
        return {BusStatus::Ok, okCount};
    }
    switch (errno) {
        case ENXIO:
        case EREMOTEIO:
            return {BusStatus::Ok, 0};
        case ETIMEDOUT:
            return {BusStatus::TimedOut, 0};
        case EAGAIN:
            return {BusStatus::ArbitrationLost, 0};
        case ENODEV:
        case ESHUTDOWN:
            return {BusStatus::Gone, 0};
        default:
            return {BusStatus::Failed, 0};
    }
}

// The kernel wants the 7-bit address: the program's 8-bit one without its read/write bit.
__u16 kernelAddress(std::uint8_t address) {
    return static_cast<__u16>(address >> 1);
}

}  // namespace

BusResult LinuxI2cBus::write(std::uint8_t address, std::span<const std::uint8_t> bytes) {
    // The kernel only reads a write message's buffer.
    i2c_msg message{kernelAddress(address), 0, static_cast<__u16>(bytes.size()),
                    const_cast<__u8*>(bytes.data())};
    if (bytes.size() > 0xFFFF) {
        return {BusStatus::Failed, 0};
    }
    return run(fd_, &message, 1, static_cast<std::uint32_t>(1 + bytes.size()));
}

BusResult LinuxI2cBus::writeRead(std::uint8_t address, std::span<const std::uint8_t> bytes,
                                 std::span<std::uint8_t> in) {
    if (bytes.size() > 0xFFFF || in.size() > 0xFFFF) {
        return {BusStatus::Failed, 0};
    }
    const __u16 target = kernelAddress(address);
    i2c_msg messages[2] = {
        {target, 0, static_cast<__u16>(bytes.size()), const_cast<__u8*>(bytes.data())},
        {target, I2C_M_RD, static_cast<__u16>(in.size()), in.data()},
    };
    if (in.empty()) {
        // Nothing to read: the register address still goes out, but the count stays 0.
        return bytes.empty() ? BusResult{BusStatus::Ok, 0} : run(fd_, messages, 1, 0);
    }
    if (bytes.empty()) {
        return run(fd_, &messages[1], 1, static_cast<std::uint32_t>(in.size()));
    }
    return run(fd_, messages, 2, static_cast<std::uint32_t>(in.size()));
}

}  // namespace wdu
