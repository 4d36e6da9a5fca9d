// pcapng: a section header naming the program, one interface of link type 209 naming the bridge,
// and an enhanced packet block per message, whose comment gives an outcome the link type has no
// field for ("NAK", "timed out", "board gone"); it goes on the transaction's last message.
#pragma once

#include "client/CaptureEncoder.h"

namespace client {

class PcapngEncoder : public CaptureEncoder {
  public:
    // Names the program and the bridge as the source says.
    explicit PcapngEncoder(CaptureSource source);
    // The section header block and the interface description block.
    std::string header() override;
    // One enhanced packet block per message.
    std::string transaction(const board::I2cTransaction& t, std::uint64_t timeUs) override;

  private:
    CaptureSource source_;
};

}  // namespace client
