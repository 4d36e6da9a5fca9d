// Texts of the layer's status codes, for VB_Stat2Str.
#include <string>

#include "BridgeChoice.h"
#include "KeptText.h"
#include "UsbLayer.h"
#include "wd_utils.h"

namespace {

// The fixed text of a status, or "Unknown status".
const char* fixedText(uint32_t dwStatus) {
    switch (dwStatus) {
        case WD_STATUS_SUCCESS:
            return "Success";
        case WD_INVALID_HANDLE:
            return "Invalid handle";
        case WD_INVALID_PARAMETER:
            return "Invalid parameter";
        case WD_DEVICE_NOT_FOUND:
            return "Device not found";
        case WD_TIME_OUT_EXPIRED:
            return "Time-out expired";
        case WD_STALL:
            return "Endpoint stalled";
        case WD_DEVICE_GONE:
            return "Device is no longer attached";
        case WD_NO_ENDPOINT:
            return "No such endpoint";
        case WD_INTERFACE_SELECT_FAILED:
            return "Interface selection failed";
        case WD_REGISTRATION_FAILED:
            return "Driver registration failed";
        case WD_ALREADY_INITIALIZED:
            return "Already initialized";
        case WD_BACKEND_ERROR:
            return "Bridge backend error";
        case WD_BAD_SIMULATION:
            return "Bad simulation file";
        case WD_OPERATION_FAILED:
            return "Operation failed";
        case WD_ACCESS_DENIED:
            return "Access denied to the bridge board's device node";
        default:
            return "Unknown status";
    }
}

}  // namespace

extern "C" WDU_API const char* VB_Stat2Str(uint32_t dwStatus) {
    if (const char* text = wdu::BridgeChoice::statusText(dwStatus)) {
        return text;
    }
    // A backend that could not be chosen says why (the simulation file, its key and the problem),
    // so that a log showing only the status text still names them.
    if (dwStatus == WD_BAD_SIMULATION || dwStatus == WD_BACKEND_ERROR) {
        const std::string reason = wdu::UsbLayer::instance().backendError();
        if (!reason.empty()) {
            return wdu::keptText(std::string(fixedText(dwStatus)) + ": " + reason);
        }
    }
    // The user can fix a refused device node, given its name and what to do.
    if (dwStatus == WD_ACCESS_DENIED) {
        std::string node = wdu::UsbLayer::instance().deniedNode();
        if (node.empty()) {
            node = "the bridge board's device node";
        }
#if defined(_WIN32)
        return wdu::keptText(
            "Access denied to " + node +
            ": bind Windows' WinUSB driver to the board (install "
            "driver\\velmorix-winusb.inf from the program's folder, or use Zadig), "
            "and close any other program that has the board open");
#else
        return wdu::keptText(
            "Access denied to " + node +
            ": install the udev rule 60-velmorix.rules that comes with the program "
            "(the package puts it in /usr/lib/udev/rules.d/), make the user a member "
            "of the plugdev group, then log in again");
#endif
    }
    return fixedText(dwStatus);
}

extern "C" WDU_API const char* WDU_BridgeError(void) {
    return wdu::keptText(wdu::UsbLayer::instance().backendError());
}
