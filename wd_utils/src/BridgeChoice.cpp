#include "BridgeChoice.h"

#include <cstdlib>

#if defined(__linux__)
#include "I2cDevBackend.h"
#endif
#include "SimBackend.h"
#include "bridgesim/Board.h"
#if !defined(VELMORIX_NO_USB_BACKEND)
#include "UsbBackend.h"
#endif

namespace wdu {

std::uint32_t BridgeChoice::parse(const char* text, BridgeChoice& choice, std::string& error) {
    // A reason names where the text came from, so that a stale environment variable is found.
    const char* origin = "bridge";
    if (text == nullptr) {
        origin = "VELMORIX_BRIDGE";
        text = std::getenv("VELMORIX_BRIDGE");
    }
    const std::string name = text != nullptr ? text : "";
    if (name.empty() || name == "usb") {
#if defined(VELMORIX_NO_USB_BACKEND)
        error = std::string(origin) + ": " + kNoUsbBackend;
        return WD_BACKEND_ERROR;
#else
        choice.simulatedBoard.reset();
        return WD_STATUS_SUCCESS;
#endif
    }
    if (name == "sim") {
        choice.simulatedBoard = bridgesim::Board::builtIn();
        return WD_STATUS_SUCCESS;
    }
    if (name.rfind("sim:", 0) == 0) {
        const std::string path = name.substr(4);
        if (path.empty()) {
            error = std::string(origin) + ": \"sim:\" needs a simulation file name after the colon";
            return WD_BAD_SIMULATION;
        }
        std::shared_ptr<bridgesim::Board> board = bridgesim::Board::fromFile(path, error);
        if (!board) {
            return WD_BAD_SIMULATION;
        }
        choice.simulatedBoard = std::move(board);
        return WD_STATUS_SUCCESS;
    }
    if (name.rfind("i2cdev:", 0) == 0) {
        choice.simulatedBoard.reset();
        choice.i2cdevNode = name.substr(7);
        choice.i2cdevGpioExplained = std::make_shared<std::atomic<bool>>(false);
#if defined(__linux__)
        if (choice.i2cdevNode.empty()) {
            error = std::string(origin) +
                    ": \"i2cdev:\" needs the adapter's node after the colon, as in "
                    "i2cdev:/dev/i2c-1";
            return WD_BACKEND_ERROR;
        }
        return WD_STATUS_SUCCESS;
#else
        error = std::string(origin) + ": i2cdev bridges exist only on Linux";
        return WD_BACKEND_ERROR;
#endif
    }
    error = std::string(origin) + ": unknown value \"" + name +
            "\" (use usb, sim, sim:FILE or i2cdev:PATH)";
    return WD_BACKEND_ERROR;
}

std::shared_ptr<Backend> BridgeChoice::makeBackend() const {
    if (simulatedBoard) {
        return std::make_shared<SimBackend>(simulatedBoard);
    }
#if defined(__linux__)
    if (!i2cdevNode.empty()) {
        return std::make_shared<I2cDevBackend>(i2cdevNode, i2cdevGpioExplained);
    }
#endif
#if defined(VELMORIX_NO_USB_BACKEND)
    return nullptr;
#else
    return std::make_shared<UsbBackend>();
#endif
}

}  // namespace wdu
