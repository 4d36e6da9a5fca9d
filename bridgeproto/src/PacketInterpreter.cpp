#include "bridgeproto/PacketInterpreter.h"

#include <algorithm>
#include <cstring>

namespace bridgeproto {

PacketInterpreter::PacketInterpreter(I2cBus& bus, BridgePorts* ports) : bus_(bus), ports_(ports) {}

bool PacketInterpreter::endpointServes(std::uint8_t endpoint, bool read) {
    const bool exists =
        std::ranges::find(velmorix::kBridgeEndpoints, endpoint) != velmorix::kBridgeEndpoints.end();
    return exists && read == ((endpoint & 0x80) != 0);
}

bool PacketInterpreter::isPortEndpoint(std::uint8_t endpoint) {
    return endpoint == kGpioOut || endpoint == kGpioIn || endpoint == kDirectOut;
}

PacketStatus PacketInterpreter::command(std::uint8_t endpoint,
                                        std::span<const std::uint8_t> bytes) {
    if (!endpointServes(endpoint, false)) {
        return PacketStatus::Stall;
    }
    if (endpoint == kI2cOut) {
        return i2cCommand(bytes);
    }
    if (ports_ == nullptr) {
        return PacketStatus::NoPorts;
    }
    if (endpoint == kGpioOut) {
        ports_->setGpio(bytes.first(std::min<std::size_t>(bytes.size(), 4)));
        hold(gpioReply_, GpioStatusReply::bytes(ports_->gpioStatus()));
    } else if (const auto direct = readDirectWrite(bytes)) {
        ports_->directWrite(direct->address, direct->data);
    }
    return PacketStatus::Ok;
}

PacketStatus PacketInterpreter::i2cCommand(std::span<const std::uint8_t> bytes) {
    std::array<std::uint8_t, kI2cReplyCapacity> reply{};
    std::uint32_t replyLength = 1;
    BusResult result;
    if (const auto fields = readI2cCommand(bytes)) {
        const std::uint8_t address = fields->address;
        // The bytes to send come from the packet length; byte 0 only gives a read's count.
        const std::span<const std::uint8_t> payload = fields->payload;
        if (!fields->isRead()) {
            result = bus_.write(address, payload);
            if (result.status == BusStatus::Ok) {
                // The address byte and the payload at most, whatever the bus claims.
                reply[0] = static_cast<std::uint8_t>(
                    std::min<std::size_t>(result.count, payload.size() + 1));
            }
        } else {
            const std::uint32_t count = fields->count;
            result =
                bus_.writeRead(address, payload, std::span<std::uint8_t>(reply.data() + 1, count));
            if (result.status == BusStatus::Ok && result.count > 0) {
                // An adapter's driver may claim more than was asked: the slot holds no more.
                const std::uint32_t moved = std::min(result.count, count);
                reply[0] = static_cast<std::uint8_t>(moved);
                replyLength = moved + 1;
            }
        }
    }
    if (result.status == BusStatus::Gone) {
        dropReplies();
        return PacketStatus::BusGone;
    }
    if (result.status != BusStatus::Ok) {
        reply.fill(0);
        replyLength = 1;
    }
    hold(i2cReply_, std::span<const std::uint8_t>(reply.data(), replyLength));
    switch (result.status) {
        case BusStatus::TimedOut:
            return PacketStatus::BusTimedOut;
        case BusStatus::ArbitrationLost:
            return PacketStatus::BusArbitrationLost;
        case BusStatus::Failed:
            return PacketStatus::BusFailed;
        case BusStatus::Busy:
            return PacketStatus::BusBusy;
        case BusStatus::Unsupported:
            return PacketStatus::BusUnsupported;
        default:
            return PacketStatus::Ok;
    }
}

bool PacketInterpreter::replyHeld(std::uint8_t inEndpoint) const {
    return (inEndpoint == kGpioIn ? gpioReply_ : i2cReply_).held;
}

PacketStatus PacketInterpreter::reply(std::uint8_t inEndpoint, std::span<std::uint8_t> buffer,
                                      std::uint32_t& moved) {
    moved = 0;
    if (!endpointServes(inEndpoint, true)) {
        return PacketStatus::Stall;
    }
    if (inEndpoint == kGpioIn && ports_ == nullptr) {
        return PacketStatus::NoPorts;
    }
    Reply& slot = slotOf(inEndpoint);
    if (!slot.held) {
        return PacketStatus::NoReply;
    }
    moved = std::min(static_cast<std::uint32_t>(buffer.size()), slot.length);
    if (moved > 0) {
        std::memcpy(buffer.data(), slot.bytes.data(), moved);
    }
    slot.held = false;
    return PacketStatus::Ok;
}

void PacketInterpreter::dropReplies() {
    gpioReply_.held = false;
    i2cReply_.held = false;
}

void PacketInterpreter::hold(Reply& slot, std::span<const std::uint8_t> bytes) {
    const auto length = static_cast<std::uint32_t>(bytes.size());
    slot.length = length > shortReply_ ? length - shortReply_ : 0;
    std::memcpy(slot.bytes.data(), bytes.data(), slot.length);
    slot.held = true;
}

}  // namespace bridgeproto
