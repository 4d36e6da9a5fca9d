#include "BridgeChoice.h"

#include <atomic>
#include <cstdlib>
#include <string_view>

#include "I2cDevStatusText.h"
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

using Chosen = std::variant<BridgeChoice, BridgeRefusal>;

#if defined(VELMORIX_NO_USB_BACKEND)
constexpr bool kUsb = false;
#else
constexpr bool kUsb = true;
#endif
#if defined(__linux__)
constexpr bool kLinux = true;
#else
constexpr bool kLinux = false;
#endif

Chosen chooseUsb(const std::string&, const std::string&) {
#if defined(VELMORIX_NO_USB_BACKEND)
    return BridgeChoice{};
#else
    return BridgeChoice{[] { return std::make_shared<UsbBackend>(); }, nullptr};
#endif
}

Chosen chooseSim(const std::string&, const std::string&) {
    return BridgeChoice::simulated(bridgesim::Board::builtIn());
}

Chosen chooseSimFile(const std::string& path, const std::string&) {
    std::string error;
    bridgesim::installMapReader();
    std::shared_ptr<bridgesim::Board> board = bridgesim::Board::fromFile(path, error);
    if (!board) {
        return BridgeRefusal{WD_BAD_SIMULATION, error};
    }
    return BridgeChoice::simulated(std::move(board));
}

Chosen chooseI2cDev([[maybe_unused]] const std::string& node, const std::string&) {
#if defined(__linux__)
    // Set once the adapter's first GPIO command said why GPIO fails: shared by every backend
    // started on this choice, so that the explanation comes once however often it restarts.
    auto explained = std::make_shared<std::atomic<bool>>(false);
    return BridgeChoice{
        [node, explained] { return std::make_shared<I2cDevBackend>(node, explained); }, nullptr};
#else
    return BridgeChoice{};
#endif
}

const char* noStatusText(std::uint32_t) {
    return nullptr;
}

// One form of the bridge's text.
struct BridgeForm {
    std::string_view prefix;           // the whole text, or what comes before the argument
    std::string_view form;             // as help texts list it
    bool argument;                     // an argument follows the prefix
    bool available;                    // in this build
    std::uint32_t refusalStatus;       // the status of either refusal below
    std::string_view missingArgument;  // the refusal of an empty argument
    std::string_view unavailable;      // the refusal where the form is not available
    Chosen (*choose)(const std::string& argument, const std::string& origin);
    const char* (*statusText)(std::uint32_t status);
};

// Every form, in the order help texts list them. The empty text means usb.
constexpr BridgeForm kBridgeForms[] = {
    {"usb", "usb", false, kUsb, WD_BACKEND_ERROR, "", BridgeChoice::kNoUsbBackend, chooseUsb,
     noStatusText},
    {"sim", "sim", false, true, WD_BAD_SIMULATION, "", "", chooseSim, noStatusText},
    {"sim:", "sim:FILE", true, true, WD_BAD_SIMULATION,
     "\"sim:\" needs a simulation file name after the colon", "", chooseSimFile, noStatusText},
    {"i2cdev:", "i2cdev:PATH", true, kLinux, WD_BACKEND_ERROR,
     "\"i2cdev:\" needs the adapter's node after the colon, as in i2cdev:/dev/i2c-1",
     "i2cdev bridges exist only on Linux", chooseI2cDev, i2cdevStatusText},
};

bool matches(const BridgeForm& form, std::string_view text) {
    return form.argument ? text.substr(0, form.prefix.size()) == form.prefix : text == form.prefix;
}

// "usb, sim, sim:FILE or i2cdev:PATH": the forms for a sentence.
std::string formsSentence() {
    std::string text;
    std::size_t listed = 0;
    std::size_t count = 0;
    for (const BridgeForm& form : kBridgeForms) {
        count += form.available ? 1 : 0;
    }
    for (const BridgeForm& form : kBridgeForms) {
        if (form.available) {
            text += listed == 0 ? "" : (listed + 1 == count ? " or " : ", ");
            text += form.form;
            ++listed;
        }
    }
    return text;
}

}  // namespace

Chosen BridgeChoice::parse(const char* text) {
    // A reason names where the text came from, so that a stale environment variable is found.
    std::string origin = "bridge";
    if (text == nullptr) {
        origin = "VELMORIX_BRIDGE";
        text = std::getenv("VELMORIX_BRIDGE");
    }
    const std::string name = text != nullptr && text[0] != '\0' ? text : "usb";
    for (const BridgeForm& form : kBridgeForms) {
        if (!matches(form, name)) {
            continue;
        }
        if (!form.available) {
            return BridgeRefusal{form.refusalStatus, origin + ": " + std::string(form.unavailable)};
        }
        const std::string argument = name.substr(form.argument ? form.prefix.size() : name.size());
        if (form.argument && argument.empty()) {
            return BridgeRefusal{form.refusalStatus,
                                 origin + ": " + std::string(form.missingArgument)};
        }
        return form.choose(argument, origin);
    }
    return BridgeRefusal{WD_BACKEND_ERROR,
                         origin + ": unknown value \"" + name + "\" (use " + formsSentence() + ")"};
}

BridgeChoice BridgeChoice::simulated(std::shared_ptr<bridgesim::Board> board) {
    return BridgeChoice{[board] { return std::make_shared<SimBackend>(board); }, board};
}

std::string BridgeChoice::forms(const char* separator) {
    std::string text;
    for (const BridgeForm& form : kBridgeForms) {
        if (form.available) {
            text += (text.empty() ? "" : separator);
            text += form.form;
        }
    }
    return text;
}

const char* BridgeChoice::statusText(std::uint32_t status) {
    for (const BridgeForm& form : kBridgeForms) {
        if (const char* text = form.statusText(status)) {
            return text;
        }
    }
    return nullptr;
}

}  // namespace wdu
