#include "UsbBackend.h"

namespace wdu {

std::uint32_t UsbBackend::start(PresenceListener) {
    return WD_STATUS_SUCCESS;
}

void UsbBackend::stop() {}

bool UsbBackend::present(DeviceIdentity&, std::uint64_t&) {
    return false;
}

std::uint32_t UsbBackend::setInterface(std::uint64_t, std::uint32_t, std::uint32_t) {
    return WD_DEVICE_NOT_FOUND;
}

std::uint32_t UsbBackend::deviceInfo(std::uint64_t, WDU_DEVICE&) {
    return WD_DEVICE_NOT_FOUND;
}

std::uint32_t UsbBackend::transfer(std::uint64_t, std::uint32_t, bool, std::uint8_t*, std::uint32_t,
                                   std::uint32_t& moved, std::uint32_t) {
    moved = 0;
    return WD_DEVICE_NOT_FOUND;
}

std::uint32_t UsbBackend::reset(std::uint64_t) {
    return WD_DEVICE_NOT_FOUND;
}

}  // namespace wdu
