#include "LinuxI2cBus.h"

#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>

namespace wdu {

namespace {

using bridgeproto::BusResult;
using bridgeproto::BusStatus;

// Runs one ioctl, again when a signal cut it short; okCount is the count a success reports,
// error gets the errno of a failure (0 on success).
template <typename Argument>
BusResult run(int fd, unsigned long request, Argument* argument, std::uint32_t okCount,
              int& error) {
    int result;
    do {
        result = ioctl(fd, request, argument);
    } while (result < 0 && errno == EINTR);
    error = result >= 0 ? 0 : errno;
    if (result >= 0) {
        return {BusStatus::Ok, okCount};
    }
    switch (error) {
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

template <typename Argument>
BusResult run(int fd, unsigned long request, Argument* argument, std::uint32_t okCount) {
    int error = 0;
    return run(fd, request, argument, okCount, error);
}

// Runs the messages as one I2C_RDWR transaction.
BusResult rdwr(int fd, i2c_msg* messages, std::uint32_t count, std::uint32_t okCount) {
    if (fd < 0) {
        return {BusStatus::Gone, 0};
    }
    i2c_rdwr_ioctl_data data{messages, count};
    return run(fd, I2C_RDWR, &data, okCount);
}

// The kernel wants the 7-bit address: the program's 8-bit one without its read/write bit.
__u16 kernelAddress(std::uint8_t address) {
    return static_cast<__u16>(address >> 1);
}

// The SMBus transfer that carries exactly these bytes, with the I2C_FUNCS bit it needs.
struct SmbusShape {
    int size = -1;  // -1: none (I2C_SMBUS_QUICK is 0)
    unsigned long function = 0;
};

SmbusShape writeShape(std::size_t out) {
    switch (out) {
        case 0:
            return {I2C_SMBUS_QUICK, I2C_FUNC_SMBUS_QUICK};
        case 1:
            return {I2C_SMBUS_BYTE, I2C_FUNC_SMBUS_WRITE_BYTE};
        case 2:
            return {I2C_SMBUS_BYTE_DATA, I2C_FUNC_SMBUS_WRITE_BYTE_DATA};
        case 3:
            return {I2C_SMBUS_WORD_DATA, I2C_FUNC_SMBUS_WRITE_WORD_DATA};
        default:
            return out <= 1 + I2C_SMBUS_BLOCK_MAX
                       ? SmbusShape{I2C_SMBUS_I2C_BLOCK_DATA, I2C_FUNC_SMBUS_WRITE_I2C_BLOCK}
                       : SmbusShape{};
    }
}

SmbusShape readShape(std::size_t out, std::size_t in) {
    if (out == 0) {
        return in == 1 ? SmbusShape{I2C_SMBUS_BYTE, I2C_FUNC_SMBUS_READ_BYTE} : SmbusShape{};
    }
    // A command and a word written, a word read after the repeated start: a process call.
    if (out == 3 && in == 2) {
        return {I2C_SMBUS_PROC_CALL, I2C_FUNC_SMBUS_PROC_CALL};
    }
    if (out != 1 || in == 0) {
        return {};
    }
    switch (in) {
        case 1:
            return {I2C_SMBUS_BYTE_DATA, I2C_FUNC_SMBUS_READ_BYTE_DATA};
        case 2:
            return {I2C_SMBUS_WORD_DATA, I2C_FUNC_SMBUS_READ_WORD_DATA};
        default:
            return in <= I2C_SMBUS_BLOCK_MAX
                       ? SmbusShape{I2C_SMBUS_I2C_BLOCK_DATA, I2C_FUNC_SMBUS_READ_I2C_BLOCK}
                       : SmbusShape{};
    }
}

}  // namespace

bool LinuxI2cBus::target(std::uint16_t address7) {
    if (target_ == address7) {
        return true;
    }
    // I2C_RDWR would reach an address a kernel driver holds as well: the plain I2C_SLAVE asks
    // the kernel first, as i2c-tools does without -f.
    int result;
    do {
        result =
            ioctl(fd_, force_ ? I2C_SLAVE_FORCE : I2C_SLAVE, static_cast<unsigned long>(address7));
    } while (result < 0 && errno == EINTR);
    targetErrno_ = result == 0 ? 0 : errno;
    target_ = result == 0 ? address7 : -1;
    return result == 0;
}

std::optional<BusResult> LinuxI2cBus::claim(std::uint8_t address) {
    if (fd_ < 0) {
        return BusResult{BusStatus::Gone, 0};
    }
    if (target(kernelAddress(address))) {
        return std::nullopt;
    }
    return BusResult{targetErrno_ == EBUSY ? BusStatus::Busy : BusStatus::Failed, 0};
}

std::optional<BusResult> LinuxI2cBus::smbus(std::uint8_t address,
                                            std::span<const std::uint8_t> bytes,
                                            std::span<std::uint8_t> in, bool read) {
    const SmbusShape shape = read ? readShape(bytes.size(), in.size()) : writeShape(bytes.size());
    if (fd_ < 0 || shape.size < 0 || (functions_ & shape.function) != shape.function ||
        !target(kernelAddress(address))) {
        return std::nullopt;
    }
    if (shape.size == I2C_SMBUS_QUICK) {
        i2c_smbus_ioctl_data quick{I2C_SMBUS_WRITE, 0, I2C_SMBUS_QUICK, nullptr};
        return run(fd_, I2C_SMBUS, &quick, 1);
    }
    i2c_smbus_data data{};
    // Byte 0 is the command (register) byte; the data follow it.
    const std::span<const std::uint8_t> rest = bytes.empty() ? bytes : bytes.subspan(1);
    // A process call goes as a write that the kernel answers with the word read.
    const bool call = shape.size == I2C_SMBUS_PROC_CALL;
    i2c_smbus_ioctl_data request{
        static_cast<__u8>(read && !call ? I2C_SMBUS_READ : I2C_SMBUS_WRITE),
        static_cast<__u8>(bytes.empty() ? 0 : bytes[0]), static_cast<__u32>(shape.size), &data};
    if (call) {
        data.word = static_cast<__u16>(rest[0] | (rest[1] << 8));
    } else if (read) {
        data.block[0] = static_cast<__u8>(in.size());
    } else if (shape.size == I2C_SMBUS_BYTE_DATA) {
        data.byte = rest[0];
    } else if (shape.size == I2C_SMBUS_WORD_DATA) {
        data.word = static_cast<__u16>(rest[0] | (rest[1] << 8));
    } else if (shape.size == I2C_SMBUS_I2C_BLOCK_DATA) {
        data.block[0] = static_cast<__u8>(rest.size());
        std::copy(rest.begin(), rest.end(), data.block + 1);
    }
    const auto okCount = static_cast<std::uint32_t>(read ? in.size() : 1 + bytes.size());
    const BusResult result = run(fd_, I2C_SMBUS, &request, okCount);
    if (read && result.count > 0) {
        if (shape.size == I2C_SMBUS_WORD_DATA || call) {
            in[0] = static_cast<std::uint8_t>(data.word & 0xFF);  // SMBus sends the low byte first
            in[1] = static_cast<std::uint8_t>(data.word >> 8);
        } else if (shape.size == I2C_SMBUS_I2C_BLOCK_DATA) {
            std::copy_n(data.block + 1, in.size(), in.begin());
        } else {
            in[0] = data.byte;
        }
    }
    return result;
}

BusResult LinuxI2cBus::blockTransfer(std::uint8_t address, std::uint8_t command,
                                     std::span<const std::uint8_t> out, std::span<std::uint8_t> in,
                                     int& error) {
    error = 0;
    if (out.size() > I2C_SMBUS_BLOCK_MAX || in.size() < I2C_SMBUS_BLOCK_MAX) {
        return {BusStatus::Failed, 0};
    }
    if (const auto refused = claim(address)) {
        error = targetErrno_;
        return *refused;
    }
    const bool call = !out.empty();
    const unsigned long function =
        call ? I2C_FUNC_SMBUS_BLOCK_PROC_CALL : I2C_FUNC_SMBUS_READ_BLOCK_DATA;
    if ((functions_ & function) == 0) {
        return {BusStatus::Unsupported, 0};
    }
    i2c_smbus_data data{};
    // A block process call goes as a write that the kernel answers with the block read.
    i2c_smbus_ioctl_data request{
        static_cast<__u8>(call ? I2C_SMBUS_WRITE : I2C_SMBUS_READ), command,
        static_cast<__u32>(call ? I2C_SMBUS_BLOCK_PROC_CALL : I2C_SMBUS_BLOCK_DATA), &data};
    data.block[0] = static_cast<__u8>(out.size());
    std::copy(out.begin(), out.end(), data.block + 1);
    BusResult result = run(fd_, I2C_SMBUS, &request, 0, error);
    if (error == 0) {
        // The kernel refuses a count over 32 (EPROTO); the clamp only guards the copy.
        result.count = std::min<std::uint32_t>(data.block[0], I2C_SMBUS_BLOCK_MAX);
        std::copy_n(data.block + 1, result.count, in.begin());
    }
    return result;
}

BusResult LinuxI2cBus::write(std::uint8_t address, std::span<const std::uint8_t> bytes) {
    if (bytes.size() > 0xFFFF) {
        return {BusStatus::Failed, 0};
    }
    if (const auto refused = claim(address)) {
        return *refused;
    }
    if (const auto result = smbus(address, bytes, {}, false)) {
        return *result;
    }
    if ((functions_ & I2C_FUNC_I2C) == 0) {
        return {BusStatus::Unsupported, 0};
    }
    // The kernel only reads a write message's buffer.
    i2c_msg message{kernelAddress(address), 0, static_cast<__u16>(bytes.size()),
                    const_cast<__u8*>(bytes.data())};
    return rdwr(fd_, &message, 1, static_cast<std::uint32_t>(1 + bytes.size()));
}

BusResult LinuxI2cBus::writeRead(std::uint8_t address, std::span<const std::uint8_t> bytes,
                                 std::span<std::uint8_t> in) {
    if (bytes.size() > 0xFFFF || in.size() > 0xFFFF) {
        return {BusStatus::Failed, 0};
    }
    if (const auto refused = claim(address)) {
        return *refused;
    }
    if (const auto result = smbus(address, bytes, in, true)) {
        return *result;
    }
    if ((functions_ & I2C_FUNC_I2C) == 0) {
        return {BusStatus::Unsupported, 0};
    }
    const __u16 target = kernelAddress(address);
    i2c_msg messages[2] = {
        {target, 0, static_cast<__u16>(bytes.size()), const_cast<__u8*>(bytes.data())},
        {target, I2C_M_RD, static_cast<__u16>(in.size()), in.data()},
    };
    if (in.empty()) {
        // Nothing to read: the register address still goes out, but the count stays 0.
        return bytes.empty() ? BusResult{BusStatus::Ok, 0} : rdwr(fd_, messages, 1, 0);
    }
    if (bytes.empty()) {
        return rdwr(fd_, &messages[1], 1, static_cast<std::uint32_t>(in.size()));
    }
    return rdwr(fd_, messages, 2, static_cast<std::uint32_t>(in.size()));
}

}  // namespace wdu
