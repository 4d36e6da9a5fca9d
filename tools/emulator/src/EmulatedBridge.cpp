#include "emulator/EmulatedBridge.h"

#include <dlfcn.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <utility>

#include "bridgeproto/BridgeIds.h"

namespace {

usbdevfs_urb* urbOf(UMockdevIoctlData* data) {
    return reinterpret_cast<usbdevfs_urb*>(data->data);
}

// Device descriptor and the full configuration: interface 0, setting 0, vendor specific, with the
// bridge's endpoint table as bulk endpoints (512-byte packets).
std::vector<std::uint8_t> descriptors(std::uint16_t vendor, std::uint16_t product) {
    constexpr auto kEndpoints = static_cast<std::uint8_t>(velmorix::kBridgeEndpoints.size());
    // configuration, interface and 7 bytes an endpoint
    constexpr auto kTotalLength = static_cast<std::uint8_t>(9 + 9 + kEndpoints * 7);
    std::vector<std::uint8_t> d = {0x12,
                                   0x01,
                                   0x00,
                                   0x02,
                                   0xFF,
                                   0x00,
                                   0x00,
                                   0x40,
                                   static_cast<std::uint8_t>(vendor & 0xFF),
                                   static_cast<std::uint8_t>(vendor >> 8),
                                   static_cast<std::uint8_t>(product & 0xFF),
                                   static_cast<std::uint8_t>(product >> 8),
                                   0x00,
                                   0x01,
                                   0x00,
                                   0x00,
                                   0x00,
                                   0x01,
                                   0x09,
                                   0x02,
                                   kTotalLength,
                                   0x00,
                                   0x01,
                                   0x01,
                                   0x00,
                                   0x80,
                                   0x32,
                                   0x09,
                                   0x04,
                                   0x00,
                                   0x00,
                                   kEndpoints,
                                   0xFF,
                                   0x00,
                                   0x00,
                                   0x00};
    for (const std::uint8_t endpoint : velmorix::kBridgeEndpoints) {
        d.insert(d.end(), {0x07, 0x05, endpoint, 0x02, 0x00, 0x02, 0x00});
    }
    return d;
}

// True once GLib's worker thread ("gmain") runs in this process.
bool glibWorkerRuns() {
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        if (std::getline(comm, name) && name == "gmain") {
            return true;
        }
    }
    return false;
}

std::string hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char pair[3];
    for (const std::uint8_t b : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", b);
        text += pair;
    }
    return text;
}

}  // namespace

EmulatedBridge::EmulatedBridge(std::shared_ptr<bridgesim::Board> board) : board_(std::move(board)) {
    // The board answers "nothing yet" at once; the urb then waits like a real one.
    board_->setTimeoutWait(std::chrono::microseconds(0));
    testbed_ = umockdev_testbed_new();
    handler_ = umockdev_ioctl_base_new();
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&EmulatedBridge::onIoctlThunk), this);
    g_signal_connect(handler_, "client-vanished", G_CALLBACK(&EmulatedBridge::onVanishedThunk),
                     this);
}

EmulatedBridge::~EmulatedBridge() {
    g_signal_handlers_disconnect_by_data(handler_, this);
    std::lock_guard lock(mutex_);
    for (UMockdevIoctlData* d : waiting_) {
        g_object_unref(d);
    }
    for (auto& [node, urbs] : completed_) {
        for (UMockdevIoctlData* d : urbs) {
            g_object_unref(d);
        }
    }
    g_clear_object(&handler_);
    g_clear_object(&testbed_);
}

bool EmulatedBridge::inMockEnvironment() {
    // umockdev's own check also wants a testbed to exist; only the library matters here.
    void* preload = dlopen("libumockdev-preload.so.0", RTLD_NOW | RTLD_NOLOAD);
    if (preload == nullptr) {
        return false;
    }
    dlclose(preload);
    return true;
}

bool EmulatedBridge::plug(std::string& error) {
    const int devnum = 2 + generation_;
    const std::string devicePath =
        "/devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(1 + generation_);
    char node[32];
    std::snprintf(node, sizeof node, "bus/usb/001/%03d", devnum);
    ++generation_;
    {
        std::lock_guard lock(mutex_);
        node_ = std::string("/dev/") + node;
        sysfsPath_ = "/sys" + devicePath;
        cableCut_ = false;
    }
    GError* err = nullptr;
    // The handler must own the node before the device appears, or libusb opens a plain file.
    if (!umockdev_testbed_attach_ioctl(testbed_, node_.c_str(), handler_, &err)) {
        error = err != nullptr ? err->message : "attaching the ioctl handler failed";
        g_clear_error(&err);
        return false;
    }
    // umockdev serves the node from GLib's worker thread, which starts a moment after the first
    // handler is attached: waiting for it (bounded) leaves the process's threads steady once the
    // board is plugged, so that a test may count them.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (!glibWorkerRuns() && std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::string number = std::to_string(devnum);
    const std::string device =
        "P: " + devicePath + "\nN: " + node +
        "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\nE: BUSNUM=001\nE: DEVNUM=" +
        number + "\nE: DEVNAME=" + node_ + "\nA: busnum=1\\n\nA: devnum=" + number +
        "\\n\nA: speed=480\\n\nA: bConfigurationValue=1\\n\nH: descriptors=" +
        hex(descriptors(board_->vendorId(), board_->productId())) + "\n";
    if (!umockdev_testbed_add_from_string(testbed_, device.c_str(), &err)) {
        error = err != nullptr ? err->message : "adding the device failed";
        g_clear_error(&err);
        return false;
    }
    return true;
}

void EmulatedBridge::unplug() {
    std::string sysfsPath;
    {
        std::lock_guard lock(mutex_);
        cutCableLocked();
        sysfsPath = sysfsPath_;
    }
    announceRemoval(sysfsPath);
}

void EmulatedBridge::announceRemoval(const std::string& sysfsPath) {
    board_->detach();
    umockdev_testbed_uevent(testbed_, sysfsPath.c_str(), "remove");
    // Gone from sysfs as well, as after a real unplug: a libusb started later must not list it.
    umockdev_testbed_remove_device(testbed_, sysfsPath.c_str());
}

bool EmulatedBridge::replug(std::string& error) {
    board_->attach();
    return plug(error);
}

void EmulatedBridge::cutCableAfterTransfers(std::uint32_t count) {
    std::lock_guard lock(mutex_);
    cutAtTransfer_ = transfers_ + std::max<std::uint32_t>(count, 1);
}

bool EmulatedBridge::cableCut() const {
    std::lock_guard lock(mutex_);
    return cableCut_;
}

std::uint32_t EmulatedBridge::transfers() const {
    std::lock_guard lock(mutex_);
    return transfers_;
}

int EmulatedBridge::totalRequests() const {
    std::lock_guard lock(mutex_);
    int total = 0;
    for (const auto& [request, count] : requests_) {
        total += count;
    }
    return total;
}

bool EmulatedBridge::waitForWaitingReads(std::size_t count, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return waitingChanged_.wait_for(lock, limit, [&] { return waiting_.size() >= count; });
}

int EmulatedBridge::requests(unsigned long request) const {
    std::lock_guard lock(mutex_);
    const auto it = requests_.find(request);
    return it == requests_.end() ? 0 : it->second;
}

std::pair<int, int> EmulatedBridge::lastSelection() const {
    std::lock_guard lock(mutex_);
    return selection_;
}

gboolean EmulatedBridge::onIoctlThunk(UMockdevIoctlBase*, UMockdevIoctlClient* client,
                                      gpointer self) {
    return static_cast<EmulatedBridge*>(self)->onIoctl(client);
}

// Runs on umockdev's thread for every request on the device node.
gboolean EmulatedBridge::onIoctl(UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const std::string node = umockdev_ioctl_client_get_devnode(client);
    std::unique_lock lock(mutex_);
    ++requests_[request];
    std::deque<UMockdevIoctlData*>& completed = completed_[node];
    const bool reapable =
        (request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY) && !completed.empty();
    if (goneNodes_.contains(node) && !reapable) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return TRUE;
    }
    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), nullptr);
            *reinterpret_cast<guint32*>(caps->data) =
                USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
            g_object_unref(caps);
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_SETINTERFACE: {
            UMockdevIoctlData* data =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_setinterface), nullptr);
            const auto* s = reinterpret_cast<usbdevfs_setinterface*>(data->data);
            selection_ = {static_cast<int>(s->interface), static_cast<int>(s->altsetting)};
            const bool ok = board_->selectInterface(s->interface, s->altsetting);
            g_object_unref(data);
            umockdev_ioctl_client_complete(client, ok ? 0 : -1, ok ? 0 : EINVAL);
            return TRUE;
        }
        case USBDEVFS_IOCTL:      // detaching a kernel driver: there is none
        case USBDEVFS_GETDRIVER:  // no kernel driver bound
            umockdev_ioctl_client_complete(client, -1, ENODATA);
            return TRUE;
        case USBDEVFS_RESET:
            board_->reset();
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_DISCONNECT_CLAIM:
        case USBDEVFS_RELEASEINTERFACE:
            return claim(client, arg, node, request);
        case USBDEVFS_CLEAR_HALT:
        case USBDEVFS_RESETEP:
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        case USBDEVFS_SUBMITURB: {
            const gboolean handled = submit(client, arg);
            if (std::exchange(removalDue_, false)) {
                const std::string sysfsPath = sysfsPath_;
                lock.unlock();
                announceRemoval(sysfsPath);
            }
            return handled;
        }
        case USBDEVFS_DISCARDURB:
            return discard(client, arg);
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            return reap(client, arg, completed);
        default:
            std::fprintf(stderr, "emulated bridge: unhandled ioctl 0x%lx\n", request);
            return FALSE;  // umockdev fails it with ENOTTY
    }
}

void EmulatedBridge::onVanishedThunk(UMockdevIoctlBase*, UMockdevIoctlClient* client,
                                     gpointer self) {
    auto* bridge = static_cast<EmulatedBridge*>(self);
    std::lock_guard lock(bridge->mutex_);
    std::erase_if(bridge->claims_, [&](const auto& item) { return item.second == client; });
}

gboolean EmulatedBridge::claim(UMockdevIoctlClient* client, UMockdevIoctlData* arg,
                               const std::string& node, unsigned long request) {
    // All three start with the interface number (usbdevfs_disconnect_claim does too).
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned int), nullptr);
    const unsigned int interface = *reinterpret_cast<unsigned int*>(data->data);
    g_object_unref(data);
    const auto key = std::make_pair(node, interface);
    const auto owner = claims_.find(key);
    if (request == USBDEVFS_RELEASEINTERFACE) {
        if (owner == claims_.end() || owner->second != client) {
            umockdev_ioctl_client_complete(client, -1, EINVAL);
            return TRUE;
        }
        claims_.erase(owner);
    } else if (owner != claims_.end() && owner->second != client) {
        umockdev_ioctl_client_complete(client, -1, EBUSY);  // another open file holds it
        return TRUE;
    } else {
        claims_[key] = client;
    }
    umockdev_ioctl_client_complete(client, 0, 0);
    return TRUE;
}

gboolean EmulatedBridge::submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    UMockdevIoctlData* urb = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    usbdevfs_urb* u = urbOf(urb);
    if (u->buffer_length > 0) {
        UMockdevIoctlData* buffer =
            umockdev_ioctl_data_resolve(urb, G_STRUCT_OFFSET(usbdevfs_urb, buffer),
                                        static_cast<gsize>(u->buffer_length), nullptr);
        g_object_unref(buffer);  // the urb keeps it
    }
    if (u->type != USBDEVFS_URB_TYPE_BULK) {
        g_object_unref(urb);
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return TRUE;
    }
    auto* bytes = static_cast<std::uint8_t*>(u->buffer);
    const auto length = static_cast<std::uint32_t>(u->buffer_length);
    const bool in = (u->endpoint & 0x80) != 0;
    const bridgesim::TransferResult r = board_->transfer(u->endpoint, in, bytes, length, 0);
    switch (r.status) {
        case bridgesim::TransferStatus::Ok:
            completeLocked(urb, 0, static_cast<int>(r.length));
            break;
        case bridgesim::TransferStatus::TimedOut:
            // Nothing to answer yet: the urb waits, as on the wire, for a reply or a discard.
            waiting_.push_back(urb);
            waitingChanged_.notify_all();
            break;
        case bridgesim::TransferStatus::NoDevice:
            completeLocked(urb, -ESHUTDOWN, 0);
            break;
        case bridgesim::TransferStatus::NoEndpoint:
        case bridgesim::TransferStatus::Stall:
            completeLocked(urb, -EPIPE, 0);
            break;
    }
    if (!in) {
        serveWaitingReadsLocked();
    }
    ++transfers_;
    if (transfers_ == cutAtTransfer_) {
        cutCableLocked();
        removalDue_ = true;
    }
    umockdev_ioctl_client_complete(client, 0, 0);
    return TRUE;
}

void EmulatedBridge::cutCableLocked() {
    cableCut_ = true;
    cutAtTransfer_ = 0;
    goneNodes_.insert(node_);
    for (UMockdevIoctlData* urb : waiting_) {
        completeLocked(urb, -ESHUTDOWN, 0);
    }
    waiting_.clear();
    waitingChanged_.notify_all();
}

gboolean EmulatedBridge::reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg,
                              std::deque<UMockdevIoctlData*>& completed) {
    if (completed.empty()) {
        umockdev_ioctl_client_complete(client, -1, EAGAIN);
        return TRUE;
    }
    UMockdevIoctlData* urb = completed.front();
    completed.pop_front();
    UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(gpointer), nullptr);
    umockdev_ioctl_data_set_ptr(slot, 0, urb);
    g_object_unref(slot);
    g_object_unref(urb);
    umockdev_ioctl_client_complete(client, 0, 0);
    return TRUE;
}

gboolean EmulatedBridge::discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    const auto address = reinterpret_cast<gulong>(*reinterpret_cast<void**>(arg->data));
    const auto it = std::find_if(waiting_.begin(), waiting_.end(),
                                 [&](UMockdevIoctlData* d) { return d->client_addr == address; });
    if (it == waiting_.end()) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return TRUE;
    }
    UMockdevIoctlData* urb = *it;
    waiting_.erase(it);
    completeLocked(urb, -ENOENT, 0);
    waitingChanged_.notify_all();
    umockdev_ioctl_client_complete(client, 0, 0);
    return TRUE;
}

void EmulatedBridge::serveWaitingReadsLocked() {
    for (auto it = waiting_.begin(); it != waiting_.end();) {
        usbdevfs_urb* u = urbOf(*it);
        const bridgesim::TransferResult r =
            board_->transfer(u->endpoint, true, static_cast<std::uint8_t*>(u->buffer),
                             static_cast<std::uint32_t>(u->buffer_length), 0);
        if (r.status == bridgesim::TransferStatus::TimedOut) {
            ++it;
            continue;
        }
        completeLocked(*it, r.status == bridgesim::TransferStatus::Ok ? 0 : -EPIPE,
                       static_cast<int>(r.length));
        it = waiting_.erase(it);
    }
    waitingChanged_.notify_all();
}

void EmulatedBridge::completeLocked(UMockdevIoctlData* urb, int status, int actualLength) {
    urbOf(urb)->status = status;
    urbOf(urb)->actual_length = actualLength;
    completed_[node_].push_back(urb);
}
