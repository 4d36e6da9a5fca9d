// Which bridge board the layer talks to: the simulated board, the real one through libusb, or a
// Linux I2C adapter standing in for it. The only place where the text naming the bridge ("usb",
// "sim", "sim:FILE", "i2cdev:PATH") is read: one table holds each form with its prefix, its
// argument, where it is available, how its backend is made and the texts of its statuses.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>

#include "Backend.h"

namespace bridgesim {
class Board;
}

namespace wdu {

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

    // Makes a new, not yet started backend on the chosen bridge; empty only for the real board
    // in a build without the USB backend.
    std::function<std::shared_ptr<Backend>()> factory;
    // The chosen simulated board, or nullptr when the bridge is not simulated.
    std::shared_ptr<bridgesim::Board> board;

    // Reads text ("usb", "sim", "sim:FILE" reading the file at once, or "i2cdev:PATH"); nullptr
    // reads VELMORIX_BRIDGE, and an empty or unset text means usb. A text naming nothing this
    // build has, or a bad simulation file, gives the refusal with its reason.
    static std::variant<BridgeChoice, BridgeRefusal> parse(const char* text);
    // The choice of a simulated board already made.
    static BridgeChoice simulated(std::shared_ptr<bridgesim::Board> board);
    // The forms this build accepts, joined by separator ("usb|sim|sim:FILE|i2cdev:PATH").
    static std::string forms(const char* separator);
    // The text of a status only a bridge of this build gives (an adapter's, naming its node),
    // valid for the rest of the run; nullptr for any other status.
    static const char* statusText(std::uint32_t status);

    std::shared_ptr<Backend> makeBackend() const { return factory ? factory() : nullptr; }
    std::shared_ptr<bridgesim::Board> simulatedBoard() const { return board; }
};

}  // namespace wdu
