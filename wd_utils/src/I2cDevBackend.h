// The backend on a Linux I2C adapter (/dev/i2c-N) standing in for the bridge board: a packet
// interpreter of the bridge's commands over the adapter's bus. The layer above sees the bridge
// board's identity and endpoints, attached while the node can be opened and offers plain I2C
// transfers. The adapter has no GPIO
// lines and no direct-write port: those commands fail, the first GPIO one with a status that
// says why.
//
// A watch thread checks every pollInterval that the node still exists (a pulled USB adapter
// takes it away: a detach) or, while detached, opens it again (a new attachment). Transfers run
// on the caller's thread, bounded by the adapter's own time-out.
//
// Locks: ioMutex_ (one transaction at a time, and the file descriptor's life) is taken before
// stateMutex_; present() takes stateMutex_ only, so the layer's lock never waits for the bus.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "Backend.h"
#include "LinuxI2cBus.h"
#include "bridgeproto/PacketInterpreter.h"

namespace wdu {

class I2cDevBackend : public Backend {
  public:
    // gpioExplained is shared with the backends before and after this one on the same choice.
    I2cDevBackend(std::string node, std::shared_ptr<std::atomic<bool>> gpioExplained,
                  std::chrono::milliseconds pollInterval = std::chrono::milliseconds(200));
    ~I2cDevBackend() override;
    I2cDevBackend(const I2cDevBackend&) = delete;
    I2cDevBackend& operator=(const I2cDevBackend&) = delete;

    // Whether transfers reach addresses a kernel driver holds (WDU_I2cDevForce); read at each
    // transfer.
    static std::atomic<bool>& forced();

    // Opens the node if it is there and starts the watch; never fails.
    std::uint32_t start(PresenceListener listener) override;
    // Ends the watch and closes the node.
    void stop() override;
    bool present(DeviceIdentity& identity, std::uint64_t& serial) override;
    // WD_I2CDEV_ACCESS_DENIED while the node exists but may not be opened, and
    // WD_I2CDEV_NOT_PLAIN_I2C while it opens but offers no plain I2C transfers.
    std::uint32_t registrationStatus() override;
    // Only interface 0, setting 0 exists.
    std::uint32_t setInterface(std::uint64_t serial, std::uint32_t interfaceNum,
                               std::uint32_t alternateSetting) override;
    std::uint32_t deviceInfo(std::uint64_t serial, WDU_DEVICE& info) override;
    // A command runs its I2C transaction at once; its reply waits for the next read.
    std::uint32_t transfer(std::uint64_t serial, std::uint32_t pipe, bool read,
                           std::uint8_t* buffer, std::uint32_t length, std::uint32_t& moved,
                           std::uint32_t timeoutMs) override;
    // Drops unread replies; the adapter itself has nothing to reset.
    std::uint32_t reset(std::uint64_t serial) override;
    // The adapter's I2C_FUNCS bits and the node's descriptor, while attached.
    std::uint32_t adapter(std::uint64_t serial, std::uint32_t& functions, int& fd) override;
    // One SMBus block read or block process call on the adapter, under the transfers' lock.
    std::uint32_t blockTransfer(std::uint64_t serial, std::uint8_t address7, std::uint8_t command,
                                std::span<const std::uint8_t> out, std::span<std::uint8_t> in,
                                std::uint32_t& received, int& error) override;

  private:
    // Brings the attachment in line with the node; true when it changed.
    bool refresh();
    // Ends the attachment; called with both locks held.
    void closeLocked();
    void watchMain();
    // Success when serial is the live attachment; called with stateMutex_ held.
    std::uint32_t sameAttachmentLocked(std::uint64_t serial) const;
    // The same, taking stateMutex_.
    std::uint32_t sameAttachment(std::uint64_t serial);
    // Tells the listener that a transfer found the node gone; called with no lock held.
    void announceDeparture();

    const std::string node_;
    const std::chrono::milliseconds pollInterval_;

    std::mutex ioMutex_;
    LinuxI2cBus bus_;
    bridgeproto::PacketInterpreter interpreter_{bus_, nullptr};
    const std::shared_ptr<std::atomic<bool>> gpioExplained_;  // a GPIO command said why it fails

    std::mutex stateMutex_;
    int fd_ = -1;
    std::uint32_t functions_ = 0;  // the open node's I2C_FUNCS
    std::uint64_t serial_ = 0;     // of the live attachment; a new one at every open
    bool accessDenied_ = false;
    bool notPlainI2c_ = false;  // the node opened but offers no I2C_RDWR
    bool stopping_ = false;
    std::condition_variable wake_;
    PresenceListener listener_;
    std::thread watcher_;
};

}  // namespace wdu
