#include "BridgeChoice.h"

#include <cstdlib>

#if defined(__linux__)
#include "I2cDevBackend.h"
#endif
#include "SimBackend.h"
#include "bridgesim/Board.h"
#include "bridgesim/MapTarget.h"
#if !defined(VELMORIX_NO_USB_BACKEND)
#include "UsbBackend.h"
#endif

namespace wdu {

namespace {

// The forms a text may take in this build, in the order help texts list them.
constexpr const char* kForms[] = {
#if !defined(VELMORIX_NO_USB_BACKEND)
    "usb",
#endif
    "sim",
    "sim:FILE",
#if defined(__linux__)
    "i2cdev:PATH",
#endif
};

// "usb, sim, sim:FILE or i2cdev:PATH": the forms for a sentence.
std::string formsSentence() {
    std::string text;
    const std::size_t count = std::size(kForms);
    for (std::size_t i = 0; i < count; ++i) {
        text += i == 0 ? "" : (i + 1 == count ? " or " : ", ");
        text += kForms[i];
    }
    return text;
}

}  // namespace

std::variant<BridgeChoice, BridgeRefusal> BridgeChoice::parse(const char* text) {
    // A reason names where the text came from, so that a stale environment variable is found.
    std::string origin = "bridge";
    if (text == nullptr) {
        origin = "VELMORIX_BRIDGE";
        text = std::getenv("VELMORIX_BRIDGE");
    }
    const std::string name = text != nullptr ? text : "";
    if (name.empty() || name == "usb") {
#if defined(VELMORIX_NO_USB_BACKEND)
        return BridgeRefusal{WD_BACKEND_ERROR, origin + ": " + kNoUsbBackend};
#else
        return BridgeChoice{UsbBridge{}};
#endif
    }
    if (name == "sim") {
        return BridgeChoice{SimBridge{bridgesim::Board::builtIn()}};
    }
    if (name.rfind("sim:", 0) == 0) {
        const std::string path = name.substr(4);
        if (path.empty()) {
            return BridgeRefusal{
                WD_BAD_SIMULATION,
                origin + ": \"sim:\" needs a simulation file name after the colon"};
        }
        std::string error;
        bridgesim::installMapReader();
        std::shared_ptr<bridgesim::Board> board = bridgesim::Board::fromFile(path, error);
        if (!board) {
            return BridgeRefusal{WD_BAD_SIMULATION, error};
        }
        return BridgeChoice{SimBridge{std::move(board)}};
    }
    if (name.rfind("i2cdev:", 0) == 0) {
#if defined(__linux__)
        if (name.size() == 7) {
            return BridgeRefusal{WD_BACKEND_ERROR,
                                 origin +
                                     ": \"i2cdev:\" needs the adapter's node after the colon, as "
                                     "in i2cdev:/dev/i2c-1"};
        }
        return BridgeChoice{I2cDevBridge{name.substr(7)}};
#else
        return BridgeRefusal{WD_BACKEND_ERROR, origin + ": i2cdev bridges exist only on Linux"};
#endif
    }
    return BridgeRefusal{WD_BACKEND_ERROR,
                         origin + ": unknown value \"" + name + "\" (use " + formsSentence() + ")"};
}

std::string BridgeChoice::forms(const char* separator) {
    std::string text;
    for (const char* form : kForms) {
        text += (text.empty() ? "" : separator);
        text += form;
    }
    return text;
}

std::shared_ptr<Backend> BridgeChoice::makeBackend() const {
    if (const auto* sim = std::get_if<SimBridge>(&bridge)) {
        return std::make_shared<SimBackend>(sim->board);
    }
#if defined(__linux__)
    if (const auto* i2cdev = std::get_if<I2cDevBridge>(&bridge)) {
        return std::make_shared<I2cDevBackend>(i2cdev->node, i2cdev->gpioExplained);
    }
#endif
#if defined(VELMORIX_NO_USB_BACKEND)
    return nullptr;
#else
    return std::make_shared<UsbBackend>();
#endif
}

std::shared_ptr<bridgesim::Board> BridgeChoice::simulatedBoard() const {
    const auto* sim = std::get_if<SimBridge>(&bridge);
    return sim != nullptr ? sim->board : nullptr;
}

}  // namespace wdu
