// The C entry points of the USB toolkit layer and its C++ test interface; all work is done by
// UsbLayer.
#include "wd_utils.h"
#include "UsbLayer.h"
#include "wdu_sim.h"

#include <atomic>

namespace {
std::atomic<WDU_TRANSFER_TRACE> g_trace{nullptr};
std::atomic<void*> g_traceUser{nullptr};
}  // namespace

extern "C" {

WDU_API uint32_t WDU_SelectBridge(const char* pcBridge) {
    return wdu::UsbLayer::instance().selectBridge(pcBridge);
}

WDU_API const char* WDU_BridgeForms(void) {
    static const std::string forms = wdu::BridgeChoice::forms("|");
    return forms.c_str();
}

WDU_API uint32_t WDU_Init(WDU_DRIVER_HANDLE* phDriver, const WDU_MATCH_TABLE* pMatchTables,
                          uint32_t dwNumMatchTables, const WDU_EVENT_TABLE* pEventTable, uint32_t) {
    return wdu::UsbLayer::instance().init(phDriver, pMatchTables, dwNumMatchTables, pEventTable,
                                          true, 0);
}

WDU_API void WDU_Uninit(WDU_DRIVER_HANDLE hDriver) {
    wdu::UsbLayer::instance().uninit(hDriver);
}

WDU_API uint32_t WDU_VB_Init(WDU_DRIVER_HANDLE* phDriver, const WDU_MATCH_TABLE* pMatchTables,
                             uint32_t dwNumMatchTables, const WDU_EVENT_TABLE* pEventTable,
                             uint32_t, uintptr_t hWnd) {
    return wdu::UsbLayer::instance().init(phDriver, pMatchTables, dwNumMatchTables, pEventTable,
                                          false, hWnd);
}

WDU_API void WDU_VB_Uninit(WDU_DRIVER_HANDLE hDriver) {
    wdu::UsbLayer::instance().uninit(hDriver);
}

WDU_API int WDU_VB_PumpEvents(void) {
    return wdu::UsbLayer::instance().pumpEvents();
}

WDU_API uint32_t WDU_SetInterface(WDU_DEVICE_HANDLE hDevice, uint32_t dwInterfaceNum,
                                  uint32_t dwAlternateSetting) {
    return wdu::UsbLayer::instance().setInterface(hDevice, dwInterfaceNum, dwAlternateSetting);
}

WDU_API uint32_t WDU_GetDeviceInfo(WDU_DEVICE_HANDLE hDevice, WDU_DEVICE* pDeviceInfo) {
    return wdu::UsbLayer::instance().getDeviceInfo(hDevice, pDeviceInfo);
}

WDU_API uint32_t WDU_Transfer(WDU_DEVICE_HANDLE hDevice, uint32_t dwPipeNum, uint32_t fRead,
                              uint32_t, void* pBuffer, uint32_t dwBufferSize,
                              uint32_t* pdwBytesTransferred, const uint8_t*, uint32_t dwTimeout) {
    uint32_t moved = 0;
    uint32_t status = wdu::UsbLayer::instance().transfer(hDevice, dwPipeNum, fRead, pBuffer,
                                                         dwBufferSize, &moved, dwTimeout);
    if (pdwBytesTransferred != nullptr) {
        *pdwBytesTransferred = moved;
    }
    if (WDU_TRANSFER_TRACE trace = g_trace.load()) {
        uint32_t shown = fRead ? moved : dwBufferSize;
        trace(dwPipeNum, fRead, pBuffer != nullptr ? static_cast<const uint8_t*>(pBuffer) : nullptr,
              pBuffer != nullptr ? shown : 0, status, g_traceUser.load());
    }
    return status;
}

WDU_API void WDU_SetTransferTrace(WDU_TRANSFER_TRACE pfTrace, void* pUserData) {
    g_traceUser.store(pUserData);
    g_trace.store(pfTrace);
}

WDU_API uint32_t WDU_ResetDevice(WDU_DEVICE_HANDLE hDevice, uint32_t) {
    return wdu::UsbLayer::instance().resetDevice(hDevice);
}

}  // extern "C"

namespace wdu {

bridgesim::Board* simulatedBoard() {
    return UsbLayer::instance().simulatedBoard();
}

void installSimulatedBoard(std::shared_ptr<bridgesim::Board> board) {
    UsbLayer::instance().installSimulatedBoard(std::move(board));
}

void resetForTests() {
    UsbLayer::instance().resetForTests();
}

void setNextHandleForTests(std::uint32_t next) {
    UsbLayer::instance().setNextHandleForTests(next);
}

}  // namespace wdu
