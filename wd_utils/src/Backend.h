// One way of reaching the bridge board behind the WDU_* operations: libusb, the simulation or (on
// Linux) a kernel I2C adapter running the bridge's packet interpreter.
// A backend handles a single device, the bridge board; an attachment serial tells one attachment
// of it from the next, so a handle given for an earlier attachment never reaches a later one.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "wd_utils.h"
#include "wd_utils_i2cdev.h"

namespace wdu {

// What matching looks at.
struct DeviceIdentity {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint8_t deviceClass = 0;
    std::uint8_t deviceSubClass = 0;
    std::uint8_t interfaceClass = 0;
    std::uint8_t interfaceSubClass = 0;
    std::uint8_t interfaceProtocol = 0;
};

// True when a match table takes the device: the same vendor and product, and each class field 0
// (any) or equal.
inline bool matchTableTakes(const WDU_MATCH_TABLE& table, const DeviceIdentity& device) {
    const auto classMatches = [](std::uint8_t wanted, std::uint8_t actual) {
        return wanted == 0 || wanted == actual;
    };
    return table.wVendorId == device.vendorId && table.wProductId == device.productId &&
           classMatches(table.bDeviceClass, device.deviceClass) &&
           classMatches(table.bDeviceSubClass, device.deviceSubClass) &&
           classMatches(table.bInterfaceClass, device.interfaceClass) &&
           classMatches(table.bInterfaceSubClass, device.interfaceSubClass) &&
           classMatches(table.bInterfaceProtocol, device.interfaceProtocol);
}

class Backend {
  public:
    // Hears each arrival and departure; may be called on any thread.
    using PresenceListener = std::function<void()>;

    virtual ~Backend() = default;

    // Starts watching for the board. Returns a status; the listener runs after every change.
    virtual std::uint32_t start(PresenceListener listener) = 0;
    // Stops watching; no listener call is running or follows once it returns.
    virtual void stop() = 0;
    // True with the identity and attachment serial while the board is present.
    virtual bool present(DeviceIdentity& identity, std::uint64_t& serial) = 0;
    // Which devices the registrations want, so a backend that sees many devices can pick the
    // bridge among them. Called with the layer's lock held: must not block or call the listener.
    virtual void setMatchTables(std::vector<WDU_MATCH_TABLE> /*tables*/) {}
    // Status a new registration gets (0, or a fault of the simulation).
    virtual std::uint32_t registrationStatus() = 0;
    virtual std::uint32_t setInterface(std::uint64_t serial, std::uint32_t interfaceNum,
                                       std::uint32_t alternateSetting) = 0;
    virtual std::uint32_t deviceInfo(std::uint64_t serial, WDU_DEVICE& info) = 0;
    // Bulk transfer; moved gets the byte count. A short read is a success.
    virtual std::uint32_t transfer(std::uint64_t serial, std::uint32_t pipe, bool read,
                                   std::uint8_t* buffer, std::uint32_t length, std::uint32_t& moved,
                                   std::uint32_t timeoutMs) = 0;
    virtual std::uint32_t reset(std::uint64_t serial) = 0;
    // The device node whose opening was last refused with WD_ACCESS_DENIED; "" when none was.
    virtual std::string deniedNode() { return {}; }
    // A Linux adapter's I2C_FUNCS bits and node descriptor (WDU_I2cDevAdapter); any other
    // backend has none.
    virtual std::uint32_t adapter(std::uint64_t /*serial*/, std::uint32_t& /*functions*/,
                                  int& /*fd*/) {
        return WD_I2CDEV_NOT_AN_ADAPTER;
    }
    // A Linux adapter's SMBus block read or block process call (WDU_I2cDevBlockTransfer); in
    // holds 32 bytes, error gets the adapter's errno.
    virtual std::uint32_t blockTransfer(std::uint64_t /*serial*/, std::uint8_t /*address7*/,
                                        std::uint8_t /*command*/,
                                        std::span<const std::uint8_t> /*out*/,
                                        std::span<std::uint8_t> /*in*/, std::uint32_t& received,
                                        int& error) {
        received = 0;
        error = 0;
        return WD_I2CDEV_NOT_AN_ADAPTER;
    }
};

}  // namespace wdu
