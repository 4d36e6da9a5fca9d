#include "client/VcdEncoder.h"

#include <algorithm>
#include <utility>

namespace client {

namespace {

constexpr int kIdleBits = 10;
constexpr char kScl = '!';
constexpr char kSda = '"';

}  // namespace

VcdEncoder::VcdEncoder(CaptureSource source) : source_(std::move(source)) {
    // The coarsest timescale (1 ns to 1 us) that holds a quarter bit period whole, so that a
    // reader filling samples between changes needs few of them.
    const int rate = std::max(source_.rateHz, 1);
    const std::uint64_t quarterNs = std::max<std::uint64_t>(1, (250000000ULL + rate / 2) / rate);
    static constexpr std::pair<std::uint64_t, const char*> kScales[] = {
        {1000, "1 us"}, {100, "100 ns"}, {10, "10 ns"}, {1, "1 ns"}};
    for (const auto& [ns, text] : kScales) {
        if (quarterNs % ns == 0) {
            quarter_ = quarterNs / ns;
            timescale_ = text;
            break;
        }
    }
}

std::string VcdEncoder::header() {
    std::string out;
    out += "$comment\n  " + source_.program + ": I2C messages on " + source_.bridge +
           ". The timing is synthesised at " + std::to_string(source_.rateHz) +
           " Hz from the messages, not measured.\n$end\n";
    out += "$timescale " + timescale_ + " $end\n";
    out += "$scope module i2c $end\n";
    out += "$var wire 1 ! scl $end\n";
    out += "$var wire 1 \" sda $end\n";
    out += "$upscope $end\n$enddefinitions $end\n";
    out += "#0\n$dumpvars\n1!\n1\"\n$end\n";
    return out;
}

void VcdEncoder::drive(int quarters, char wire, bool high) {
    time_ += quarter_ * static_cast<std::uint64_t>(quarters);
    bool& level = wire == kScl ? scl_ : sda_;
    if (level == high) {
        return;
    }
    level = high;
    if (time_ != lastWritten_) {
        out_ += "#" + std::to_string(time_) + "\n";
        lastWritten_ = time_;
    }
    out_.push_back(high ? '1' : '0');
    out_.push_back(wire);
    out_.push_back('\n');
}

void VcdEncoder::start() {
    drive(kIdleBits * 4, kSda, false);
    drive(2, kScl, false);
}

void VcdEncoder::repeatedStart() {
    drive(1, kSda, true);
    drive(1, kScl, true);
    drive(1, kSda, false);
    drive(1, kScl, false);
}

void VcdEncoder::stop() {
    drive(1, kSda, false);
    drive(1, kScl, true);
    drive(1, kSda, true);
}

void VcdEncoder::bit(bool high) {
    drive(1, kSda, high);
    drive(1, kScl, true);
    drive(2, kScl, false);
}

void VcdEncoder::byte(std::uint8_t value, bool nak) {
    for (int i = 7; i >= 0; --i) {
        bit(((value >> i) & 1) != 0);
    }
    bit(nak);
}

std::string VcdEncoder::transaction(const board::I2cTransaction& t, std::uint64_t) {
    using board::I2cOutcome;
    if (t.outcome != I2cOutcome::Acknowledged && t.outcome != I2cOutcome::AddressNak &&
        t.outcome != I2cOutcome::Short) {
        return {};
    }
    out_.clear();
    for (std::size_t m = 0; m < t.messages.size(); ++m) {
        const board::I2cMessage& message = t.messages[m];
        const bool last = m + 1 == t.messages.size();
        if (m == 0) {
            start();
        } else {
            repeatedStart();
        }
        byte(message.addressByte, t.outcome == I2cOutcome::AddressNak);
        for (std::size_t i = 0; i < message.data.size(); ++i) {
            const bool lastByte = i + 1 == message.data.size();
            // The controller ends a read with a NAK; a short write ends with the target's.
            const bool nak =
                message.read() ? lastByte : last && lastByte && t.outcome == I2cOutcome::Short;
            byte(message.data[i], nak);
        }
    }
    stop();
    // A reader sees the stop only at a sample after it: the idle bus is written down too.
    time_ += quarter_ * 4;
    out_ += "#" + std::to_string(time_) + "\n";
    lastWritten_ = time_;
    return std::move(out_);
}

}  // namespace client
