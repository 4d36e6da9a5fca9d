// The backend on the simulated bridge board.
#pragma once

#include <memory>

#include "Backend.h"
#include "bridgesim/Board.h"

namespace wdu {

class SimBackend : public Backend {
  public:
    explicit SimBackend(std::shared_ptr<bridgesim::Board> board);
    ~SimBackend() override;

    std::uint32_t start(PresenceListener listener) override;
    void stop() override;
    bool present(DeviceIdentity& identity, std::uint64_t& serial) override;
    std::uint32_t registrationStatus() override;
    std::uint32_t setInterface(std::uint64_t serial, std::uint32_t interfaceNum,
                               std::uint32_t alternateSetting) override;
    std::uint32_t deviceInfo(std::uint64_t serial, WDU_DEVICE& info) override;
    std::uint32_t transfer(std::uint64_t serial, std::uint32_t pipe, bool read,
                           std::uint8_t* buffer, std::uint32_t length, std::uint32_t& moved,
                           std::uint32_t timeoutMs) override;
    std::uint32_t reset(std::uint64_t serial) override;

  private:
    // Success when the board is still in the attachment the handle was given for.
    std::uint32_t sameAttachment(std::uint64_t serial) const;

    std::shared_ptr<bridgesim::Board> board_;
    int listenerId_ = 0;
};

}  // namespace wdu
