// A capture of the I2C traffic to a file: pcapng, classic pcap or VCD as the name asks
// (CaptureEncoder::forFile), "-" for standard output. Observes board links; every block is
// flushed as it is written, so a reader of a pipe sees each transaction at once and a run cut
// short leaves a file that opens. A failed write stops the capture; no failure is raised.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "board/BusObserver.h"
#include "client/CaptureEncoder.h"

namespace client {

class BusCapture : public board::BusObserver {
  public:
    // Microseconds since 1970.
    using Clock = std::function<std::uint64_t()>;

    // Opens the file (created or emptied) and writes its header; nullptr and the reason in `error`
    // ("capture.pcapng: Permission denied") when it cannot. No clock: the system clock.
    static std::unique_ptr<BusCapture> open(const std::string& path, const CaptureSource& source,
                                            std::string& error, Clock clock = {});
    // Closes the file (not standard output).
    ~BusCapture() override;
    BusCapture(const BusCapture&) = delete;
    BusCapture& operator=(const BusCapture&) = delete;

    // Writes the transaction and flushes; does nothing once a write failed.
    void onTransaction(const board::I2cTransaction& transaction) override;
    // True once a write failed, which ended the capture.
    bool failed() const { return file_ == nullptr; }
    // The file as opened ("-" for standard output).
    const std::string& path() const { return path_; }

    // The bridge as a front end names it: `named` when given, else VELMORIX_BRIDGE, else "usb".
    static std::string bridgeName(const char* named);

  private:
    BusCapture(std::string path, std::FILE* file, std::unique_ptr<CaptureEncoder> encoder,
               Clock clock);
    bool write(const std::string& bytes);

    std::string path_;
    std::FILE* file_;
    bool ownsFile_;
    std::unique_ptr<CaptureEncoder> encoder_;
    Clock clock_;
};

}  // namespace client
