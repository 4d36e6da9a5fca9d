// Kestrow: lets a caller in any language register with the USB toolkit and end that
// registration by two plain exports. It holds no state and checks nothing.
#include <cstdint>

#include "wd_utils.h"

#if defined(_WIN32)
// Kestrow.def alone exports the two functions, undecorated and at ordinals 1 and 2, so that no
// decorated stdcall name (_USB_INIT@20) can be exported beside them.
#define KESTROW_API extern "C"
#define KESTROW_CALL __stdcall
#include <windows.h>
#else
#define KESTROW_API extern "C" __attribute__((visibility("default")))
#define KESTROW_CALL
#endif

// Registers with the toolkit; returns WDU_Init's status unchanged (0 = success).
KESTROW_API uint32_t KESTROW_CALL USB_INIT(WDU_DRIVER_HANDLE* phDriver,
                                           const WDU_MATCH_TABLE* pMatchTables,
                                           uint32_t dwNumMatchTables,
                                           const WDU_EVENT_TABLE* pEventTable, uint32_t dwOptions) {
    return WDU_Init(phDriver, pMatchTables, dwNumMatchTables, pEventTable, dwOptions);
}

// Ends a registration made by USB_INIT; an unknown handle is ignored by the toolkit.
KESTROW_API void KESTROW_CALL USB_UNINIT(WDU_DRIVER_HANDLE hDriver) {
    WDU_Uninit(hDriver);
}

#if defined(_WIN32)
// Load, unload and thread notifications need no work.
BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
#endif
