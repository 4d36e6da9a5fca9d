#include "board/I2cAddress.h"

#include "board/HexText.h"

namespace board {

I2cAddress I2cAddress::ofText(std::string_view text) {
    return I2cAddress(static_cast<std::uint8_t>(static_cast<std::uint16_t>(HexVal(text)) & 0xFF));
}

std::optional<I2cAddress> I2cAddress::parse(std::string_view text) {
    const auto value = HexValChecked(text);
    if (!isHexText(text) || !value || *value < 0 || *value > 0xFF) {
        return std::nullopt;
    }
    return I2cAddress(static_cast<std::uint8_t>(*value));
}

std::optional<I2cAddress> I2cAddress::withReadAddress(std::string_view text) {
    const auto value = HexValChecked(text);
    if (!value || *value < 0 || *value >= 0xFF) {
        return std::nullopt;
    }
    return I2cAddress(static_cast<std::uint8_t>(*value));
}

std::string I2cAddress::text() const {
    return HexByteText(write_);
}

}  // namespace board
