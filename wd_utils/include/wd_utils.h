/* The USB toolkit layer: device matching, attach/detach notification, interface selection and
 * bulk transfers for the bridge board. C ABI, so that any caller can load it. Handles are 32-bit
 * ids checked against a table; a stale or unknown handle gives WD_INVALID_HANDLE, never a crash,
 * and one whose device left gives WD_DEVICE_GONE, also after its registration ended.
 * The backend (libusb, the simulated bridge board or, on Linux, a kernel I2C adapter) is named by
 * the front end with WDU_SelectBridge: "usb", "sim" (the built-in board), "sim:FILE" (a
 * simulation file) or "i2cdev:PATH" (an adapter such as /dev/i2c-1). Without that call, the first
 * WDU_Init / WDU_VB_Init chooses from the environment variable VELMORIX_BRIDGE in the same forms,
 * unset meaning "usb".
 * WDU_BridgeForms lists the forms this build accepts. */
#ifndef VELMORIX_WD_UTILS_H
#define VELMORIX_WD_UTILS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define WDU_API __declspec(dllexport)
#else
#define WDU_API __attribute__((visibility("default")))
#endif

typedef uint32_t WDU_DRIVER_HANDLE;
typedef uint32_t WDU_DEVICE_HANDLE;

/* Status codes: 0 is success, everything else an error with a text from VB_Stat2Str. */
enum {
    WD_STATUS_SUCCESS = 0,
    WD_INVALID_HANDLE = 0x20000001u,
    WD_INVALID_PARAMETER = 0x20000002u,
    WD_DEVICE_NOT_FOUND = 0x20000003u,
    WD_TIME_OUT_EXPIRED = 0x20000004u,
    WD_STALL = 0x20000005u,
    WD_DEVICE_GONE = 0x20000006u,
    WD_NO_ENDPOINT = 0x20000007u,
    WD_INTERFACE_SELECT_FAILED = 0x20000008u,
    WD_REGISTRATION_FAILED = 0x20000009u,
    WD_ALREADY_INITIALIZED = 0x2000000Au,
    WD_BACKEND_ERROR = 0x2000000Bu,
    WD_BAD_SIMULATION = 0x2000000Cu,
    WD_OPERATION_FAILED = 0x2000000Du,
    WD_ACCESS_DENIED = 0x2000000Eu /* the device node may not be opened by this user */
};

/* One match-table entry; 0 in a class field means any. */
typedef struct {
    uint16_t wVendorId;
    uint16_t wProductId;
    uint8_t bDeviceClass;
    uint8_t bDeviceSubClass;
    uint8_t bInterfaceClass;
    uint8_t bInterfaceSubClass;
    uint8_t bInterfaceProtocol;
} WDU_MATCH_TABLE;

/* What the attach handler and WDU_GetDeviceInfo report about a device. */
typedef struct {
    uint16_t wVendorId;
    uint16_t wProductId;
    uint32_t dwInterfaceNum;     /* number of the first interface */
    uint32_t dwAlternateSetting; /* its active alternate setting */
    uint32_t dwNumEndpoints;     /* endpoints of that setting, the default pipe not counted */
} WDU_DEVICE;

/* Attach handler: nonzero takes the device, zero declines it. */
typedef int (*WDU_ATTACH_CALLBACK)(WDU_DEVICE_HANDLE hDevice, const WDU_DEVICE* pDeviceInfo,
                                   void* pUserData);
typedef void (*WDU_DETACH_CALLBACK)(WDU_DEVICE_HANDLE hDevice, void* pUserData);
typedef int (*WDU_POWER_CHANGE_CALLBACK)(WDU_DEVICE_HANDLE hDevice, uint32_t dwPowerState,
                                         void* pUserData);

typedef struct {
    WDU_ATTACH_CALLBACK pfDeviceAttach;
    WDU_DETACH_CALLBACK pfDeviceDetach;
    WDU_POWER_CHANGE_CALLBACK pfPowerChange; /* may be NULL */
    void* pUserData;
} WDU_EVENT_TABLE;

/* Names the bridge for the following registrations and starts it at once: "usb", "sim",
 * "sim:FILE" or (on Linux) "i2cdev:PATH" for a kernel I2C adapter; NULL means VELMORIX_BRIDGE, and
 * "usb" when that is unset. A simulation file is read here, so a bad one fails here:
 * WD_BAD_SIMULATION, or WD_BACKEND_ERROR for a text naming no bridge, each with a VB_Stat2Str text
 * and a WDU_BridgeError reason saying why. While a registration is open it is refused with
 * WD_ALREADY_INITIALIZED. A refused call, or a bad text or file, leaves the bridge in force as it
 * was. */
WDU_API uint32_t WDU_SelectBridge(const char* pcBridge);
/* Why the last choice of the bridge failed (the simulation file, its key and the problem, or the
 * text not understood); "" when the bridge in force was chosen without fault. Never NULL; the text
 * stays valid for the rest of the run. */
WDU_API const char* WDU_BridgeError(void);
/* The forms WDU_SelectBridge accepts in this build, joined by '|': "usb|sim|sim:FILE|i2cdev:PATH"
 * on Linux. The only list of them, for help and completion texts. Never NULL; never fails. */
WDU_API const char* WDU_BridgeForms(void);
/* With a Linux adapter ("i2cdev:PATH") as the bridge: nonzero lets transfers reach addresses a
 * kernel driver holds (I2C_SLAVE_FORCE, i2c-tools' -f); 0, the default, fails them with
 * WD_I2CDEV_ADDRESS_BUSY. Takes effect at the next transfer; no effect on other bridges. */
WDU_API void WDU_I2cDevForce(int force);
/* With a Linux adapter as the bridge: the I2C_FUNCS bits of hDevice's adapter in *pdwFunctions and
 * the descriptor of its open node in *piFd, to be used and never closed by the caller (it ends
 * with the attachment). Another bridge gives WD_I2CDEV_NOT_AN_ADAPTER; a stale handle the status
 * WDU_Transfer would give. */
WDU_API uint32_t WDU_I2cDevAdapter(WDU_DEVICE_HANDLE hDevice, uint32_t* pdwFunctions, int* piFd);
/* With a Linux adapter as the bridge: one SMBus transfer whose read length the target sends first,
 * which the bridge's packets cannot carry, to the 7-bit bAddress. dwOutLength 0 is a block read
 * of bCommand (I2C_SMBUS_BLOCK_DATA); 1 to 32 bytes of pOut a block process call
 * (I2C_SMBUS_BLOCK_PROC_CALL). pIn (32 bytes) gets the bytes the target sent after its count,
 * *pdwInLength how many. Fails with WD_I2CDEV_SHAPE_UNSUPPORTED when the adapter does not offer
 * the transfer, WD_I2CDEV_NOT_AN_ADAPTER on another bridge, WD_I2CDEV_ADAPTER_ERROR when the
 * adapter refused it (an absent target, a count out of range) and the statuses of WDU_Transfer
 * otherwise; *piErrno gets the adapter's errno (0 when the ioctl was not refused by it). Goes
 * past the transfer trace, which sees packets only. */
WDU_API uint32_t WDU_I2cDevBlockTransfer(WDU_DEVICE_HANDLE hDevice, uint8_t bAddress,
                                         uint8_t bCommand, const uint8_t* pOut,
                                         uint32_t dwOutLength, uint8_t* pIn, uint32_t* pdwInLength,
                                         int* piErrno);

/* Registers for matching devices; attach/detach handlers run on the layer's own event thread.
 * Fails with a status and *phDriver = 0; more than 1024 match tables is WD_INVALID_PARAMETER.
 * Driver and device handles are never 0 and never above 0x7FFFFFFF. */
WDU_API uint32_t WDU_Init(WDU_DRIVER_HANDLE* phDriver, const WDU_MATCH_TABLE* pMatchTables,
                          uint32_t dwNumMatchTables, const WDU_EVENT_TABLE* pEventTable,
                          uint32_t dwOptions);
/* Ends a WDU_Init registration; no handler runs after it returns. Unknown handles are ignored.
 * The last registration to end (of either kind) stops the layer's threads and lets go of the
 * board, so that another process may claim it; the next registration starts them again. */
WDU_API void WDU_Uninit(WDU_DRIVER_HANDLE hDriver);

/* Registers like WDU_Init, but attach/detach events are queued and delivered only by
 * WDU_VB_PumpEvents on the caller's thread. hWnd is recorded and not otherwise used. */
WDU_API uint32_t WDU_VB_Init(WDU_DRIVER_HANDLE* phDriver, const WDU_MATCH_TABLE* pMatchTables,
                             uint32_t dwNumMatchTables, const WDU_EVENT_TABLE* pEventTable,
                             uint32_t dwOptions, uintptr_t hWnd);
/* Ends a WDU_VB_Init registration and drops its queued events, as WDU_Uninit does for its own
 * kind (the last one stops the layer's threads and lets go of the board). Unknown handles are
 * ignored. */
WDU_API void WDU_VB_Uninit(WDU_DRIVER_HANDLE hDriver);
/* Delivers the queued attach/detach events of all WDU_VB_Init registrations on this thread;
 * returns how many were delivered. Cheap when nothing is queued. */
WDU_API int WDU_VB_PumpEvents(void);

/* Selects an alternate setting of an interface of an attached device. */
WDU_API uint32_t WDU_SetInterface(WDU_DEVICE_HANDLE hDevice, uint32_t dwInterfaceNum,
                                  uint32_t dwAlternateSetting);
/* Fills *pDeviceInfo for an attached device; WD_INVALID_HANDLE for a stale or unknown one. */
WDU_API uint32_t WDU_GetDeviceInfo(WDU_DEVICE_HANDLE hDevice, WDU_DEVICE* pDeviceInfo);
/* Bulk transfer on an endpoint address (IN = number + 0x80); fRead 1 = device to host. A read
 * that ends short is a success; *pdwBytesTransferred tells how many bytes moved. */
WDU_API uint32_t WDU_Transfer(WDU_DEVICE_HANDLE hDevice, uint32_t dwPipeNum, uint32_t fRead,
                              uint32_t dwOptions, void* pBuffer, uint32_t dwBufferSize,
                              uint32_t* pdwBytesTransferred, const uint8_t* pSetupPacket,
                              uint32_t dwTimeout);
/* Resets an attached device; the result is informational. */
WDU_API uint32_t WDU_ResetDevice(WDU_DEVICE_HANDLE hDevice, uint32_t dwOptions);

/* Called after every WDU_Transfer with the endpoint, the direction, the bytes moved (for a
 * write: the bytes sent) and the status. */
typedef void (*WDU_TRANSFER_TRACE)(uint32_t dwPipeNum, uint32_t fRead, const uint8_t* pBytes,
                                   uint32_t dwLength, uint32_t dwStatus, void* pUserData);
/* Installs a trace of every transfer (NULL removes it); for diagnostics such as --trace. The
 * callback and its user data change together: a transfer calls the old pair or the new one. On
 * return no call of the old callback is still running on another thread, so its user data may be
 * freed (called from inside the callback, it returns at once). */
WDU_API void WDU_SetTransferTrace(WDU_TRANSFER_TRACE pfTrace, void* pUserData);

/* A constant NUL-terminated text naming a status; never NULL. */
WDU_API const char* VB_Stat2Str(uint32_t dwStatus);

#ifdef __cplusplus
}
#endif

#endif
