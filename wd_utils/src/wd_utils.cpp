// The C entry points of the USB toolkit layer; all work is done by UsbLayer.
#include "wd_utils.h"
#include "UsbLayer.h"
#if defined(__linux__)
#include "I2cDevBackend.h"
#endif

#if !defined(_WIN32)
#include <pthread.h>
#endif

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>

namespace {

// The transfer trace: the callback and its user data change together, and a change waits until
// no other thread still runs the old callback.
struct TransferTrace {
    std::mutex mutex;
    std::condition_variable idle;
    WDU_TRANSFER_TRACE callback = nullptr;
    void* user = nullptr;
    int running = 0;              // calls under way, on every thread
    std::atomic<bool> on{false};  // a callback is installed: the fast way past it when not
};

TransferTrace g_trace;
thread_local int t_tracesHere = 0;  // calls under way on this thread (a trace inside a trace)

#if !defined(_WIN32)
// A fork: the mutex is held only for moments, never across a callback, so the forking thread
// takes it and the child starts with it free. The calls under way belong to the parent's threads,
// which the child does not have: it starts with none running and no trace installed (the
// installed one writes to the parent's caller), so that its first trace change never waits.
void traceBeforeFork() {
    g_trace.mutex.lock();
}

void traceAfterForkInParent() {
    g_trace.mutex.unlock();
}

void traceAfterForkInChild() {
    new (&g_trace.idle) std::condition_variable();
    g_trace.running = 0;
    g_trace.callback = nullptr;
    g_trace.user = nullptr;
    g_trace.on.store(false, std::memory_order_release);
    g_trace.mutex.unlock();
}

[[maybe_unused]] const int g_traceForkHandlers =
    ::pthread_atfork(traceBeforeFork, traceAfterForkInParent, traceAfterForkInChild);
#endif

void traceTransfer(uint32_t pipe, uint32_t read, const uint8_t* bytes, uint32_t length,
                   uint32_t status) {
    if (!g_trace.on.load(std::memory_order_acquire)) {
        return;
    }
    WDU_TRANSFER_TRACE callback;
    void* user;
    {
        std::lock_guard lock(g_trace.mutex);
        callback = g_trace.callback;
        user = g_trace.user;
        if (callback == nullptr) {
            return;
        }
        ++g_trace.running;
    }
    ++t_tracesHere;
    callback(pipe, read, bytes, length, status, user);
    --t_tracesHere;
    std::lock_guard lock(g_trace.mutex);
    --g_trace.running;
    g_trace.idle.notify_all();
}

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
    const uint32_t shown = fRead ? moved : dwBufferSize;
    traceTransfer(dwPipeNum, fRead,
                  pBuffer != nullptr ? static_cast<const uint8_t*>(pBuffer) : nullptr,
                  pBuffer != nullptr ? shown : 0, status);
    return status;
}

WDU_API void WDU_I2cDevForce(int force) {
#if defined(__linux__)
    wdu::I2cDevBackend::forced().store(force != 0);
#else
    (void)force;
#endif
}

WDU_API uint32_t WDU_I2cDevAdapter(WDU_DEVICE_HANDLE hDevice, uint32_t* pdwFunctions, int* piFd) {
    std::uint32_t functions = 0;
    int fd = -1;
    const std::uint32_t status = wdu::UsbLayer::instance().adapter(hDevice, functions, fd);
    if (pdwFunctions != nullptr) {
        *pdwFunctions = status == WD_STATUS_SUCCESS ? functions : 0;
    }
    if (piFd != nullptr) {
        *piFd = status == WD_STATUS_SUCCESS ? fd : -1;
    }
    return status;
}

WDU_API uint32_t WDU_I2cDevBlockTransfer(WDU_DEVICE_HANDLE hDevice, uint8_t bAddress,
                                         uint8_t bCommand, const uint8_t* pOut,
                                         uint32_t dwOutLength, uint8_t* pIn, uint32_t* pdwInLength,
                                         int* piErrno) {
    std::uint32_t received = 0;
    int error = 0;
    std::uint32_t status = WD_INVALID_PARAMETER;
    if (bAddress <= 0x7F && dwOutLength <= 32 && (pOut != nullptr || dwOutLength == 0) &&
        pIn != nullptr) {
        status = wdu::UsbLayer::instance().blockTransfer(
            hDevice, bAddress, bCommand, std::span<const std::uint8_t>(pOut, dwOutLength),
            std::span<std::uint8_t>(pIn, 32), received, error);
    }
    if (pdwInLength != nullptr) {
        *pdwInLength = received;
    }
    if (piErrno != nullptr) {
        *piErrno = error;
    }
    return status;
}

WDU_API void WDU_SetTransferTrace(WDU_TRANSFER_TRACE pfTrace, void* pUserData) {
    std::unique_lock lock(g_trace.mutex);
    g_trace.callback = pfTrace;
    g_trace.user = pUserData;
    g_trace.on.store(pfTrace != nullptr, std::memory_order_release);
    // From inside a trace the call cannot wait: its own call (and one waiting for it) would
    // never end.
    if (t_tracesHere == 0) {
        g_trace.idle.wait(lock, [] { return g_trace.running == 0; });
    }
}

WDU_API uint32_t WDU_ResetDevice(WDU_DEVICE_HANDLE hDevice, uint32_t) {
    return wdu::UsbLayer::instance().resetDevice(hDevice);
}

}  // extern "C"
