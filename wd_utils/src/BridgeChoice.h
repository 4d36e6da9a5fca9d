// Which bridge board the layer talks to: the simulated board, the real one through libusb, or a
// Linux I2C adapter standing in for it. The only place where the text naming the bridge ("usb",
// "sim", "sim:FILE", "i2cdev:PATH") is read, and the only list of those forms.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "Backend.h"

namespace bridgesim {
class Board;
}

namespace wdu {

// The real bridge board through libusb.
struct UsbBridge {};

// A simulated board: the built-in one or one read from a simulation file.
struct SimBridge {
    std::shared_ptr<bridgesim::Board> board;
};

// A Linux I2C adapter (i2cdev:PATH); its node may appear later.
struct I2cDevBridge {
    std::string node;
    // Set once the adapter's first GPIO command said why GPIO fails: shared by every backend
    // started on this choice, so that the explanation comes once however often it restarts.
    std::shared_ptr<std::atomic<bool>> gpioExplained = std::make_shared<std::atomic<bool>>(false);
};

// Why a text names no bridge that can be had.
struct BridgeRefusal {
    std::uint32_t status;  // WD_BAD_SIMULATION or WD_BACKEND_ERROR
    std::string reason;    // where the text came from and what is wrong with it
};

struct BridgeChoice {
    // Why "usb" is refused by a build without the libusb backend (a Windows build without libusb).
    static constexpr const char* kNoUsbBackend =
        "\"usb\" is not available: this build has no USB backend (built without libusb); use "
        "sim or sim:FILE";

    std::variant<UsbBridge, SimBridge, I2cDevBridge> bridge;

    // Reads text ("usb", "sim", "sim:FILE" reading the file at once, or "i2cdev:PATH"); nullptr
    // reads VELMORIX_BRIDGE, and an empty or unset text means usb. A text naming nothing this
    // build has, or a bad simulation file, gives the refusal with its reason.
    static std::variant<BridgeChoice, BridgeRefusal> parse(const char* text);
    // The forms this build accepts, joined by separator ("usb|sim|sim:FILE|i2cdev:PATH").
    static std::string forms(const char* separator);
    // A new, not yet started backend on the chosen board; nullptr only for the real board in a
    // build without the USB backend.
    std::shared_ptr<Backend> makeBackend() const;
    // The chosen simulated board, or nullptr when the bridge is not simulated.
    std::shared_ptr<bridgesim::Board> simulatedBoard() const;
};

}  // namespace wdu
