// The backend on a real bridge board through libusb-1.0, on a context of its own.
//
// A worker thread keeps the list of USB devices (from hotplug events, or from polling the device
// list every 500 ms where hotplug is missing) and picks the bridge: the first device that some
// registration's match table wants. Each time a device becomes the bridge it is a new attachment
// with a new serial. The device is opened, its kernel driver detached and its first interface
// claimed at the first operation that needs it (normally the attach handler's interface
// selection), and released and closed when the attachment ends or the backend stops (the layer
// stops it when the last registration ends, so that another process can claim the board). An
// event thread runs libusb's event handling.
//
// Locks: mutex_ guards the device list and the attachment; it is taken under the layer's lock
// (present, deviceInfo, setMatchTables) and so is never held while calling libusb I/O or the
// listener. Device I/O runs on the caller's thread, bounded by the transfer's own time-out.
//
// When libusb cannot start (no USB on the machine) the backend starts anyway and never finds a
// device.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Backend.h"

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;

namespace wdu {

class UsbBackend : public Backend {
  public:
    // forcePolling watches by polling the device list even where libusb offers hotplug.
    explicit UsbBackend(bool forcePolling = false);
    ~UsbBackend() override;
    UsbBackend(const UsbBackend&) = delete;
    UsbBackend& operator=(const UsbBackend&) = delete;

    // Starts libusb and the watch; succeeds (finding nothing) when libusb is unavailable.
    std::uint32_t start(PresenceListener listener) override;
    // Ends the watch, waits for running operations, closes the device and ends libusb.
    void stop() override;
    bool present(DeviceIdentity& identity, std::uint64_t& serial) override;
    void setMatchTables(std::vector<WDU_MATCH_TABLE> tables) override;
    std::uint32_t registrationStatus() override { return WD_STATUS_SUCCESS; }
    // Opens the device if needed, claims the interface and selects the setting.
    std::uint32_t setInterface(std::uint64_t serial, std::uint32_t interfaceNum,
                               std::uint32_t alternateSetting) override;
    // From the descriptors read at arrival; never touches the device.
    std::uint32_t deviceInfo(std::uint64_t serial, WDU_DEVICE& info) override;
    // One bulk transfer; a time-out keeps the bytes that did move but reports the time-out.
    std::uint32_t transfer(std::uint64_t serial, std::uint32_t pipe, bool read,
                           std::uint8_t* buffer, std::uint32_t length, std::uint32_t& moved,
                           std::uint32_t timeoutMs) override;
    // A USB reset; one that makes the device enumerate again ends the attachment.
    std::uint32_t reset(std::uint64_t serial) override;

    // The device node of the last open refused for lack of access, "" when none was.
    std::string deniedNode() override;

    // True while watching through hotplug events rather than polling (for tests).
    bool usesHotplug() const { return hotplug_; }
    // Takes an arrival or departure from libusb's hotplug callback; never blocks.
    void queueChange(libusb_device* device, bool arrived);

  private:
    struct Description;
    struct KnownDevice;
    struct Attachment;
    struct Change {
        libusb_device* device = nullptr;  // holds a reference
        bool arrived = true;
    };
    class Operation;

    void workerMain();
    void eventMain();
    // Applies arrivals and departures; true when the bridge changed.
    bool applyChanges(std::vector<Change> changes);
    std::vector<Change> pollChanges();
    // True while libusb still lists the device (it drops a device the moment it sees it go).
    bool listed(libusb_device* device);
    // Re-picks the bridge after a change of devices or tables; true when it changed.
    bool chooseLocked();
    bool wantedLocked(const DeviceIdentity& identity) const;
    // The attachment of serial for an operation, or a status saying why there is none.
    std::shared_ptr<Attachment> begin(std::uint64_t serial, std::uint32_t& status);
    // Begins an operation on the attachment of serial (op holds it from then on) and opens the
    // device. The status says why not: the attachment ended, the operation's arguments were
    // refused (argumentStatus, given after the attachment so that a gone device comes first), or
    // opening failed.
    std::uint32_t openOperation(std::uint64_t serial, std::uint32_t argumentStatus,
                                std::optional<Operation>& op);
    // Opens the device and claims its first interface once per attachment.
    std::uint32_t ensureOpen(Attachment& attachment);
    // The device went away under an operation: ends the attachment and has the worker tell the
    // listener.
    void markDead(const Attachment& attachment);
    // Tells the listener on this thread, so that the layer has queued the detach before a failed
    // operation returns; does nothing once stopping. Never called with mutex_ held.
    void announceNow();
    // announceNow() when status says the device is gone.
    void announceIfGone(std::uint32_t status);

    const bool forcePolling_;
    libusb_context* ctx_ = nullptr;
    bool hotplug_ = false;
    int hotplugHandle_ = 0;
    PresenceListener listener_;
    std::thread worker_;
    std::thread eventThread_;
    std::atomic<bool> eventStop_{false};

    // Serialises opening and closing device handles: a close racing an open that reuses its file
    // descriptor number confuses fd-tracking layers such as umockdev's.
    std::mutex openCloseMutex_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    bool started_ = false;
    bool stopping_ = false;
    bool announce_ = false;
    std::vector<Change> incoming_;
    std::vector<KnownDevice> known_;
    std::vector<WDU_MATCH_TABLE> tables_;
    std::shared_ptr<Attachment> current_;
    std::vector<std::shared_ptr<Attachment>> retired_;  // closed by the worker, off any lock
    std::uint64_t nextSerial_ = 1;
    std::string deniedNode_;
    int operations_ = 0;
};

}  // namespace wdu
