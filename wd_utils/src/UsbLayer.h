// The state behind the WDU_* operations: the backend, the registrations, the device handles and
// the attach/detach events waiting for delivery. One process-wide instance, never destroyed (a
// handler still running on its event thread at exit may outlive static destruction).
//
// The backend and the event thread run only while someone needs them: the last unregistration
// stops and joins them (the libusb backend then lets go of the board), the next registration
// starts them again on the same bridge, and process exit stops whatever still runs.
//
// Locking: mutex_ is never held while a handler runs or while the backend may block or announce
// a change (transfer, start, stop), so handlers and presence listeners can call back in. A fork
// waits for mutex_ and the child starts with it free: never fork while holding it.
// Starting a backend waits until no other start or stop is under way, so that two backends
// never hold the board at once.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "Backend.h"
#include "BridgeChoice.h"
#include "wd_utils.h"

namespace wdu {

class UsbLayer {
  public:
    static UsbLayer& instance();

    // Chooses the bridge for the following registrations and starts it at once; a bad text or
    // simulation file fails with the reason kept for VB_Stat2Str and bridgeError(), and an open
    // registration refuses it with WD_ALREADY_INITIALIZED. Either failure changes nothing else.
    std::uint32_t selectBridge(const char* text);
    std::uint32_t init(WDU_DRIVER_HANDLE* phDriver, const WDU_MATCH_TABLE* matchTables,
                       std::uint32_t numMatchTables, const WDU_EVENT_TABLE* eventTable,
                       bool threaded, std::uintptr_t hWnd);
    void uninit(WDU_DRIVER_HANDLE hDriver);
    // Delivers queued events of the pumped registrations; cheap when none is queued.
    int pumpEvents() {
        return pumpPending_.load(std::memory_order_acquire) == 0 ? 0 : pumpEventsSlow();
    }
    std::uint32_t setInterface(WDU_DEVICE_HANDLE hDevice, std::uint32_t interfaceNum,
                               std::uint32_t alternateSetting);
    std::uint32_t getDeviceInfo(WDU_DEVICE_HANDLE hDevice, WDU_DEVICE* info);
    std::uint32_t transfer(WDU_DEVICE_HANDLE hDevice, std::uint32_t pipe, std::uint32_t fRead,
                           void* buffer, std::uint32_t length, std::uint32_t* moved,
                           std::uint32_t timeoutMs);
    std::uint32_t resetDevice(WDU_DEVICE_HANDLE hDevice);
    // WDU_I2cDevAdapter and WDU_I2cDevBlockTransfer: the device's backend answers them.
    std::uint32_t adapter(WDU_DEVICE_HANDLE hDevice, std::uint32_t& functions, int& fd);
    std::uint32_t blockTransfer(WDU_DEVICE_HANDLE hDevice, std::uint8_t address7,
                                std::uint8_t command, std::span<const std::uint8_t> out,
                                std::span<std::uint8_t> in, std::uint32_t& received, int& error);

    // The test interface (wdu_sim.h), handed to wd_utils_testing only; see wdu_hooks.h.
    bridgesim::Board* simulatedBoard();
    void installSimulatedBoard(std::shared_ptr<bridgesim::Board> board);
    void resetForTests();
    // Stops the backend and the event thread at process exit, without waiting for a handler that
    // does not end; later registrations fail. Does nothing in a forked child, whose threads are
    // the parent's.
    static void stopAtExit();
    void setNextHandleForTests(std::uint32_t next);
    // Why the last choice of the bridge failed; empty when the one in force is good.
    std::string backendError();
    // The device node of the last open refused with WD_ACCESS_DENIED; empty when none was.
    std::string deniedNode();

    // More match-table entries than this are refused as a bad parameter.
    static constexpr std::uint32_t kMaxMatchTables = 1024;

  private:
    struct Registration {
        bool threaded = false;
        std::vector<WDU_MATCH_TABLE> matchTables;
        WDU_EVENT_TABLE events{};
        std::uintptr_t hWnd = 0;
        WDU_DEVICE_HANDLE liveDevice = 0;  // handle of the present attachment, 0 = none
    };
    struct Device {
        WDU_DRIVER_HANDLE registration = 0;
        std::uint64_t serial = 0;
        bool gone = false;             // the attachment ended
        bool attachDelivered = false;  // the attach handler was called (or is running)
        bool accepted = false;         // the attach handler took the device
        bool declined = false;
    };
    struct Event {
        bool attach = true;
        WDU_DRIVER_HANDLE registration = 0;
        WDU_DEVICE_HANDLE device = 0;
    };
    // The handler running now, so that an unregistration can wait for it to end.
    struct RunningHandler {
        WDU_DRIVER_HANDLE registration = 0;
        std::thread::id thread;
    };

    UsbLayer() = default;

    // Fork handlers: the forking thread holds mutex_ across the fork, so the child starts with
    // it free (and with fresh condition variables) whatever the parent's threads were doing.
    static void beforeFork();
    static void afterForkInParent();
    static void afterForkInChild();

    // The running backend, started from the chosen bridge (or VELMORIX_BRIDGE when none was
    // chosen); nullptr with a status when it cannot be had.
    std::shared_ptr<Backend> ensureBackend(std::uint32_t& status);
    // Makes choice the bridge of the next backend and stops the running one. Open registrations
    // lose their device without a detach event.
    void replaceBridgeLocked(std::unique_lock<std::mutex>& lock, BridgeChoice choice);
    // Takes the backend out of the layer for stopBackend(); counts it as stopping.
    std::shared_ptr<Backend> takeBackendLocked();
    // Stops a backend taken out by takeBackendLocked(); call with no lock held.
    void stopBackend(std::shared_ptr<Backend> backend);
    // After the last unregistration: stops the event thread and the backend, unless a handler
    // registered again meanwhile. Returns with lock released.
    void stopWhenIdle(std::unique_lock<std::mutex>& lock);
    // In a forked child: forgets the parent's backend, event thread and registrations, which no
    // thread of this process serves, without touching them.
    void abandonInheritedLocked();
    // A device handle that ended with its registration, kept to tell why it no longer works.
    struct DeadHandle {
        bool detached = false;  // its device had left before the registration ended
        std::uint64_t serial = 0;
        std::uint64_t epoch = 0;  // the backend it was given by
    };
    // Keeps the handle of device, whose registration ends, for the operations tried on it later.
    void buryLocked(WDU_DEVICE_HANDLE handle, const Device& device);
    // True when the device of a dead handle left: detached before its registration ended, or
    // the board it belonged to is not there now.
    bool deviceLeftLocked(const DeadHandle& dead);
    void onPresenceChange(Backend* source);
    // Brings a registration's device handle in line with what the backend sees now.
    void reconcileLocked(WDU_DRIVER_HANDLE id, Registration& reg);
    void reconcileAllLocked();
    // Tells the backend the match tables of all registrations.
    void announceMatchTablesLocked();
    void departLocked(Registration& reg);
    void queueLocked(const Registration& reg, Event event);
    // The backend and device serial an operation on hDevice goes to.
    struct Target {
        std::uint64_t serial = 0;
        std::shared_ptr<Backend> backend;
        std::shared_ptr<bridgesim::Board> simulatedBoard;  // the backend's, if it simulates
    };
    // Resolves hDevice to its target; a status other than success says why there is none.
    std::uint32_t resolve(WDU_DEVICE_HANDLE hDevice, Target& target);
    // Follows up status, returned by target's backend: a device found gone has its detach queued
    // at once, a refused node is kept for VB_Stat2Str. Returns status. Called unlocked.
    std::uint32_t noteStatus(const Target& target, std::uint32_t status);
    // Finds a usable device handle; the status says why not.
    Device* findDeviceLocked(WDU_DEVICE_HANDLE hDevice, std::uint32_t& status);
    WDU_DRIVER_HANDLE newHandleLocked();
    // Delivers the front event of queue: 1 delivered, 0 dropped, -1 queue empty. Called with the
    // lock held, returns with it held; the handler runs unlocked.
    int deliverOneLocked(std::deque<Event>& queue, std::unique_lock<std::mutex>& lock, bool pumped);
    int pumpEventsSlow();
    void eventThreadMain(std::uint64_t generation);
    // Ends the event thread and joins it; a join that would wait for a handler still running
    // after maxWait gives up and leaves the thread to end on its own.
    void stopEventThread(std::unique_lock<std::mutex>& lock,
                         std::chrono::milliseconds maxWait = std::chrono::milliseconds::max());

    std::mutex mutex_;
    std::condition_variable handlerDone_;
    std::condition_variable threadWake_;
    std::shared_ptr<Backend> backend_;
    std::uint64_t backendEpoch_ = 0;  // counts the backends started
    // The board behind backend_ when it is the simulation: the test interface reaches it, and
    // it counts transfers refused on a stale handle.
    std::shared_ptr<bridgesim::Board> simulatedBoard_;
    std::optional<BridgeChoice> chosen_;  // none: VELMORIX_BRIDGE decides at the next start
    std::string backendError_;
    std::string deniedNode_;
    std::unordered_map<WDU_DRIVER_HANDLE, Registration> registrations_;
    std::unordered_map<WDU_DEVICE_HANDLE, Device> devices_;
    static constexpr std::uint32_t kFirstHandle = 0x100;
    static constexpr std::uint32_t kMaxHandle = 0x7FFFFFFF;
    std::uint32_t nextHandle_ = kFirstHandle;
    std::deque<Event> pumpQueue_;
    std::deque<Event> threadQueue_;
    std::atomic<std::size_t> pumpPending_{0};
    bool pumping_ = false;
    std::vector<RunningHandler> running_;
    std::thread eventThread_;
    std::uint64_t eventThreadGeneration_ = 0;  // a thread runs while this matches its own
    int eventThreadsRunning_ = 0;              // event threads still in their loop
    std::condition_variable eventThreadEnded_;
    // Backends being started or stopped outside the lock; a start waits for both to be none.
    bool starting_ = false;
    int stoppingBackends_ = 0;
    std::condition_variable backendsSettled_;
    // The process whose threads run the backend and the event thread; another one (a forked
    // child) must not join or stop them.
    pid_t ownerPid_ = 0;
    bool exiting_ = false;  // the process is exiting: nothing starts again
    // Device handles of ended registrations; bounded, oldest forgotten first.
    std::unordered_map<WDU_DEVICE_HANDLE, DeadHandle> deadHandles_;
    std::deque<WDU_DEVICE_HANDLE> deadOrder_;
    static constexpr std::size_t kMaxDeadHandles = 4096;
};

}  // namespace wdu
