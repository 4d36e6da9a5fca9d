// Classic pcap of link type 209: a file header and a record per message, without the outcome
// (the format has no place for a comment).
#pragma once

#include "client/CaptureEncoder.h"

namespace client {

class PcapEncoder : public CaptureEncoder {
  public:
    // The file header: version 2.4, microsecond timestamps, link type 209.
    std::string header() override;
    // One record per message.
    std::string transaction(const board::I2cTransaction& t, std::uint64_t timeUs) override;
};

}  // namespace client
