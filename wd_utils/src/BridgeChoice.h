// Which bridge board the layer talks to: the simulated board, the real one through libusb, or a
// Linux I2C adapter standing in for it. The only place where the text naming the bridge ("usb",
// "sim", "sim:FILE", "i2cdev:PATH") is read.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "Backend.h"

namespace bridgesim {
class Board;
}

namespace wdu {

struct BridgeChoice {
    // Why "usb" is refused by a build without the libusb backend (a Windows build without libusb).
    static constexpr const char* kNoUsbBackend =
        "\"usb\" is not available: this build has no USB backend (built without libusb); use "
        "sim or sim:FILE";

    // The board of the simulation; nullptr chooses the real board through libusb.
    std::shared_ptr<bridgesim::Board> simulatedBoard;
    // The node of a Linux I2C adapter (i2cdev:PATH); empty otherwise.
    std::string i2cdevNode{};
    // Set once the adapter's first GPIO command said why GPIO fails: shared by every backend
    // started on this choice, so that the explanation comes once however often it restarts.
    std::shared_ptr<std::atomic<bool>> i2cdevGpioExplained{};

    // Reads text ("usb", "sim", "sim:FILE" reading the file at once, or "i2cdev:PATH", whose
    // node may appear later); nullptr reads VELMORIX_BRIDGE, and an empty or unset text means usb
    // (refused with WD_BACKEND_ERROR by a build without the USB backend). Fails with
    // WD_BAD_SIMULATION or
    // WD_BACKEND_ERROR and the reason (the file, its key and the problem) in error.
    static std::uint32_t parse(const char* text, BridgeChoice& choice, std::string& error);
    // A new, not yet started backend on the chosen board; nullptr only for the real board in a
    // build without the USB backend.
    std::shared_ptr<Backend> makeBackend() const;
};

}  // namespace wdu
