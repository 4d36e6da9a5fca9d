// The I2C bus of a Linux adapter, through an open /dev/i2c-N node. Every transaction is one
// I2C_RDWR: a write is one message, a write then read two messages joined by a repeated start.
// The kernel says only whether the whole transaction went through, so a write acknowledges all
// its bytes or none.
#pragma once

#include "bridgeproto/I2cBus.h"

namespace wdu {

class LinuxI2cBus : public bridgeproto::I2cBus {
  public:
    // The node's file descriptor; the bus never closes it. -1 fails every transaction as Gone.
    void setFd(int fd) { fd_ = fd; }

    // An absent target (ENXIO, EREMOTEIO) is count 0; ETIMEDOUT, EAGAIN and ENODEV have their own
    // status; any other error is Failed.
    bridgeproto::BusResult write(std::uint8_t address,
                                 std::span<const std::uint8_t> bytes) override;
    // As write; a read of no bytes after no bytes touches nothing and answers count 0.
    bridgeproto::BusResult writeRead(std::uint8_t address, std::span<const std::uint8_t> bytes,
                                     std::span<std::uint8_t> in) override;

  private:
    int fd_ = -1;
};

}  // namespace wdu
