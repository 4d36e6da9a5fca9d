// What a bridge has beside its I2C bus: the two GPIO ports and the direct-write port.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace bridgeproto {

class BridgePorts {
  public:
    virtual ~BridgePorts() = default;

    // Sets the fields present, in packet order: data B, data C, enables B, enables C.
    virtual void setGpio(std::span<const std::uint8_t> fields) = 0;
    // The first bytes of the GPIO reply: pins B, pins C, enables B, enables C.
    virtual std::array<std::uint8_t, 4> gpioStatus() const = 0;
    // A direct write of value to an address 0..127.
    virtual void directWrite(std::uint8_t address, std::uint8_t value) = 0;
};

}  // namespace bridgeproto
