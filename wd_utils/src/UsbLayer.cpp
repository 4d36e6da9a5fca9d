#include "UsbLayer.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <new>

#include "bridgesim/Board.h"
#include "wdu_hooks.h"

namespace wdu {

namespace {

std::atomic<UsbLayer*> g_layer{nullptr};

// Stops the layer's threads when the process exits (the library is never unloaded before).
struct StopAtExit {
    ~StopAtExit() { UsbLayer::stopAtExit(); }
} g_stopAtExit;

// How long exit waits for a handler still running on the event thread.
constexpr std::chrono::milliseconds kExitHandlerWait{1000};

// Hands the test interface to wd_utils_testing when the process has it: tests only, since no
// program links it. The layer itself exports none of it.
void offerTestHooks() {
    static constexpr LayerTestHooks kHooks{
        [] { return UsbLayer::instance().simulatedBoard(); },
        [](std::shared_ptr<bridgesim::Board> board) {
            UsbLayer::instance().installSimulatedBoard(std::move(board));
        },
        [] { UsbLayer::instance().resetForTests(); },
        [](std::uint32_t next) { UsbLayer::instance().setNextHandleForTests(next); }};
#if defined(_WIN32)
    const HMODULE testing = ::GetModuleHandleA("wd_utils_testing.dll");
    const auto take = testing == nullptr
                          ? nullptr
                          : reinterpret_cast<WduTakeTestHooks>(reinterpret_cast<void*>(
                                ::GetProcAddress(testing, WDU_TAKE_TEST_HOOKS)));
#else
    const auto take =
        reinterpret_cast<WduTakeTestHooks>(::dlsym(RTLD_DEFAULT, WDU_TAKE_TEST_HOOKS));
#endif
    if (take != nullptr) {
        take(&kHooks);
    }
}

}  // namespace

UsbLayer& UsbLayer::instance() {
    // Never destroyed: the event thread and late callers may still use it during exit.
    static UsbLayer* const layer = [] {
        auto* created = new UsbLayer();
        g_layer.store(created);
#if !defined(_WIN32)
        ::pthread_atfork(&UsbLayer::beforeFork, &UsbLayer::afterForkInParent,
                         &UsbLayer::afterForkInChild);
#endif
        offerTestHooks();
        return created;
    }();
    return *layer;
}

void UsbLayer::beforeFork() {
    // Held across the fork, so that no other thread of the parent holds it in the child.
    g_layer.load()->mutex_.lock();
}

void UsbLayer::afterForkInParent() {
    g_layer.load()->mutex_.unlock();
}

void UsbLayer::afterForkInChild() {
    UsbLayer* layer = g_layer.load();
    // The parent's threads that waited on these do not exist here; waking them would wait for
    // them. Fresh ones replace them (the old ones are left as they are, never destroyed).
    new (&layer->handlerDone_) std::condition_variable();
    new (&layer->threadWake_) std::condition_variable();
    new (&layer->eventThreadEnded_) std::condition_variable();
    new (&layer->backendsSettled_) std::condition_variable();
    layer->mutex_.unlock();
}

void UsbLayer::stopAtExit() {
    UsbLayer* layer = g_layer.load();
    if (layer == nullptr) {
        return;
    }
    std::unique_lock lock(layer->mutex_);
    layer->exiting_ = true;
    if (layer->ownerPid_ != 0 && layer->ownerPid_ != ::getpid()) {
        return;  // a forked child: the threads are the parent's
    }
    layer->registrations_.clear();
    layer->devices_.clear();
    layer->pumpQueue_.clear();
    layer->threadQueue_.clear();
    layer->pumpPending_.store(0, std::memory_order_release);
    layer->stopEventThread(lock, kExitHandlerWait);
    std::shared_ptr<Backend> backend = layer->takeBackendLocked();
    lock.unlock();
    layer->stopBackend(std::move(backend));
}

std::uint32_t UsbLayer::selectBridge(const char* text) {
    {
        std::lock_guard lock(mutex_);
        // A forked child's registrations are the parent's: none is open here.
        abandonInheritedLocked();
        if (!registrations_.empty()) {
            return WD_ALREADY_INITIALIZED;
        }
    }
    // Read unlocked: a simulation file may be slow to read.
    std::variant<BridgeChoice, BridgeRefusal> parsed = BridgeChoice::parse(text);
    if (const auto* refusal = std::get_if<BridgeRefusal>(&parsed)) {
        std::lock_guard lock(mutex_);
        backendError_ = refusal->reason;
        return refusal->status;
    }
    std::unique_lock lock(mutex_);
    if (!registrations_.empty()) {
        return WD_ALREADY_INITIALIZED;  // one was opened while the file was read
    }
    replaceBridgeLocked(lock, std::get<BridgeChoice>(std::move(parsed)));
    lock.unlock();
    std::uint32_t status = WD_STATUS_SUCCESS;
    ensureBackend(status);
    return status;
}

std::uint32_t UsbLayer::init(WDU_DRIVER_HANDLE* phDriver, const WDU_MATCH_TABLE* matchTables,
                             std::uint32_t numMatchTables, const WDU_EVENT_TABLE* eventTable,
                             bool threaded, std::uintptr_t hWnd) {
    if (phDriver == nullptr) {
        return WD_INVALID_PARAMETER;
    }
    *phDriver = 0;
    if (matchTables == nullptr || numMatchTables == 0 || numMatchTables > kMaxMatchTables ||
        eventTable == nullptr) {
        return WD_INVALID_PARAMETER;
    }
    std::unique_lock lock(mutex_, std::defer_lock);
    // The last unregistration on another thread may stop the backend just started: start again.
    for (int attempt = 1;; ++attempt) {
        std::uint32_t status = WD_STATUS_SUCCESS;
        const std::shared_ptr<Backend> backend = ensureBackend(status);
        if (!backend) {
            return status;
        }
        if ((status = backend->registrationStatus()) != WD_STATUS_SUCCESS) {
            return status;
        }
        lock.lock();
        if (backend_ == backend) {
            break;
        }
        lock.unlock();
        if (attempt == 3) {
            return WD_BACKEND_ERROR;
        }
    }
    const WDU_DRIVER_HANDLE id = newHandleLocked();
    Registration& reg = registrations_[id];
    reg.threaded = threaded;
    reg.matchTables.assign(matchTables, matchTables + numMatchTables);
    reg.events = *eventTable;
    reg.hWnd = hWnd;
    announceMatchTablesLocked();
    if (threaded && !eventThread_.joinable()) {
        ++eventThreadsRunning_;
        ownerPid_ = ::getpid();
        eventThread_ = std::thread(&UsbLayer::eventThreadMain, this, eventThreadGeneration_);
        ::pthread_setname_np(eventThread_.native_handle(), "wdu-events");  // as ps shows it
    }
    reconcileLocked(id, reg);
    *phDriver = id;
    return WD_STATUS_SUCCESS;
}

void UsbLayer::uninit(WDU_DRIVER_HANDLE hDriver) {
    std::unique_lock lock(mutex_);
    if (registrations_.erase(hDriver) == 0) {
        return;
    }
    std::erase_if(devices_, [&](const auto& item) {
        if (item.second.registration != hDriver) {
            return false;
        }
        // Declined handles were never taken: they stay plainly invalid.
        if (!item.second.declined) {
            buryLocked(item.first, item.second);
        }
        return true;
    });
    announceMatchTablesLocked();
    const auto ofThis = [&](const Event& e) { return e.registration == hDriver; };
    pumpPending_.fetch_sub(static_cast<std::size_t>(std::erase_if(pumpQueue_, ofThis)),
                           std::memory_order_acq_rel);
    std::erase_if(threadQueue_, ofThis);
    // No handler of this registration may run once we return (unless we are inside it).
    handlerDone_.wait(lock, [&] {
        return std::none_of(running_.begin(), running_.end(), [&](const RunningHandler& r) {
            return r.registration == hDriver && r.thread != std::this_thread::get_id();
        });
    });
    if (registrations_.empty()) {
        stopWhenIdle(lock);
    }
}

void UsbLayer::stopWhenIdle(std::unique_lock<std::mutex>& lock) {
    if (ownerPid_ != 0 && ownerPid_ != ::getpid()) {
        abandonInheritedLocked();
        lock.unlock();
        return;
    }
    // The join lets a handler still running end first; it may register again.
    stopEventThread(lock);
    std::shared_ptr<Backend> backend;
    if (registrations_.empty()) {
        backend = takeBackendLocked();
    } else if (std::any_of(registrations_.begin(), registrations_.end(),
                           [](const auto& item) { return item.second.threaded; }) &&
               !eventThread_.joinable()) {
        ++eventThreadsRunning_;
        eventThread_ = std::thread(&UsbLayer::eventThreadMain, this, eventThreadGeneration_);
        ::pthread_setname_np(eventThread_.native_handle(), "wdu-events");  // as ps shows it
    }
    lock.unlock();
    stopBackend(std::move(backend));
}

std::shared_ptr<Backend> UsbLayer::takeBackendLocked() {
    std::shared_ptr<Backend> backend = std::move(backend_);
    backend_.reset();
    simulatedBoard_.reset();
    if (backend) {
        ++stoppingBackends_;
    }
    return backend;
}

void UsbLayer::stopBackend(std::shared_ptr<Backend> backend) {
    if (!backend) {
        return;
    }
    backend->stop();
    backend.reset();
    std::lock_guard lock(mutex_);
    --stoppingBackends_;
    backendsSettled_.notify_all();
}

void UsbLayer::abandonInheritedLocked() {
    if (ownerPid_ == 0 || ownerPid_ == ::getpid()) {
        return;
    }
    // Neither the backend's threads nor the event thread exist here: stopping or joining them
    // would wait forever, so they are left untouched for the rest of the run.
    new std::shared_ptr<Backend>(std::move(backend_));
    new std::thread(std::move(eventThread_));
    backend_.reset();
    simulatedBoard_.reset();
    ++eventThreadGeneration_;
    eventThreadsRunning_ = 0;
    starting_ = false;
    stoppingBackends_ = 0;
    registrations_.clear();
    devices_.clear();
    pumpQueue_.clear();
    threadQueue_.clear();
    pumpPending_.store(0, std::memory_order_release);
    running_.clear();
    pumping_ = false;
    ownerPid_ = 0;
}

void UsbLayer::buryLocked(WDU_DEVICE_HANDLE handle, const Device& device) {
    const DeadHandle dead{device.gone, device.serial, backendEpoch_};
    if (deadHandles_.insert_or_assign(handle, dead).second) {
        deadOrder_.push_back(handle);
    }
    while (deadOrder_.size() > kMaxDeadHandles) {
        deadHandles_.erase(deadOrder_.front());
        deadOrder_.pop_front();
    }
}

std::uint32_t UsbLayer::resolve(WDU_DEVICE_HANDLE hDevice, Target& target) {
    std::lock_guard lock(mutex_);
    target.backend = backend_;
    target.simulatedBoard = simulatedBoard_;
    std::uint32_t status = WD_STATUS_SUCCESS;
    if (const Device* device = findDeviceLocked(hDevice, status)) {
        target.serial = device->serial;
    }
    return status;
}

std::uint32_t UsbLayer::setInterface(WDU_DEVICE_HANDLE hDevice, std::uint32_t interfaceNum,
                                     std::uint32_t alternateSetting) {
    Target target;
    if (const std::uint32_t status = resolve(hDevice, target); status != WD_STATUS_SUCCESS) {
        return status;
    }
    return noteStatus(target,
                      target.backend->setInterface(target.serial, interfaceNum, alternateSetting));
}

std::uint32_t UsbLayer::getDeviceInfo(WDU_DEVICE_HANDLE hDevice, WDU_DEVICE* info) {
    Target target;
    if (const std::uint32_t status = resolve(hDevice, target); status != WD_STATUS_SUCCESS) {
        return status;
    }
    if (info == nullptr) {
        return WD_INVALID_PARAMETER;
    }
    return noteStatus(target, target.backend->deviceInfo(target.serial, *info));
}

std::uint32_t UsbLayer::transfer(WDU_DEVICE_HANDLE hDevice, std::uint32_t pipe, std::uint32_t fRead,
                                 void* buffer, std::uint32_t length, std::uint32_t* moved,
                                 std::uint32_t timeoutMs) {
    std::uint32_t scratch = 0;
    std::uint32_t& count = moved != nullptr ? *moved : scratch;
    count = 0;
    Target target;
    if (const std::uint32_t status = resolve(hDevice, target); status != WD_STATUS_SUCCESS) {
        if (target.simulatedBoard) {
            target.simulatedBoard->countRejectedTransfer();
        }
        return status;
    }
    if (buffer == nullptr && length > 0) {
        return WD_INVALID_PARAMETER;
    }
    return noteStatus(target, target.backend->transfer(target.serial, pipe, fRead != 0,
                                                       static_cast<std::uint8_t*>(buffer), length,
                                                       count, timeoutMs));
}

std::uint32_t UsbLayer::resetDevice(WDU_DEVICE_HANDLE hDevice) {
    Target target;
    if (const std::uint32_t status = resolve(hDevice, target); status != WD_STATUS_SUCCESS) {
        return status;
    }
    return noteStatus(target, target.backend->reset(target.serial));
}

std::uint32_t UsbLayer::adapter(WDU_DEVICE_HANDLE hDevice, std::uint32_t& functions, int& fd) {
    Target target;
    if (const std::uint32_t status = resolve(hDevice, target); status != WD_STATUS_SUCCESS) {
        return status;
    }
    return noteStatus(target, target.backend->adapter(target.serial, functions, fd));
}

std::uint32_t UsbLayer::blockTransfer(WDU_DEVICE_HANDLE hDevice, std::uint8_t address7,
                                      std::uint8_t command, std::span<const std::uint8_t> out,
                                      std::span<std::uint8_t> in, std::uint32_t& received,
                                      int& error) {
    received = 0;
    error = 0;
    Target target;
    if (const std::uint32_t status = resolve(hDevice, target); status != WD_STATUS_SUCCESS) {
        return status;
    }
    return noteStatus(target, target.backend->blockTransfer(target.serial, address7, command, out,
                                                            in, received, error));
}

std::uint32_t UsbLayer::noteStatus(const Target& target, std::uint32_t status) {
    // The backend saw the board go before it told us: catch up now, so that the detach is
    // queued before the caller hears of the failure.
    if (status == WD_DEVICE_GONE) {
        onPresenceChange(target.backend.get());
    }
    if (status == WD_ACCESS_DENIED) {
        std::string node = target.backend->deniedNode();
        std::lock_guard lock(mutex_);
        deniedNode_ = std::move(node);
    }
    return status;
}

std::string UsbLayer::deniedNode() {
    std::lock_guard lock(mutex_);
    return deniedNode_;
}

bridgesim::Board* UsbLayer::simulatedBoard() {
    std::uint32_t status = WD_STATUS_SUCCESS;
    if (!ensureBackend(status)) {
        return nullptr;
    }
    std::lock_guard lock(mutex_);
    return simulatedBoard_.get();
}

void UsbLayer::installSimulatedBoard(std::shared_ptr<bridgesim::Board> board) {
    std::unique_lock lock(mutex_);
    replaceBridgeLocked(lock, BridgeChoice{SimBridge{std::move(board)}});
    lock.unlock();
    std::uint32_t status = WD_STATUS_SUCCESS;
    ensureBackend(status);
    lock.lock();
    reconcileAllLocked();
}

void UsbLayer::replaceBridgeLocked(std::unique_lock<std::mutex>& lock, BridgeChoice choice) {
    for (auto& [id, reg] : registrations_) {
        if (reg.liveDevice != 0) {
            devices_[reg.liveDevice].gone = true;
            reg.liveDevice = 0;
        }
    }
    pumpQueue_.clear();
    pumpPending_.store(0, std::memory_order_release);
    threadQueue_.clear();
    std::shared_ptr<Backend> old = takeBackendLocked();
    chosen_ = std::move(choice);
    backendError_.clear();
    lock.unlock();
    stopBackend(std::move(old));
    lock.lock();
}

void UsbLayer::setNextHandleForTests(std::uint32_t next) {
    std::lock_guard lock(mutex_);
    nextHandle_ = next;
}

void UsbLayer::resetForTests() {
    std::unique_lock lock(mutex_);
    abandonInheritedLocked();
    registrations_.clear();
    devices_.clear();
    deadHandles_.clear();
    deadOrder_.clear();
    deniedNode_.clear();
    pumpQueue_.clear();
    threadQueue_.clear();
    pumpPending_.store(0, std::memory_order_release);
    std::shared_ptr<Backend> backend = takeBackendLocked();
    chosen_.reset();
    backendError_.clear();
    stopEventThread(lock);
    lock.unlock();
    stopBackend(std::move(backend));
}

std::string UsbLayer::backendError() {
    std::lock_guard lock(mutex_);
    return backendError_;
}

std::shared_ptr<Backend> UsbLayer::ensureBackend(std::uint32_t& status) {
    std::unique_lock lock(mutex_);
    abandonInheritedLocked();
    // One backend at a time: a new one must not reach for the board while an old one holds it.
    backendsSettled_.wait(
        lock, [&] { return backend_ || exiting_ || (!starting_ && stoppingBackends_ == 0); });
    if (backend_) {
        return backend_;
    }
    if (exiting_) {
        status = WD_BACKEND_ERROR;
        return nullptr;
    }
    const std::optional<BridgeChoice> chosen = chosen_;
    starting_ = true;
    lock.unlock();
    struct Started {
        UsbLayer& layer;
        ~Started() {
            std::lock_guard lock(layer.mutex_);
            layer.starting_ = false;
            layer.backendsSettled_.notify_all();
        }
    } started{*this};
    // Created and started unlocked: starting registers a listener that takes our lock.
    std::variant<BridgeChoice, BridgeRefusal> parsed =
        chosen ? *chosen : BridgeChoice::parse(nullptr);
    if (const auto* refusal = std::get_if<BridgeRefusal>(&parsed)) {
        status = refusal->status;
        lock.lock();
        backendError_ = refusal->reason;
        lock.unlock();
        return nullptr;
    }
    BridgeChoice choice = std::get<BridgeChoice>(std::move(parsed));
    const std::shared_ptr<Backend> created = choice.makeBackend();
    if (!created) {
        status = WD_BACKEND_ERROR;
        lock.lock();
        backendError_ = std::string("bridge: ") + BridgeChoice::kNoUsbBackend;
        return nullptr;
    }
    Backend* raw = created.get();
    status = created->start([this, raw] { onPresenceChange(raw); });
    if (status != WD_STATUS_SUCCESS) {
        lock.lock();
        backendError_ = "the bridge's backend failed to start";
        lock.unlock();
        return nullptr;
    }
    lock.lock();
    backend_ = created;
    ++backendEpoch_;
    simulatedBoard_ = choice.simulatedBoard();
    // Kept, so that a backend started again after an idle time reaches the same board (the
    // simulated one with its registers), whatever the environment says by then.
    chosen_ = std::move(choice);
    ownerPid_ = ::getpid();
    backendError_.clear();
    announceMatchTablesLocked();
    const std::shared_ptr<Backend> result = backend_;
    lock.unlock();
    return result;
}

void UsbLayer::onPresenceChange(Backend* source) {
    std::lock_guard lock(mutex_);
    if (backend_.get() == source) {
        reconcileAllLocked();
    }
}

void UsbLayer::reconcileLocked(WDU_DRIVER_HANDLE id, Registration& reg) {
    if (!backend_) {
        return;
    }
    DeviceIdentity identity;
    std::uint64_t serial = 0;
    const bool present = backend_->present(identity, serial);
    if (reg.liveDevice != 0) {
        const auto it = devices_.find(reg.liveDevice);
        if (it == devices_.end()) {
            reg.liveDevice = 0;
        } else if (!present || it->second.serial != serial) {
            departLocked(reg);
        }
    }
    if (!present || reg.liveDevice != 0 ||
        std::none_of(reg.matchTables.begin(), reg.matchTables.end(),
                     [&](const WDU_MATCH_TABLE& m) { return matchTableTakes(m, identity); })) {
        return;
    }
    const WDU_DEVICE_HANDLE device = newHandleLocked();
    Device& entry = devices_[device];
    entry.registration = id;
    entry.serial = serial;
    reg.liveDevice = device;
    queueLocked(reg, Event{true, id, device});
}

void UsbLayer::announceMatchTablesLocked() {
    if (!backend_) {
        return;
    }
    std::vector<WDU_MATCH_TABLE> tables;
    for (const auto& [id, reg] : registrations_) {
        tables.insert(tables.end(), reg.matchTables.begin(), reg.matchTables.end());
    }
    backend_->setMatchTables(std::move(tables));
}

void UsbLayer::reconcileAllLocked() {
    for (auto& [id, reg] : registrations_) {
        reconcileLocked(id, reg);
    }
}

void UsbLayer::departLocked(Registration& reg) {
    const WDU_DEVICE_HANDLE handle = reg.liveDevice;
    reg.liveDevice = 0;
    Device& device = devices_[handle];
    device.gone = true;
    if (device.attachDelivered) {
        queueLocked(reg, Event{false, device.registration, handle});
        return;
    }
    // Nobody saw the attach yet: drop it, and the handle with it.
    const auto isAttach = [&](const Event& e) { return e.attach && e.device == handle; };
    if (reg.threaded) {
        std::erase_if(threadQueue_, isAttach);
    } else {
        pumpPending_.fetch_sub(static_cast<std::size_t>(std::erase_if(pumpQueue_, isAttach)),
                               std::memory_order_acq_rel);
    }
    devices_.erase(handle);
}

void UsbLayer::queueLocked(const Registration& reg, Event event) {
    if (reg.threaded) {
        threadQueue_.push_back(event);
        threadWake_.notify_one();
    } else {
        pumpQueue_.push_back(event);
        pumpPending_.fetch_add(1, std::memory_order_release);
    }
}

UsbLayer::Device* UsbLayer::findDeviceLocked(WDU_DEVICE_HANDLE hDevice, std::uint32_t& status) {
    const auto it = devices_.find(hDevice);
    if (it == devices_.end()) {
        const auto dead = deadHandles_.find(hDevice);
        status = dead != deadHandles_.end() && deviceLeftLocked(dead->second)
                     ? std::uint32_t{WD_DEVICE_GONE}
                     : std::uint32_t{WD_INVALID_HANDLE};
        return nullptr;
    }
    if (it->second.declined) {
        status = WD_INVALID_HANDLE;
        return nullptr;
    }
    if (it->second.gone) {
        status = WD_DEVICE_GONE;
        return nullptr;
    }
    status = WD_STATUS_SUCCESS;
    return &it->second;
}

bool UsbLayer::deviceLeftLocked(const DeadHandle& dead) {
    if (dead.detached) {
        return true;
    }
    // Closed with its registration: gone too if its board is no longer there. A backend started
    // since counts attachments anew, so then only the board's presence tells.
    if (!backend_) {
        return false;
    }
    DeviceIdentity identity;
    std::uint64_t serial = 0;
    if (!backend_->present(identity, serial)) {
        return true;
    }
    return dead.epoch == backendEpoch_ && serial != dead.serial;
}

WDU_DRIVER_HANDLE UsbLayer::newHandleLocked() {
    for (;;) {
        // Callers take a handle that reads as a negative signed number for none (a closed
        // connection checks "0 or less"), so handles stay within 1..0x7FFFFFFF.
        if (nextHandle_ == 0 || nextHandle_ > kMaxHandle) {
            nextHandle_ = kFirstHandle;
        }
        const std::uint32_t h = nextHandle_++;
        if (!registrations_.contains(h) && !devices_.contains(h) && !deadHandles_.contains(h)) {
            return h;
        }
    }
}

int UsbLayer::deliverOneLocked(std::deque<Event>& queue, std::unique_lock<std::mutex>& lock,
                               bool pumped) {
    if (queue.empty()) {
        return -1;
    }
    const Event event = queue.front();
    queue.pop_front();
    if (pumped) {
        pumpPending_.fetch_sub(1, std::memory_order_acq_rel);
    }
    const auto reg = registrations_.find(event.registration);
    const auto dev = devices_.find(event.device);
    if (reg == registrations_.end() || dev == devices_.end() || !backend_) {
        return 0;
    }
    const WDU_EVENT_TABLE handlers = reg->second.events;
    WDU_DEVICE info{};
    if (event.attach) {
        dev->second.attachDelivered = true;
        if (backend_->deviceInfo(dev->second.serial, info) != WD_STATUS_SUCCESS) {
            return 0;  // already gone; its detach will find it not accepted
        }
        if (handlers.pfDeviceAttach == nullptr) {
            dev->second.accepted = true;
            return 0;
        }
    } else if (!dev->second.accepted || handlers.pfDeviceDetach == nullptr) {
        return 0;
    }
    running_.push_back(RunningHandler{event.registration, std::this_thread::get_id()});
    lock.unlock();
    int taken = 0;
    if (event.attach) {
        taken = handlers.pfDeviceAttach(event.device, &info, handlers.pUserData);
    } else {
        handlers.pfDeviceDetach(event.device, handlers.pUserData);
    }
    lock.lock();
    const auto me = std::find_if(running_.begin(), running_.end(), [&](const RunningHandler& r) {
        return r.registration == event.registration && r.thread == std::this_thread::get_id();
    });
    if (me != running_.end()) {
        running_.erase(me);
    }
    if (event.attach) {
        const auto after = devices_.find(event.device);
        if (after != devices_.end()) {
            after->second.accepted = taken != 0;
            after->second.declined = taken == 0;
        }
    }
    handlerDone_.notify_all();
    return 1;
}

int UsbLayer::pumpEventsSlow() {
    std::unique_lock lock(mutex_);
    if (pumping_) {
        return 0;  // a handler pumped again: keep the order, the outer pump goes on
    }
    pumping_ = true;
    int delivered = 0;
    for (int r; (r = deliverOneLocked(pumpQueue_, lock, true)) >= 0;) {
        delivered += r;
    }
    pumping_ = false;
    return delivered;
}

void UsbLayer::eventThreadMain(std::uint64_t generation) {
    std::unique_lock lock(mutex_);
    while (generation == eventThreadGeneration_) {
        if (deliverOneLocked(threadQueue_, lock, false) < 0) {
            threadWake_.wait(lock);
        }
    }
    --eventThreadsRunning_;
    eventThreadEnded_.notify_all();
}

void UsbLayer::stopEventThread(std::unique_lock<std::mutex>& lock,
                               std::chrono::milliseconds maxWait) {
    ++eventThreadGeneration_;
    threadWake_.notify_all();
    std::thread thread = std::move(eventThread_);
    if (!thread.joinable()) {
        return;
    }
    if (thread.get_id() == std::this_thread::get_id()) {
        thread.detach();  // unregistering from inside a handler: the thread ends after it
        return;
    }
    if (maxWait != std::chrono::milliseconds::max() &&
        !eventThreadEnded_.wait_for(lock, maxWait, [&] { return eventThreadsRunning_ == 0; })) {
        thread.detach();  // a handler that does not end must not hold up the exit
        return;
    }
    lock.unlock();
    thread.join();
    lock.lock();
}

}  // namespace wdu
