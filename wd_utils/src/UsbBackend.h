// The backend on a real bridge board through libusb. Until the libusb code lands it starts
// cleanly and never finds a device, so registrations succeed and no attach ever comes.
#pragma once

#include "Backend.h"

namespace wdu {

class UsbBackend : public Backend {
  public:
    std::uint32_t start(PresenceListener listener) override;
    void stop() override;
    bool present(DeviceIdentity& identity, std::uint64_t& serial) override;
    std::uint32_t registrationStatus() override { return WD_STATUS_SUCCESS; }
    std::uint32_t setInterface(std::uint64_t serial, std::uint32_t interfaceNum,
                               std::uint32_t alternateSetting) override;
    std::uint32_t deviceInfo(std::uint64_t serial, WDU_DEVICE& info) override;
    std::uint32_t transfer(std::uint64_t serial, std::uint32_t pipe, bool read,
                           std::uint8_t* buffer, std::uint32_t length, std::uint32_t& moved,
                           std::uint32_t timeoutMs) override;
    std::uint32_t reset(std::uint64_t serial) override;
};

}  // namespace wdu
