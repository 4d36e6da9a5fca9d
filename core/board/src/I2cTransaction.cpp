#include "board/I2cTransaction.h"

#include <algorithm>

#include "wd_utils.h"

namespace board {

namespace {

I2cOutcome outcomeOfStatus(std::uint32_t status) {
    switch (status) {
        case WD_TIME_OUT_EXPIRED:
            return I2cOutcome::TimedOut;
        case WD_DEVICE_GONE:
        case WD_DEVICE_NOT_FOUND:
        case WD_INVALID_HANDLE:
            return I2cOutcome::BoardGone;
        default:
            return I2cOutcome::Failed;
    }
}

std::vector<std::uint8_t> firstBytes(const std::vector<std::uint8_t>& bytes, int count) {
    const auto n = static_cast<std::size_t>(std::clamp(count, 0, static_cast<int>(bytes.size())));
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)};
}

}  // namespace

std::string I2cTransaction::outcomeText() const {
    switch (outcome) {
        case I2cOutcome::Acknowledged:
            return {};
        case I2cOutcome::AddressNak:
            return "NAK";
        case I2cOutcome::Short:
            return "short: " + std::to_string(done) + " of " + std::to_string(meant) + " bytes";
        case I2cOutcome::TimedOut:
            return "timed out";
        case I2cOutcome::BoardGone:
            return "board gone";
        case I2cOutcome::Failed:
            break;
    }
    return "failed";
}

I2cTransaction decodeI2cExchange(const std::vector<std::uint8_t>& packet, std::uint32_t status,
                                 const Reply& reply) {
    I2cTransaction t;
    if (packet.size() < 2) {
        return t;
    }
    const std::uint8_t address = packet[1];
    const std::vector<std::uint8_t> payload(packet.begin() + 2, packet.end());
    const bool read = (address & 1) != 0;
    const int count = reply.byteAt(0);
    const auto writeAddress = static_cast<std::uint8_t>(address & 0xFE);
    if (!read) {
        t.meant = static_cast<int>(payload.size());
        t.messages.push_back({writeAddress, payload});
    } else {
        t.meant = packet[0];
        if (!payload.empty()) {
            t.messages.push_back({writeAddress, payload});
        }
        t.messages.push_back({address, {}});
    }
    if (status != 0) {
        t.outcome = outcomeOfStatus(status);
        return t;
    }
    if (count == 0) {
        // Nothing acknowledged: the address of the first message went unanswered.
        t.outcome = I2cOutcome::AddressNak;
        t.messages.resize(1);
        t.messages.front().data.clear();
        return t;
    }
    I2cMessage& last = t.messages.back();
    if (read) {
        t.done = std::min(count, t.meant);
        for (int i = 1; i <= t.done; ++i) {
            last.data.push_back(reply.byteAt(static_cast<std::size_t>(i)));
        }
    } else {
        // The count includes the address byte; the first byte not acknowledged went out too.
        t.done = std::min(count - 1, t.meant);
        last.data = firstBytes(payload, t.done + 1);
    }
    if (t.done < t.meant) {
        t.outcome = I2cOutcome::Short;
    }
    return t;
}

}  // namespace board
