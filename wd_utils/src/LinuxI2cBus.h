// The I2C bus of a Linux adapter, through an open /dev/i2c-N node. A transaction that is exactly
// an SMBus byte, word or I2C-block transfer the adapter offers (I2C_FUNCS) is one I2C_SMBUS, as
// i2c-tools and smbus2 send it: the same bytes on the wire, and under emulation half the round
// trips. Any other transaction is one I2C_RDWR: a write is one message, a write then read two
// messages joined by a repeated start. The kernel says only whether the whole transaction went
// through, so a write acknowledges all its bytes or none.
#pragma once

#include <optional>

#include "bridgeproto/I2cBus.h"

namespace wdu {

class LinuxI2cBus : public bridgeproto::I2cBus {
  public:
    // The node's file descriptor and the functions its adapter offers (I2C_FUNCS); the bus never
    // closes the descriptor. -1 fails every transaction as Gone.
    void setFd(int fd, unsigned long functions = 0) {
        fd_ = fd;
        functions_ = functions;
        target_ = -1;
    }

    // With force, addresses a kernel driver holds are reached as well (I2C_SLAVE_FORCE); without
    // it a transaction to one fails as Busy, as i2c-tools and smbus2 fail it.
    void setForce(bool force) {
        if (force != force_) {
            force_ = force;
            target_ = -1;
        }
    }

    // An absent target (ENXIO, EREMOTEIO) is count 0; ETIMEDOUT, EAGAIN and ENODEV have their own
    // status; an address a driver holds is Busy; a shape an SMBus-only adapter cannot carry is
    // Unsupported; any other error is Failed.
    bridgeproto::BusResult write(std::uint8_t address,
                                 std::span<const std::uint8_t> bytes) override;
    // As write; a read of no bytes after no bytes touches nothing and answers count 0.
    bridgeproto::BusResult writeRead(std::uint8_t address, std::span<const std::uint8_t> bytes,
                                     std::span<std::uint8_t> in) override;

    // An SMBus transfer whose read length the target sends first, to the 8-bit address: with no
    // out bytes a block read of command (I2C_SMBUS_BLOCK_DATA), else a block process call
    // (I2C_SMBUS_BLOCK_PROC_CALL). in (32 bytes) gets the bytes after the target's count, count
    // says how many; error the adapter's errno. Unsupported when the adapter does not offer it:
    // no other shape stands in for it, as none carries the count the same way.
    bridgeproto::BusResult blockTransfer(std::uint8_t address, std::uint8_t command,
                                         std::span<const std::uint8_t> out,
                                         std::span<std::uint8_t> in, int& error);

  private:
    // The transaction as one I2C_SMBUS; nullopt (nothing sent) when it is no SMBus transfer the
    // adapter offers or the target address cannot be set, so that I2C_RDWR carries it instead.
    std::optional<bridgeproto::BusResult> smbus(std::uint8_t address,
                                                std::span<const std::uint8_t> bytes,
                                                std::span<std::uint8_t> in, bool read);
    // Points the node at the 7-bit address, once per change; false (errno in targetErrno_) when
    // the kernel refuses.
    bool target(std::uint16_t address7);
    // Nothing when the address may be used; else the result that refuses the transaction.
    std::optional<bridgeproto::BusResult> claim(std::uint8_t address);

    int fd_ = -1;
    unsigned long functions_ = 0;
    int target_ = -1;  // the address I2C_SMBUS goes to; -1 before the first
    int targetErrno_ = 0;
    bool force_ = false;
};

}  // namespace wdu
