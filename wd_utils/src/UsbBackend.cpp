#include "UsbBackend.h"

#include <libusb.h>
#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <utility>

namespace wdu {

namespace {

constexpr std::chrono::milliseconds kPollInterval{500};
// How long one round of event handling may wait; stop() interrupts it at once anyway.
constexpr long kEventWaitUs = 250'000;

std::uint32_t statusOf(int libusbError) {
    switch (libusbError) {
        case LIBUSB_SUCCESS:
            return WD_STATUS_SUCCESS;
        case LIBUSB_ERROR_TIMEOUT:
            return WD_TIME_OUT_EXPIRED;
        case LIBUSB_ERROR_NO_DEVICE:
            return WD_DEVICE_GONE;
        case LIBUSB_ERROR_PIPE:
            return WD_STALL;
        case LIBUSB_ERROR_ACCESS:
            return WD_ACCESS_DENIED;
        default:
            return WD_OPERATION_FAILED;
    }
}

// libusb before 1.0.27 unlocks a handle's lock it never locked when
// libusb_set_interface_alt_setting meets a disconnected device, and closing that handle later
// aborts the process. Such a handle is kept open, unused, for the rest of the run instead.
bool altSettingMayBreakHandle() {
    const libusb_version* v = libusb_get_version();
    return v->major == 1 && v->minor == 0 && v->micro < 27;
}

void parkForever(libusb_device_handle* handle) {
    static std::mutex mutex;
    static auto* const parked = new std::vector<libusb_device_handle*>();
    std::lock_guard lock(mutex);
    parked->push_back(handle);
}

// Whether libusb_open's answer means the user must give the program the board (a permission, or
// on Windows a driver that libusb cannot use: the board has no WinUSB driver bound).
bool openRefused(int libusbError) {
#if defined(_WIN32)
    return libusbError == LIBUSB_ERROR_ACCESS || libusbError == LIBUSB_ERROR_NOT_SUPPORTED;
#else
    return libusbError == LIBUSB_ERROR_ACCESS;
#endif
}

// The device as its user finds it: the usbdevfs node on Linux, the bus and address elsewhere.
std::string nodeName(libusb_device* device) {
    char node[48];
#if defined(__linux__)
    const char* format = "/dev/bus/usb/%03u/%03u";
#else
    const char* format = "the bridge board on USB bus %u, address %u";
#endif
    std::snprintf(node, sizeof node, format, static_cast<unsigned>(libusb_get_bus_number(device)),
                  static_cast<unsigned>(libusb_get_device_address(device)));
    return node;
}

int LIBUSB_CALL onHotplug(libusb_context*, libusb_device* device, libusb_hotplug_event event,
                          void* self) {
    static_cast<UsbBackend*>(self)->queueChange(device,
                                                event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED);
    return 0;  // stay registered
}

}  // namespace

// What the descriptors say about a device, read once when it arrives.
struct UsbBackend::Description {
    DeviceIdentity identity;
    std::uint8_t firstInterface = 0;
    // (alternate setting, endpoint count) of the first interface, as the configuration lists them
    std::vector<std::pair<std::uint8_t, std::uint8_t>> endpointsBySetting;
};

struct UsbBackend::KnownDevice {
    libusb_device* device = nullptr;  // holds a reference
    Description description;
    bool dead = false;  // an operation met it gone; it waits for its departure
};

// One attachment of the bridge: from the moment a device becomes the bridge until it leaves.
struct UsbBackend::Attachment {
    Attachment(libusb_device* dev, Description desc, std::uint64_t id, std::mutex& openClose)
        : device(libusb_ref_device(dev)),
          description(std::move(desc)),
          serial(id),
          openCloseMutex(openClose) {}
    ~Attachment() {
        if (handle != nullptr && parkHandle) {
            parkForever(handle);
        } else if (handle != nullptr) {
            std::lock_guard lock(openCloseMutex);
            // Releasing gives the interface back to a kernel driver that auto-detach took it from.
            libusb_release_interface(handle, description.firstInterface);
            libusb_close(handle);
        }
        libusb_unref_device(device);
    }
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;

    libusb_device* const device;
    const Description description;
    const std::uint64_t serial;
    std::mutex& openCloseMutex;  // the backend's: one open or close at a time
    std::mutex openMutex;
    libusb_device_handle* handle = nullptr;  // set once, under openMutex
    bool parkHandle = false;                 // the handle's lock may be broken: never close it
    std::uint32_t activeSetting = 0;         // of the first interface; under the backend's mutex_
    bool gone = false;                       // under the backend's mutex_
};

// Keeps an attachment for the length of one operation, so that stop() can wait for it.
class UsbBackend::Operation {
  public:
    Operation(UsbBackend& backend, std::shared_ptr<Attachment> attachment)
        : backend_(backend), attachment_(std::move(attachment)) {}
    ~Operation() {
        attachment_.reset();
        std::lock_guard lock(backend_.mutex_);
        if (--backend_.operations_ == 0) {
            backend_.idle_.notify_all();
        }
    }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    Attachment& attachment() { return *attachment_; }

  private:
    UsbBackend& backend_;
    std::shared_ptr<Attachment> attachment_;
};

namespace {

// Reads the identity and the first interface's settings; false when the device descriptor is
// unreadable. Only cached descriptors are read, the device is not opened.
template <typename Description>
bool describe(libusb_device* device, Description& out) {
    libusb_device_descriptor dd{};
    if (libusb_get_device_descriptor(device, &dd) != LIBUSB_SUCCESS) {
        return false;
    }
    out.identity.vendorId = dd.idVendor;
    out.identity.productId = dd.idProduct;
    out.identity.deviceClass = dd.bDeviceClass;
    out.identity.deviceSubClass = dd.bDeviceSubClass;
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != LIBUSB_SUCCESS &&
        libusb_get_config_descriptor(device, 0, &config) != LIBUSB_SUCCESS) {
        return true;  // unconfigured: no interface, no endpoints
    }
    if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0) {
        const libusb_interface& first = config->interface[0];
        const libusb_interface_descriptor& base = first.altsetting[0];
        out.firstInterface = base.bInterfaceNumber;
        out.identity.interfaceClass = base.bInterfaceClass;
        out.identity.interfaceSubClass = base.bInterfaceSubClass;
        out.identity.interfaceProtocol = base.bInterfaceProtocol;
        for (int i = 0; i < first.num_altsetting; ++i) {
            out.endpointsBySetting.emplace_back(first.altsetting[i].bAlternateSetting,
                                                first.altsetting[i].bNumEndpoints);
        }
    }
    libusb_free_config_descriptor(config);
    return true;
}

}  // namespace

UsbBackend::UsbBackend(bool forcePolling) : forcePolling_(forcePolling) {}

UsbBackend::~UsbBackend() {
    stop();
}

std::uint32_t UsbBackend::start(PresenceListener listener) {
    listener_ = std::move(listener);
    if (libusb_init(&ctx_) != LIBUSB_SUCCESS) {
        ctx_ = nullptr;  // no USB here: run on, finding nothing
        return WD_STATUS_SUCCESS;
    }
    {
        std::lock_guard lock(mutex_);
        started_ = true;
    }
    hotplug_ = !forcePolling_ && libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) != 0;
    if (hotplug_ &&
        libusb_hotplug_register_callback(
            ctx_,
            static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED |
                                              LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
            LIBUSB_HOTPLUG_ENUMERATE, LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY,
            LIBUSB_HOTPLUG_MATCH_ANY, &onHotplug, this, &hotplugHandle_) != LIBUSB_SUCCESS) {
        hotplug_ = false;
    }
    // Learn the devices present now, so that the first registration finds the board at once.
    std::vector<Change> first;
    if (hotplug_) {
        std::lock_guard lock(mutex_);
        first.swap(incoming_);
    } else {
        first = pollChanges();
    }
    applyChanges(std::move(first));
    eventThread_ = std::thread(&UsbBackend::eventMain, this);
    worker_ = std::thread(&UsbBackend::workerMain, this);
    // Named as ps and /proc show them.
    ::pthread_setname_np(eventThread_.native_handle(), "wdu-usb-events");
    ::pthread_setname_np(worker_.native_handle(), "wdu-usb-watch");
    return WD_STATUS_SUCCESS;
}

void UsbBackend::stop() {
    {
        std::lock_guard lock(mutex_);
        if (!started_ || stopping_) {
            return;
        }
        stopping_ = true;
        wake_.notify_all();
    }
    if (worker_.joinable()) {
        worker_.join();
    }
    if (hotplug_) {
        libusb_hotplug_deregister_callback(ctx_, hotplugHandle_);
    }
    std::vector<std::shared_ptr<Attachment>> attachments;
    std::vector<KnownDevice> known;
    std::vector<Change> incoming;
    {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [&] { return operations_ == 0; });
    }
    eventStop_.store(true);
    libusb_interrupt_event_handler(ctx_);
    if (eventThread_.joinable()) {
        eventThread_.join();
    }
    {
        std::lock_guard lock(mutex_);
        attachments.swap(retired_);
        if (current_) {
            attachments.push_back(std::move(current_));
        }
        known.swap(known_);
        incoming.swap(incoming_);
    }
    attachments.clear();
    for (const KnownDevice& k : known) {
        libusb_unref_device(k.device);
    }
    for (const Change& c : incoming) {
        libusb_unref_device(c.device);
    }
    libusb_exit(ctx_);
    ctx_ = nullptr;
}

bool UsbBackend::present(DeviceIdentity& identity, std::uint64_t& serial) {
    std::lock_guard lock(mutex_);
    if (!current_ || current_->gone) {
        return false;
    }
    identity = current_->description.identity;
    serial = current_->serial;
    return true;
}

void UsbBackend::setMatchTables(std::vector<WDU_MATCH_TABLE> tables) {
    std::lock_guard lock(mutex_);
    tables_ = std::move(tables);
    if (chooseLocked()) {
        announce_ = true;
        wake_.notify_all();
    }
}

std::uint32_t UsbBackend::setInterface(std::uint64_t serial, std::uint32_t interfaceNum,
                                       std::uint32_t alternateSetting) {
    const bool tooLarge = interfaceNum > 0xFF || alternateSetting > 0xFF;
    std::optional<Operation> op;
    const std::uint32_t status = openOperation(
        serial, tooLarge ? std::uint32_t{WD_INVALID_PARAMETER} : std::uint32_t{WD_STATUS_SUCCESS},
        op);
    if (status != WD_STATUS_SUCCESS) {
        return status;
    }
    Attachment& attachment = op->attachment();
    const int iface = static_cast<int>(interfaceNum);
    int r = LIBUSB_SUCCESS;
    if (interfaceNum != attachment.description.firstInterface) {
        r = libusb_claim_interface(attachment.handle, iface);
    }
    if (r == LIBUSB_SUCCESS) {
        // Never hand libusb a device it already knows is gone (see altSettingMayBreakHandle).
        if (!listed(attachment.device)) {
            r = LIBUSB_ERROR_NO_DEVICE;
        } else {
            r = libusb_set_interface_alt_setting(attachment.handle, iface,
                                                 static_cast<int>(alternateSetting));
            // Still listed afterwards means it was attached throughout: the handle is sound.
            if (r == LIBUSB_ERROR_NO_DEVICE && !listed(attachment.device)) {
                attachment.parkHandle = altSettingMayBreakHandle();
            }
        }
    }
    if (r == LIBUSB_ERROR_NO_DEVICE) {
        markDead(attachment);
        announceNow();
        return WD_DEVICE_GONE;
    }
    if (r != LIBUSB_SUCCESS) {
        return WD_INTERFACE_SELECT_FAILED;
    }
    if (interfaceNum == attachment.description.firstInterface) {
        std::lock_guard lock(mutex_);
        attachment.activeSetting = alternateSetting;
    }
    return WD_STATUS_SUCCESS;
}

std::uint32_t UsbBackend::deviceInfo(std::uint64_t serial, WDU_DEVICE& info) {
    std::lock_guard lock(mutex_);
    if (stopping_ || !current_ || current_->gone || current_->serial != serial) {
        return WD_DEVICE_GONE;
    }
    const Description& d = current_->description;
    info.wVendorId = d.identity.vendorId;
    info.wProductId = d.identity.productId;
    info.dwInterfaceNum = d.firstInterface;
    info.dwAlternateSetting = current_->activeSetting;
    info.dwNumEndpoints = 0;
    for (const auto& [setting, endpoints] : d.endpointsBySetting) {
        if (setting == current_->activeSetting) {
            info.dwNumEndpoints = endpoints;
        }
    }
    return WD_STATUS_SUCCESS;
}

std::uint32_t UsbBackend::transfer(std::uint64_t serial, std::uint32_t pipe, bool read,
                                   std::uint8_t* buffer, std::uint32_t length, std::uint32_t& moved,
                                   std::uint32_t timeoutMs) {
    moved = 0;
    // The endpoint address carries the direction; one that disagrees would reach the wrong pipe.
    const std::uint32_t argumentStatus =
        pipe > 0xFF || ((pipe & LIBUSB_ENDPOINT_IN) != 0) != read ? std::uint32_t{WD_STALL}
        : length > static_cast<std::uint32_t>(INT_MAX) ? std::uint32_t{WD_INVALID_PARAMETER}
                                                       : std::uint32_t{WD_STATUS_SUCCESS};
    std::optional<Operation> op;
    if (const std::uint32_t status = openOperation(serial, argumentStatus, op);
        status != WD_STATUS_SUCCESS) {
        return status;
    }
    // libusb waits forever on 0; the layer's callers never mean that.
    const unsigned int timeout = timeoutMs == 0 ? 1000u : timeoutMs;
    std::uint8_t none = 0;
    int done = 0;
    const int r = libusb_bulk_transfer(op->attachment().handle, static_cast<unsigned char>(pipe),
                                       buffer != nullptr ? buffer : &none, static_cast<int>(length),
                                       &done, timeout);
    moved = static_cast<std::uint32_t>(std::max(done, 0));
    if (r == LIBUSB_ERROR_NO_DEVICE) {
        markDead(op->attachment());
        announceNow();
    }
    return statusOf(r);
}

std::uint32_t UsbBackend::reset(std::uint64_t serial) {
    std::optional<Operation> op;
    if (const std::uint32_t status = openOperation(serial, WD_STATUS_SUCCESS, op);
        status != WD_STATUS_SUCCESS) {
        return status;
    }
    Attachment& attachment = op->attachment();
    const int r = libusb_reset_device(attachment.handle);
    switch (r) {
        case LIBUSB_SUCCESS: {
            std::lock_guard lock(mutex_);
            attachment.activeSetting = 0;
            return WD_STATUS_SUCCESS;
        }
        case LIBUSB_ERROR_NOT_FOUND:
            // The device enumerated anew: this attachment ends, the device arrives again.
            markDead(attachment);
            announceNow();
            return WD_STATUS_SUCCESS;
        case LIBUSB_ERROR_NO_DEVICE:
            markDead(attachment);
            announceNow();
            return WD_DEVICE_GONE;
        default:
            return WD_OPERATION_FAILED;
    }
}

std::string UsbBackend::deniedNode() {
    std::lock_guard lock(mutex_);
    return deniedNode_;
}

bool UsbBackend::listed(libusb_device* device) {
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(ctx_, &list);
    if (count < 0) {
        return true;  // cannot tell: let the device answer for itself
    }
    const bool found = std::find(list, list + count, device) != list + count;
    libusb_free_device_list(list, 1);
    return found;
}

void UsbBackend::queueChange(libusb_device* device, bool arrived) {
    std::lock_guard lock(mutex_);
    incoming_.push_back(Change{libusb_ref_device(device), arrived});
    wake_.notify_all();
}

void UsbBackend::workerMain() {
    auto nextPoll = std::chrono::steady_clock::now() + kPollInterval;
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const auto due = [&] {
            return stopping_ || announce_ || !incoming_.empty() || !retired_.empty();
        };
        if (hotplug_) {
            wake_.wait(lock, due);
        } else {
            wake_.wait_until(lock, nextPoll, due);
        }
        if (stopping_) {
            break;
        }
        std::vector<Change> changes;
        changes.swap(incoming_);
        std::vector<std::shared_ptr<Attachment>> retired;
        retired.swap(retired_);
        bool changed = std::exchange(announce_, false);
        lock.unlock();
        retired.clear();  // closes the devices of ended attachments
        if (!hotplug_ && std::chrono::steady_clock::now() >= nextPoll) {
            std::vector<Change> polled = pollChanges();
            changes.insert(changes.end(), polled.begin(), polled.end());
            nextPoll = std::chrono::steady_clock::now() + kPollInterval;
        }
        if (!changes.empty()) {
            changed = applyChanges(std::move(changes)) || changed;
        }
        if (changed && listener_) {
            listener_();
        }
        lock.lock();
    }
}

void UsbBackend::eventMain() {
    while (!eventStop_.load()) {
        timeval wait{0, kEventWaitUs};
        libusb_handle_events_timeout_completed(ctx_, &wait, nullptr);
    }
}

bool UsbBackend::applyChanges(std::vector<Change> changes) {
    std::vector<libusb_device*> release;
    bool departed = false;
    for (const Change& change : changes) {
        Description description;
        const bool described = change.arrived && describe(change.device, description);
        std::lock_guard lock(mutex_);
        const auto it = std::find_if(known_.begin(), known_.end(), [&](const KnownDevice& k) {
            return k.device == change.device;
        });
        if (change.arrived) {
            if (it == known_.end() && described) {
                known_.push_back(KnownDevice{change.device, std::move(description), false});
                continue;  // the list keeps the change's reference
            }
        } else if (it != known_.end()) {
            release.push_back(it->device);
            known_.erase(it);
            if (current_ && current_->device == change.device) {
                current_->gone = true;
                retired_.push_back(std::move(current_));
                current_.reset();
                departed = true;
            }
        }
        release.push_back(change.device);
    }
    bool chosen = false;
    {
        std::lock_guard lock(mutex_);
        chosen = chooseLocked();
    }
    for (libusb_device* device : release) {
        libusb_unref_device(device);
    }
    return departed || chosen;
}

std::vector<UsbBackend::Change> UsbBackend::pollChanges() {
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(ctx_, &list);
    if (count < 0) {
        return {};
    }
    std::vector<Change> changes;
    {
        std::lock_guard lock(mutex_);
        for (ssize_t i = 0; i < count; ++i) {
            if (std::none_of(known_.begin(), known_.end(),
                             [&](const KnownDevice& k) { return k.device == list[i]; })) {
                changes.push_back(Change{libusb_ref_device(list[i]), true});
            }
        }
        for (const KnownDevice& k : known_) {
            if (std::find(list, list + count, k.device) == list + count) {
                changes.push_back(Change{libusb_ref_device(k.device), false});
            }
        }
    }
    libusb_free_device_list(list, 1);
    return changes;
}

bool UsbBackend::chooseLocked() {
    // The bridge stays the bridge while it is wanted (or while nobody is registered).
    if (current_ && !current_->gone &&
        (tables_.empty() || wantedLocked(current_->description.identity))) {
        return false;
    }
    const bool had = current_ != nullptr;
    if (current_) {
        current_->gone = true;
        retired_.push_back(std::move(current_));
        current_.reset();
    }
    for (const KnownDevice& k : known_) {
        if (!k.dead && wantedLocked(k.description.identity)) {
            current_ = std::make_shared<Attachment>(k.device, k.description, nextSerial_++,
                                                    openCloseMutex_);
            break;
        }
    }
    return had || current_ != nullptr;
}

bool UsbBackend::wantedLocked(const DeviceIdentity& d) const {
    return std::any_of(tables_.begin(), tables_.end(),
                       [&](const WDU_MATCH_TABLE& m) { return matchTableTakes(m, d); });
}

std::shared_ptr<UsbBackend::Attachment> UsbBackend::begin(std::uint64_t serial,
                                                          std::uint32_t& status) {
    std::lock_guard lock(mutex_);
    if (stopping_ || !current_ || current_->gone || current_->serial != serial) {
        status = WD_DEVICE_GONE;
        return nullptr;
    }
    ++operations_;
    status = WD_STATUS_SUCCESS;
    return current_;
}

std::uint32_t UsbBackend::openOperation(std::uint64_t serial, std::uint32_t argumentStatus,
                                        std::optional<Operation>& op) {
    std::uint32_t status = WD_STATUS_SUCCESS;
    std::shared_ptr<Attachment> found = begin(serial, status);
    if (!found) {
        announceNow();
        return status;
    }
    op.emplace(*this, std::move(found));
    if (argumentStatus != WD_STATUS_SUCCESS) {
        return argumentStatus;
    }
    status = ensureOpen(op->attachment());
    announceIfGone(status);
    return status;
}

std::uint32_t UsbBackend::ensureOpen(Attachment& attachment) {
    {
        // An ended attachment of the same device must let go of its interface first.
        std::vector<std::shared_ptr<Attachment>> retired;
        {
            std::lock_guard lock(mutex_);
            retired.swap(retired_);
        }
    }
    std::lock_guard open(attachment.openMutex);
    if (attachment.handle != nullptr) {
        return WD_STATUS_SUCCESS;
    }
    std::lock_guard openClose(openCloseMutex_);
    libusb_device_handle* handle = nullptr;
    int r = libusb_open(attachment.device, &handle);
    if (r == LIBUSB_ERROR_NO_DEVICE) {
        markDead(attachment);
    }
    if (openRefused(r)) {
        std::lock_guard lock(mutex_);
        deniedNode_ = nodeName(attachment.device);
        return WD_ACCESS_DENIED;
    }
    if (r != LIBUSB_SUCCESS) {
        return statusOf(r);
    }
    // Not supported everywhere; where it is not, a bound driver makes the claim fail instead.
    libusb_set_auto_detach_kernel_driver(handle, 1);
    r = libusb_claim_interface(handle, attachment.description.firstInterface);
    if (r != LIBUSB_SUCCESS) {
        libusb_close(handle);
        if (r == LIBUSB_ERROR_NO_DEVICE) {
            markDead(attachment);
        }
        return statusOf(r);
    }
    attachment.handle = handle;
    return WD_STATUS_SUCCESS;
}

void UsbBackend::announceNow() {
    {
        std::lock_guard lock(mutex_);
        if (!started_ || stopping_) {
            return;
        }
        ++operations_;  // stop() waits for this listener call as for an operation
    }
    if (listener_) {
        listener_();
    }
    std::lock_guard lock(mutex_);
    if (--operations_ == 0) {
        idle_.notify_all();
    }
}

void UsbBackend::announceIfGone(std::uint32_t status) {
    if (status == WD_DEVICE_GONE) {
        announceNow();
    }
}

void UsbBackend::markDead(const Attachment& attachment) {
    std::lock_guard lock(mutex_);
    for (KnownDevice& k : known_) {
        if (k.device == attachment.device) {
            k.dead = true;
        }
    }
    if (current_.get() == &attachment) {
        current_->gone = true;
        retired_.push_back(std::move(current_));
        current_.reset();
        chooseLocked();
    }
    announce_ = true;
    wake_.notify_all();
}

}  // namespace wdu
