#include "SimBackend.h"

namespace wdu {

SimBackend::SimBackend(std::shared_ptr<bridgesim::Board> board) : board_(std::move(board)) {}

SimBackend::~SimBackend() {
    stop();
}

std::uint32_t SimBackend::start(PresenceListener listener) {
    listenerId_ = board_->addConnectionListener([listener](bool) { listener(); });
    return WD_STATUS_SUCCESS;
}

void SimBackend::stop() {
    if (listenerId_ != 0) {
        board_->removeConnectionListener(listenerId_);
        listenerId_ = 0;
    }
}

bool SimBackend::present(DeviceIdentity& identity, std::uint64_t& serial) {
    if (!board_->attached()) {
        return false;
    }
    identity.vendorId = board_->vendorId();
    identity.productId = board_->productId();
    identity.deviceClass = board_->deviceClass();
    identity.interfaceClass = board_->interfaceClass();
    serial = board_->attachmentSerial();
    return true;
}

std::uint32_t SimBackend::registrationStatus() {
    return board_->registrationFails() ? WD_REGISTRATION_FAILED : WD_STATUS_SUCCESS;
}

std::uint32_t SimBackend::sameAttachment(std::uint64_t serial) const {
    return board_->attached() && board_->attachmentSerial() == serial ? WD_STATUS_SUCCESS
                                                                      : WD_DEVICE_GONE;
}

std::uint32_t SimBackend::setInterface(std::uint64_t serial, std::uint32_t interfaceNum,
                                       std::uint32_t alternateSetting) {
    if (const std::uint32_t status = sameAttachment(serial)) {
        return status;
    }
    return board_->selectInterface(interfaceNum, alternateSetting) ? WD_STATUS_SUCCESS
                                                                   : WD_INTERFACE_SELECT_FAILED;
}

std::uint32_t SimBackend::deviceInfo(std::uint64_t serial, WDU_DEVICE& info) {
    if (const std::uint32_t status = sameAttachment(serial)) {
        return status;
    }
    info.wVendorId = board_->vendorId();
    info.wProductId = board_->productId();
    info.dwInterfaceNum = 0;
    info.dwAlternateSetting = board_->activeAlternateSetting();
    info.dwNumEndpoints = board_->endpointCount();
    return WD_STATUS_SUCCESS;
}

std::uint32_t SimBackend::transfer(std::uint64_t serial, std::uint32_t pipe, bool read,
                                   std::uint8_t* buffer, std::uint32_t length, std::uint32_t& moved,
                                   std::uint32_t timeoutMs) {
    moved = 0;
    if (const std::uint32_t status = sameAttachment(serial)) {
        board_->countRejectedTransfer();
        return status;
    }
    if (pipe > 0xFF) {
        return WD_STALL;
    }
    const bridgesim::TransferResult result =
        board_->transfer(static_cast<std::uint8_t>(pipe), read, buffer, length, timeoutMs);
    moved = result.length;
    switch (result.status) {
        case bridgesim::TransferStatus::Ok:
            return WD_STATUS_SUCCESS;
        case bridgesim::TransferStatus::NoDevice:
            return WD_DEVICE_GONE;
        case bridgesim::TransferStatus::NoEndpoint:
            return WD_NO_ENDPOINT;
        case bridgesim::TransferStatus::Stall:
            return WD_STALL;
        case bridgesim::TransferStatus::TimedOut:
            return WD_TIME_OUT_EXPIRED;
    }
    return WD_OPERATION_FAILED;
}

std::uint32_t SimBackend::reset(std::uint64_t serial) {
    if (const std::uint32_t status = sameAttachment(serial)) {
        return status;
    }
    board_->reset();
    return WD_STATUS_SUCCESS;
}

}  // namespace wdu
