// The I2C device address as every window uses it: the 8-bit write address the console's
// "I2C Addr" box names, its read address and its 7-bit form, and the rules by which a box's text
// names one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace board {

// What a window says when a box's text names no address it can use.
inline constexpr const char* kIllegalI2cAddress = "Illegal I2C Address, re-enter";

class I2cAddress {
  public:
    constexpr I2cAddress() = default;
    constexpr explicit I2cAddress(std::uint8_t writeAddress) : write_(writeAddress) {}

    // The address a click sends for whatever the box holds: the low eight bits of the text's hex
    // value up to its first other character ("1A5" -> A5, "6G" -> 06, "" -> 00).
    static I2cAddress ofText(std::string_view text);
    // The address the text names when it is hex digits only with a value from 00 to FF; nothing
    // otherwise, because an empty or mistyped text would read as 00, the general call.
    static std::optional<I2cAddress> parse(std::string_view text);
    // The address the text's hex value names when it has a read address, 00 to FE; nothing for
    // FF, a negative value or one wider than four digits.
    static std::optional<I2cAddress> withReadAddress(std::string_view text);

    constexpr std::uint8_t write() const { return write_; }
    // One above the write address; FF wraps to 00, as the bridge would send it.
    constexpr std::uint8_t read() const { return static_cast<std::uint8_t>(write_ + 1); }
    constexpr std::uint8_t sevenBit() const { return static_cast<std::uint8_t>(write_ >> 1); }
    // False for an odd address: sent as a write address it would start a read.
    constexpr bool isWriteAddress() const { return (write_ & 1) == 0; }
    // The write address as two upper-case hex digits, as the address boxes show it.
    std::string text() const;

    friend constexpr bool operator==(I2cAddress a, I2cAddress b) { return a.write_ == b.write_; }

  private:
    std::uint8_t write_ = 0;
};

}  // namespace board
