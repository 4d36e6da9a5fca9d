// A client of the board link without any window: the program's board link on a host the front end
// gives, sending the packets the windows send. velmorix-i2c and the Python module reach the bridge
// board through it. No failure is raised; each exchange says whether its transfers ran and what
// the bridge board counted. Not thread-safe: a caller serializes its calls.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "board/BoardLink.h"
#include "board/MainWindowLink.h"
#include "bridgeproto/Codec.h"
#include "form/Host.h"

namespace client {

class BoardLinkClient {
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

    // What a GPIO exchange gave: its status and the ports the bridge board reports back.
    struct GpioExchange {
        std::uint32_t status = 0;
        bridgeproto::GpioStatusReply readBack;
        bool transferred() const { return status == 0; }
    };

    // The largest count of one read, and of register and data bytes of one write: what the
    // packets' count byte can carry.
    static constexpr int kMaxCount = 255;

    // The host yields, sleeps and shows messages for the board link; it must outlive the client.
    explicit BoardLinkClient(form::Host& host);
    // Closes the board connection when it is open.
    ~BoardLinkClient();
    BoardLinkClient(const BoardLinkClient&) = delete;
    BoardLinkClient& operator=(const BoardLinkClient&) = delete;

    // Opens the board connection as the register console does; false when no bridge board
    // attached.
    bool open();
    // Closes the board connection; harmless when it is closed. Without `reset` the bridge board
    // is left as it is, for another connection of the process that still uses it.
    void close(bool reset = true);
    // True while the connection is open and the bridge board attached.
    bool attached() const;
    // Why an open of the named bridge ("i2cdev:/dev/i2c-1", "usb"...) found no board, as errno
    // and text: ENOENT for an adapter node that is not there, EACCES for one the user may not
    // open, EOPNOTSUPP for a node that is no usable adapter, else ENODEV ("no bridge board
    // attached").
    struct OpenFailure {
        int errnoValue;
        std::string text;
    };
    OpenFailure whyNotOpen(const std::string& bridge);
    // The same for any board link: velmorix-script's, whose link belongs to its application.
    static OpenFailure whyNotOpen(board::BoardLink& link, const std::string& bridge);
    // Sends any bridge command (bridgeproto's codec) and reads its reply: byte 0 as the count,
    // the rest as data. The calls below are this for the commands they name; a new kind of
    // packet needs no call of its own here.
    Exchange exchange(const bridgeproto::Command& command);
    // The communication test's exchange: a one-byte read of register 02; answered when count = 1.
    Exchange probe(std::uint8_t writeAddress);
    // Reads `count` bytes (1 to 255) after writing the register bytes (none: a plain read); a full
    // read has count = `count`.
    Exchange read(std::uint8_t writeAddress, const std::vector<std::uint8_t>& reg, int count);
    // Writes the bytes from the register on; a full write has count = 1 + register bytes + data.
    Exchange write(std::uint8_t writeAddress, const std::vector<std::uint8_t>& reg,
                   const std::vector<std::uint8_t>& data);
    // Sends the GPIO state as the GPIO panel keeps it (enables B, enables C and LEDs, data B,
    // data C and LEDs) and reads the ports back.
    GpioExchange gpio(const std::array<std::uint8_t, 4>& state);
    // What a Linux adapter's own block transfer gave: the status of WDU_I2cDevBlockTransfer, the
    // adapter's errno (0 unless the adapter refused it) and the bytes the target sent after its
    // count.
    struct BlockExchange {
        std::uint32_t status = 0;
        int errnoValue = 0;
        std::vector<std::uint8_t> data;
        bool transferred() const { return status == 0; }
    };
    // With a Linux adapter as the bridge: an SMBus block read of the command byte (out empty) or
    // a block process call writing out (1 to 32 bytes), which the bridge's packets cannot carry;
    // the bus observers see the messages it put on the bus. WD_I2CDEV_NOT_AN_ADAPTER on another
    // bridge.
    BlockExchange blockTransfer(std::uint8_t writeAddress, std::uint8_t command,
                                const std::vector<std::uint8_t>& out);
    // With a Linux adapter as the bridge: its I2C_FUNCS bits and its node's descriptor (not to be
    // closed); the status of WDU_I2cDevAdapter.
    std::uint32_t adapter(std::uint32_t& functions, int& fd) const;
    // Tells the observer of every I2C transaction from now on (see BoardLink::addBusObserver).
    void addBusObserver(board::BusObserver& observer) { link_.addBusObserver(observer); }
    // Stops telling the observer; harmless when it is not there.
    void removeBusObserver(board::BusObserver& observer) { link_.removeBusObserver(observer); }
    // The USB layer's text for a status.
    std::string statusText(std::uint32_t status);

    // Addresses 0x00-0x07 and 0x78-0x7F (7-bit) are reserved by the I2C bus; detection skips
    // them unless asked.
    static bool isReservedAddress(std::uint8_t address7);

  private:
    board::StandaloneMainWindow window_;
    board::BoardLink link_;
};

}  // namespace client
