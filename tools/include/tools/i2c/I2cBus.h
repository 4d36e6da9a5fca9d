// The I2C bus behind the bridge board, as velmorix-i2c reaches it: the program's board link on a
// headless host, with the packets the windows send. No failure is raised; each exchange says
// whether its transfers ran and what the bridge board counted.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "board/BoardLink.h"
#include "board/MainWindowLink.h"
#include "tools/HeadlessHost.h"

namespace tools {

class I2cBus {
  public:
    // What one command and its reply gave.
    struct Exchange {
        // WD_STATUS_SUCCESS when both transfers ran; else the first failure's status.
        std::uint32_t status = 0;
        // The reply's count byte: bytes read, or bytes of a write acknowledged (address included).
        int count = 0;
        // A read's data bytes, as many as asked for (zeros past what arrived).
        std::vector<std::uint8_t> data;
        bool transferred() const { return status == 0; }
    };

    // Messages of the host (none expected) go to `messages`.
    explicit I2cBus(std::ostream& messages);
    // Closes the board connection when it is open.
    ~I2cBus();
    I2cBus(const I2cBus&) = delete;
    I2cBus& operator=(const I2cBus&) = delete;

    // Opens the board connection as the register console does; false when no bridge board
    // attached.
    bool open();
    // The communication test's exchange: a one-byte read of register 02; answered when count = 1.
    Exchange probe(std::uint8_t writeAddress);
    // Reads `count` bytes (1 to 255) from the register; a full read has count = `count`.
    Exchange read(std::uint8_t writeAddress, const std::vector<std::uint8_t>& reg, int count);
    // Writes the bytes from the register on; a full write has count = 1 + register bytes + data.
    Exchange write(std::uint8_t writeAddress, const std::vector<std::uint8_t>& reg,
                   const std::vector<std::uint8_t>& data);
    // The USB layer's text for a status.
    std::string statusText(std::uint32_t status);

  private:
    Exchange exchange(const std::vector<std::uint8_t>& packet, int replyLength);

    HeadlessHost host_;
    board::StandaloneMainWindow window_;
    board::BoardLink link_;
};

}  // namespace tools
