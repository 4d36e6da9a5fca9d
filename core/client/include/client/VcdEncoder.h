// VCD for sigrok and PulseView: SCL and SDA drawn from the messages at the bus rate (start,
// address and R/W, ACK or NAK, data, repeated start, stop), transactions ten bit times apart.
// The timing is synthesised, which the header says. A transaction that timed out, failed or lost
// the board is not drawn: what it did on the bus is not known.
#pragma once

#include <cstdint>

#include "client/CaptureEncoder.h"

namespace client {

class VcdEncoder : public CaptureEncoder {
  public:
    // Draws at the source's rate, on the coarsest timescale that holds a quarter bit whole.
    explicit VcdEncoder(CaptureSource source);
    // The declarations (timescale, the two wires) and the idle bus.
    std::string header() override;
    // The waveform of one transaction.
    std::string transaction(const board::I2cTransaction& t, std::uint64_t timeUs) override;

  private:
    // Moves the time on by `quarters` quarter bit periods, then drives `wire` ('!' SCL, '"' SDA).
    void drive(int quarters, char wire, bool high);
    void start();
    void repeatedStart();
    void stop();
    void bit(bool high);
    // Eight bits, most significant first, then the acknowledge bit (low = ACK).
    void byte(std::uint8_t value, bool nak);

    CaptureSource source_;
    // Timescale units per quarter bit period, and the timescale's text.
    std::uint64_t quarter_ = 1;
    std::string timescale_;
    std::uint64_t time_ = 0;
    std::uint64_t lastWritten_ = 0;
    bool scl_ = true;
    bool sda_ = true;
    std::string out_;
};

}  // namespace client
