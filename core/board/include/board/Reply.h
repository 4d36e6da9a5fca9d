// What one half of an exchange gives back to its caller, so that no caller has to read the
// program's transfer buffer after the fact.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace board {

struct Reply {
    // WD_STATUS_SUCCESS when the transfer ran and the driver reported success; otherwise the
    // driver's failure, WD_DEVICE_NOT_FOUND when the connection was not open or
    // WD_NO_ENDPOINT when the device has no pipes (neither of those two transfers anything).
    std::uint32_t status = 0;
    // For a receive: the buffer as it stood after the transfer, one byte for each byte asked for,
    // zeros where nothing arrived. For a send: the bytes handed to the driver, none when the
    // transfer did not run.
    std::vector<std::uint8_t> bytes;
    // How many bytes the driver moved (0 when the transfer did not run); a read may end short.
    std::uint32_t transferred = 0;

    // True when the transfer ran and the driver reported success.
    bool ok() const { return status == 0; }
    // The byte at index, 0 past the end: a missing byte reads as a zero-filled reply does.
    std::uint8_t byteAt(std::size_t index) const {
        return index < bytes.size() ? bytes[index] : std::uint8_t{0};
    }
};

}  // namespace board
