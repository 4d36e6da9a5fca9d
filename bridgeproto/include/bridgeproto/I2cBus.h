// The I2C bus beneath the bridge's packet interpreter. Transactions use the program's 8-bit
// addresses (the 7-bit target address in bits 7 to 1); a bus turns them into whatever its
// adapter wants. A target that does not answer is not a failure: the count says 0.
#pragma once

#include <cstdint>
#include <span>

namespace bridgeproto {

enum class BusStatus : std::uint8_t {
    Ok,               // the transaction ran; the count says how far
    TimedOut,         // the adapter gave up waiting (a target held the clock low)
    ArbitrationLost,  // another master took the bus
    Gone,             // the adapter went away
    Failed,           // the adapter refused the transaction
    Busy,             // a kernel driver holds the address (and nobody forced it)
    Unsupported,      // the adapter cannot carry a transaction of this shape
};

struct BusResult {
    BusStatus status = BusStatus::Ok;
    std::uint32_t count = 0;
};

class I2cBus {
  public:
    virtual ~I2cBus() = default;

    // Writes bytes after the address byte; count = bytes acknowledged, the address byte included
    // (0 when nobody answered).
    virtual BusResult write(std::uint8_t address, std::span<const std::uint8_t> bytes) = 0;
    // Writes bytes (skipped when empty), then after a repeated start reads in.size() bytes;
    // count = bytes read (0 when nobody answered).
    virtual BusResult writeRead(std::uint8_t address, std::span<const std::uint8_t> bytes,
                                std::span<std::uint8_t> in) = 0;
};

}  // namespace bridgeproto
