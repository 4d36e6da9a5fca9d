// A capture file format: the bytes that open the file, and the bytes of each I2C transaction.
// Encoders never fail; the capture writes what they give.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "board/I2cTransaction.h"

namespace client {

// The bus clocks a waveform can be drawn at, in Hz.
inline constexpr int kMinCaptureRateHz = 1000;
inline constexpr int kMaxCaptureRateHz = 5000000;
inline constexpr int kDefaultCaptureRateHz = 100000;

// What a capture file names and how it draws the bus.
struct CaptureSource {
    // The program and its version, such as "velmorix-i2c 3.1.6".
    std::string program;
    // The bridge as the front end named it, such as "sim:bench.json".
    std::string bridge;
    // The bus clock a waveform is drawn at, in Hz.
    int rateHz = kDefaultCaptureRateHz;
};

class CaptureEncoder {
  public:
    virtual ~CaptureEncoder() = default;
    // The bytes that open the file.
    virtual std::string header() = 0;
    // The bytes of one transaction that started at `timeUs` (microseconds since 1970); empty
    // when the format has nothing to show of it.
    virtual std::string transaction(const board::I2cTransaction& t, std::uint64_t timeUs) = 0;

    // The encoder a file name asks for: VCD for ".vcd", classic pcap for ".pcap", else pcapng
    // (also for "-", standard output).
    static std::unique_ptr<CaptureEncoder> forFile(const std::string& path,
                                                   const CaptureSource& source);
};

}  // namespace client
