#include "client/PcapngEncoder.h"

#include <utility>

#include "client/LinuxI2cPacket.h"

namespace client {

namespace {

constexpr std::uint32_t kSectionHeaderBlock = 0x0A0D0D0A;
constexpr std::uint32_t kInterfaceDescriptionBlock = 1;
constexpr std::uint32_t kEnhancedPacketBlock = 6;
constexpr std::uint16_t kEndOfOptions = 0;
constexpr std::uint16_t kComment = 1;
constexpr std::uint16_t kShbUserApplication = 4;
constexpr std::uint16_t kIfName = 2;

void pad(std::string& out) {
    out.append((4 - out.size() % 4) % 4, '\0');
}

void appendOption(std::string& out, std::uint16_t code, const std::string& value) {
    if (value.empty()) {
        return;
    }
    appendLe16(out, code);
    appendLe16(out, static_cast<std::uint16_t>(value.size()));
    std::string body = value;
    pad(body);
    out += body;
}

void endOptions(std::string& out) {
    appendLe16(out, kEndOfOptions);
    appendLe16(out, 0);
}

// type, total length, body, total length; the body is padded to 32 bits.
std::string block(std::uint32_t type, std::string body) {
    pad(body);
    const auto total = static_cast<std::uint32_t>(body.size() + 12);
    std::string out;
    appendLe32(out, type);
    appendLe32(out, total);
    out += body;
    appendLe32(out, total);
    return out;
}

}  // namespace

PcapngEncoder::PcapngEncoder(CaptureSource source) : source_(std::move(source)) {}

std::string PcapngEncoder::header() {
    std::string shb;
    appendLe32(shb, 0x1A2B3C4D);
    appendLe16(shb, 1);
    appendLe16(shb, 0);
    // Section length: not known while the capture streams.
    appendLe32(shb, 0xFFFFFFFF);
    appendLe32(shb, 0xFFFFFFFF);
    appendOption(shb, kShbUserApplication, source_.program);
    endOptions(shb);
    std::string idb;
    appendLe16(idb, static_cast<std::uint16_t>(kLinkTypeI2cLinux));
    appendLe16(idb, 0);
    appendLe32(idb, 0);  // no snapshot limit
    appendOption(idb, kIfName, source_.bridge);
    endOptions(idb);
    return block(kSectionHeaderBlock, shb) + block(kInterfaceDescriptionBlock, idb);
}

std::string PcapngEncoder::transaction(const board::I2cTransaction& t, std::uint64_t timeUs) {
    std::string out;
    for (std::size_t i = 0; i < t.messages.size(); ++i) {
        const std::string packet = linuxI2cPacket(t.messages[i]);
        std::string epb;
        appendLe32(epb, 0);  // interface
        appendLe32(epb, static_cast<std::uint32_t>(timeUs >> 32));
        appendLe32(epb, static_cast<std::uint32_t>(timeUs & 0xFFFFFFFF));
        appendLe32(epb, static_cast<std::uint32_t>(packet.size()));
        appendLe32(epb, static_cast<std::uint32_t>(packet.size()));
        epb += packet;
        pad(epb);
        const std::string comment = i + 1 == t.messages.size() ? t.outcomeText() : std::string();
        if (!comment.empty()) {
            appendOption(epb, kComment, comment);
            endOptions(epb);
        }
        out += block(kEnhancedPacketBlock, epb);
    }
    return out;
}

}  // namespace client
