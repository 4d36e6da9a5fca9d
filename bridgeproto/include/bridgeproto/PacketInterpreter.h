// The bridge's side of the command packets: which endpoint takes what, how the count bytes are
// read, and the replies. I2C commands become transactions on an I2cBus; GPIO and direct-write
// commands go to the bridge's ports, when it has any.
//
// A command's reply is held on its IN endpoint and taken by the next read there; a newer command
// replaces a reply nobody read. An I2C command always leaves a reply, even when nothing on the bus
// answered or the bus failed (count 0), so the program reads a failure from the count byte. The
// count a bus reports is never trusted beyond what the command asked for (an adapter's kernel
// driver may claim more): the reply holds at most that.
// Not thread-safe: its owner locks.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "bridgeproto/BridgeIds.h"
#include "bridgeproto/BridgePorts.h"
#include "bridgeproto/Codec.h"
#include "bridgeproto/I2cBus.h"

namespace bridgeproto {

enum class PacketStatus : std::uint8_t {
    Ok,
    Stall,               // no such endpoint, or the direction does not match it
    NoReply,             // a read with no reply held
    NoPorts,             // a GPIO or direct-write endpoint on a bridge without them
    BusTimedOut,         // the I2C transaction timed out (a zero-count reply is held)
    BusArbitrationLost,  // another master took the bus (a zero-count reply is held)
    BusFailed,           // the adapter refused the transaction (a zero-count reply is held)
    BusGone,             // the adapter went away
    BusBusy,             // a kernel driver holds the address (a zero-count reply is held)
    BusUnsupported,      // the adapter cannot carry this shape (a zero-count reply is held)
};

class PacketInterpreter {
  public:
    static constexpr std::uint8_t kGpioOut = kGpioOutEndpoint;
    static constexpr std::uint8_t kI2cOut = kI2cOutEndpoint;
    static constexpr std::uint8_t kDirectOut = kDirectOutEndpoint;
    static constexpr std::uint8_t kGpioIn = kGpioInEndpoint;
    static constexpr std::uint8_t kI2cIn = kI2cInEndpoint;

    // ports may be nullptr: a bridge with an I2C bus only.
    PacketInterpreter(I2cBus& bus, BridgePorts* ports);

    // True for an endpoint of the bridge's table in the given direction.
    static bool endpointServes(std::uint8_t endpoint, bool read);
    // True for the GPIO and direct-write endpoints.
    static bool isPortEndpoint(std::uint8_t endpoint);

    // Carries out a command written to an OUT endpoint.
    PacketStatus command(std::uint8_t endpoint, std::span<const std::uint8_t> bytes);
    // True when a reply waits on an IN endpoint.
    bool replyHeld(std::uint8_t inEndpoint) const;
    // Takes the held reply into buffer; a shorter buffer drops the rest, a longer one ends short.
    PacketStatus reply(std::uint8_t inEndpoint, std::span<std::uint8_t> buffer,
                       std::uint32_t& moved);
    // Forgets every reply nobody read (a reset or a detach).
    void dropReplies();
    // Every later reply is this many bytes shorter (a fault of the simulation).
    void setShortReply(std::uint32_t bytesFewer) { shortReply_ = bytesFewer; }

  private:
    struct Reply {
        std::array<std::uint8_t, kI2cReplyCapacity> bytes{};
        std::uint32_t length = 0;
        bool held = false;
    };

    PacketStatus i2cCommand(std::span<const std::uint8_t> bytes);
    void hold(Reply& slot, std::span<const std::uint8_t> bytes);
    Reply& slotOf(std::uint8_t inEndpoint) {
        return inEndpoint == kGpioIn ? gpioReply_ : i2cReply_;
    }

    I2cBus& bus_;
    BridgePorts* ports_;
    Reply gpioReply_, i2cReply_;
    std::uint32_t shortReply_ = 0;
};

}  // namespace bridgeproto
