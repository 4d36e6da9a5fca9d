// Texts of the layer's status codes, for VB_Stat2Str.
#include "wd_utils.h"

extern "C" WDU_API const char* VB_Stat2Str(uint32_t dwStatus) {
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
            return "USB backend error";
        case WD_BAD_SIMULATION:
            return "Bad simulation file";
        case WD_OPERATION_FAILED:
            return "Operation failed";
        default:
            return "Unknown status";
    }
}
