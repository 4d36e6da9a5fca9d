#include "client/BusCapture.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "client/PcapEncoder.h"
#include "client/PcapngEncoder.h"
#include "client/VcdEncoder.h"

namespace client {

namespace {

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::uint64_t systemMicroseconds() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<microseconds>(system_clock::now().time_since_epoch()).count());
}

}  // namespace

std::unique_ptr<CaptureEncoder> CaptureEncoder::forFile(const std::string& path,
                                                        const CaptureSource& source) {
    if (endsWith(path, ".vcd")) {
        return std::make_unique<VcdEncoder>(source);
    }
    if (endsWith(path, ".pcap")) {
        return std::make_unique<PcapEncoder>();
    }
    return std::make_unique<PcapngEncoder>(source);
}

BusCapture::BusCapture(std::string path, std::FILE* file, std::unique_ptr<CaptureEncoder> encoder,
                       Clock clock)
    : path_(std::move(path)),
      file_(file),
      ownsFile_(file != stdout),
      encoder_(std::move(encoder)),
      clock_(clock ? std::move(clock) : Clock(systemMicroseconds)) {}

std::unique_ptr<BusCapture> BusCapture::open(const std::string& path, const CaptureSource& source,
                                             std::string& error, Clock clock) {
    std::FILE* file = nullptr;
    if (path == "-") {
#ifdef _WIN32
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        file = stdout;
    } else {
        file = std::fopen(path.c_str(), "wb");
        if (file == nullptr) {
            error = path + ": " + std::strerror(errno);
            return nullptr;
        }
    }
    std::unique_ptr<BusCapture> capture(
        new BusCapture(path, file, CaptureEncoder::forFile(path, source), std::move(clock)));
    if (!capture->write(capture->encoder_->header())) {
        error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    return capture;
}

BusCapture::~BusCapture() {
    if (file_ != nullptr && ownsFile_) {
        std::fclose(file_);
    }
}

bool BusCapture::write(const std::string& bytes) {
    if (file_ == nullptr) {
        return false;
    }
    if (bytes.empty()) {
        return true;
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size() &&
        std::fflush(file_) == 0) {
        return true;
    }
    if (ownsFile_) {
        std::fclose(file_);
    }
    file_ = nullptr;
    return false;
}

void BusCapture::onTransaction(const board::I2cTransaction& transaction) {
    if (file_ != nullptr) {
        write(encoder_->transaction(transaction, clock_()));
    }
}

std::string BusCapture::bridgeName(const char* named) {
    if (named != nullptr && *named != '\0') {
        return named;
    }
    const char* env = std::getenv("VELMORIX_BRIDGE");
    return env != nullptr && *env != '\0' ? env : "usb";
}

}  // namespace client
