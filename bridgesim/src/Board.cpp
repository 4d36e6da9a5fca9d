#include "bridgesim/Board.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "bridgesim/BridgeIds.h"
#include "bridgesim/SimulationReader.h"

namespace bridgesim {

namespace {

constexpr std::uint8_t kGpioOut = 1;
constexpr std::uint8_t kI2cOut = 2;
constexpr std::uint8_t kDirectOut = 4;
constexpr std::uint8_t kGpioIn = 0x81;
constexpr std::uint8_t kI2cIn = 0x82;
constexpr std::uint32_t kGpioReplyLength = 25;
constexpr std::uint32_t kDefaultTimeoutMs = 1000;

bool endpointExists(std::uint8_t endpoint) {
    return endpoint == kGpioOut || endpoint == kI2cOut || endpoint == kDirectOut ||
           endpoint == kGpioIn || endpoint == kI2cIn;
}

void spinUntil(std::chrono::steady_clock::time_point deadline) {
    while (std::chrono::steady_clock::now() < deadline) {
    }
}

}  // namespace

Board::Board(const SimulationConfig& config)
    : name_(config.name),
      attached_(config.attached),
      inputsB_(config.inputsB),
      inputsC_(config.inputsC),
      latency_(config.latencyUs) {
    targetIndex_.fill(-1);
    targets_.reserve(config.targets.size());
    for (const auto& target : config.targets) {
        if (targetIndex_[target.address & 0xFE] >= 0) {
            continue;
        }
        targetIndex_[target.address & 0xFE] = static_cast<std::int16_t>(targets_.size());
        targets_.emplace_back(target);
    }
}

std::shared_ptr<Board> Board::fromJsonText(std::string_view text, std::string_view source,
                                           std::string& error) {
    auto config = SimulationReader::fromText(text, source, error);
    return config ? std::make_shared<Board>(*config) : nullptr;
}

std::shared_ptr<Board> Board::fromFile(const std::string& path, std::string& error) {
    auto config = SimulationReader::fromFile(path, error);
    return config ? std::make_shared<Board>(*config) : nullptr;
}

std::shared_ptr<Board> Board::builtIn() {
    return std::make_shared<Board>(SimulationReader::builtIn());
}

std::uint16_t Board::vendorId() const {
    return velmorix::kBridgeVendorId;
}
std::uint16_t Board::productId() const {
    return velmorix::kBridgeProductId;
}

TransferResult Board::transfer(std::uint8_t endpoint, bool read, std::uint8_t* buffer,
                               std::uint32_t length, std::uint32_t timeoutMs) {
    std::chrono::microseconds latency;
    {
        std::lock_guard lock(mutex_);
        latency = latency_;
    }
    if (latency.count() > 0) {
        spinUntil(std::chrono::steady_clock::now() + latency);
    }
    TransferResult result;
    std::chrono::microseconds wait{0};
    {
        std::lock_guard notifyLock(notifyMutex_);
        Changes change;
        {
            std::lock_guard lock(mutex_);
            change = countTransferLocked();
            if (!attached_) {
                result.status = TransferStatus::NoDevice;
            } else if (noEndpoints_) {
                result.status = TransferStatus::NoEndpoint;
            } else if (!endpointExists(endpoint) || read != ((endpoint & 0x80) != 0) ||
                       (buffer == nullptr && length > 0)) {
                result.status = TransferStatus::Stall;
            } else if (endpointTimesOut_[endpoint]) {
                result.status = TransferStatus::TimedOut;
                wait = timeoutWaitLocked(timeoutMs);
            } else if (!read) {
                logPacket(endpoint, PacketDirection::Out, buffer, length);
                handleOut(endpoint, buffer, length);
                result.length = length;
            } else if (!replySlot(endpoint)->held) {
                result.status = TransferStatus::TimedOut;
                wait = timeoutWaitLocked(timeoutMs);
            } else {
                result.length = takeReply(endpoint, buffer, length);
                logPacket(endpoint, PacketDirection::In, buffer, result.length);
            }
        }
        announce(change);
    }
    if (wait.count() > 0) {
        std::this_thread::sleep_for(wait);
    }
    return result;
}

void Board::countRejectedTransfer() {
    std::lock_guard notifyLock(notifyMutex_);
    Changes change;
    {
        std::lock_guard lock(mutex_);
        change = countTransferLocked();
    }
    announce(change);
}

bool Board::attached() const {
    std::lock_guard lock(mutex_);
    return attached_;
}

std::uint64_t Board::attachmentSerial() const {
    std::lock_guard lock(mutex_);
    return attachmentSerial_;
}

bool Board::selectInterface(std::uint32_t interfaceNum, std::uint32_t alternateSetting) {
    std::lock_guard lock(mutex_);
    if (!attached_ || interfaceSelectFails_ || interfaceNum != 0 || alternateSetting != 0) {
        return false;
    }
    activeAlternateSetting_ = alternateSetting;
    return true;
}

std::uint32_t Board::activeAlternateSetting() const {
    std::lock_guard lock(mutex_);
    return activeAlternateSetting_;
}

std::uint32_t Board::endpointCount() const {
    std::lock_guard lock(mutex_);
    return noEndpoints_ ? 0 : 5;
}

void Board::reset() {
    std::lock_guard lock(mutex_);
    gpioReply_.held = false;
    i2cReply_.held = false;
    activeAlternateSetting_ = 0;
}

bool Board::registrationFails() const {
    std::lock_guard lock(mutex_);
    return registrationFails_;
}

int Board::addConnectionListener(ConnectionListener listener) {
    std::lock_guard notifyLock(notifyMutex_);
    const int id = nextListenerId_++;
    listeners_.emplace(id, std::move(listener));
    return id;
}

void Board::removeConnectionListener(int id) {
    std::lock_guard notifyLock(notifyMutex_);
    listeners_.erase(id);
}

void Board::attach() {
    std::lock_guard notifyLock(notifyMutex_);
    Changes change;
    {
        std::lock_guard lock(mutex_);
        setAttachedLocked(true, change);
    }
    announce(change);
}

void Board::detach() {
    std::lock_guard notifyLock(notifyMutex_);
    Changes change;
    {
        std::lock_guard lock(mutex_);
        setAttachedLocked(false, change);
    }
    announce(change);
}

std::vector<PacketRecord> Board::packetLog() const {
    std::lock_guard lock(mutex_);
    std::vector<PacketRecord> ordered;
    ordered.reserve(log_.size());
    for (std::size_t i = 0; i < log_.size(); ++i) {
        ordered.push_back(log_[(logHead_ + i) % log_.size()]);
    }
    return ordered;
}

void Board::clearPacketLog() {
    std::lock_guard lock(mutex_);
    log_.clear();
    logHead_ = 0;
}

void Board::setPacketLogCapacity(std::size_t records) {
    std::lock_guard lock(mutex_);
    std::vector<PacketRecord> ordered;
    for (std::size_t i = 0; i < log_.size(); ++i) {
        ordered.push_back(std::move(log_[(logHead_ + i) % log_.size()]));
    }
    if (ordered.size() > records) {
        ordered.erase(ordered.begin(),
                      ordered.begin() + static_cast<std::ptrdiff_t>(ordered.size() - records));
    }
    log_ = std::move(ordered);
    logHead_ = 0;
    logCapacity_ = records;
}

std::optional<std::uint8_t> Board::peekRegister(std::uint8_t address, std::uint32_t reg) const {
    std::lock_guard lock(mutex_);
    const I2cTarget* target = findTarget(address);
    if (target == nullptr) {
        return std::nullopt;
    }
    return target->peek(reg);
}

bool Board::pokeRegister(std::uint8_t address, std::uint32_t reg, std::uint8_t value) {
    std::lock_guard lock(mutex_);
    I2cTarget* target = findTarget(address);
    if (target == nullptr) {
        return false;
    }
    target->poke(reg, value);
    return true;
}

bool Board::interruptAsserted(std::uint8_t address) const {
    std::lock_guard lock(mutex_);
    const I2cTarget* target = findTarget(address);
    return target != nullptr && target->interruptAsserted();
}

void Board::setInputLevel(Pin pin, bool high) {
    std::lock_guard lock(mutex_);
    std::uint8_t& inputs = pin.port == Port::B ? inputsB_ : inputsC_;
    const auto mask = static_cast<std::uint8_t>(1u << (pin.bit & 7));
    inputs = static_cast<std::uint8_t>(high ? (inputs | mask) : (inputs & ~mask));
}

GpioSnapshot Board::gpio() const {
    std::lock_guard lock(mutex_);
    return GpioSnapshot{enablesB_, enablesC_,          dataB_,
                        dataC_,    pinLevels(Port::B), pinLevels(Port::C)};
}

bool Board::ledLit(int led) const {
    std::lock_guard lock(mutex_);
    const auto mask = static_cast<std::uint8_t>(1u << (led & 1));
    return (enablesC_ & dataC_ & mask) != 0;
}

std::uint8_t Board::directValue(std::uint8_t address) const {
    std::lock_guard lock(mutex_);
    return direct_[address & 0x7F];
}

void Board::detachAtTransfer(std::uint32_t n) {
    std::lock_guard lock(mutex_);
    transfersToDetach_ = n;
}

void Board::attachAtTransfer(std::uint32_t n) {
    std::lock_guard lock(mutex_);
    transfersToAttach_ = n;
}

void Board::setEndpointTimesOut(std::uint8_t endpoint, bool timesOut) {
    std::lock_guard lock(mutex_);
    endpointTimesOut_[endpoint] = timesOut;
}

void Board::setShortReply(std::uint32_t bytesFewer) {
    std::lock_guard lock(mutex_);
    shortReply_ = bytesFewer;
}

void Board::setNoEndpoints(bool on) {
    std::lock_guard lock(mutex_);
    noEndpoints_ = on;
}

void Board::setInterfaceSelectFails(bool on) {
    std::lock_guard lock(mutex_);
    interfaceSelectFails_ = on;
}

void Board::setRegistrationFails(bool on) {
    std::lock_guard lock(mutex_);
    registrationFails_ = on;
}

void Board::clearFaults() {
    std::lock_guard lock(mutex_);
    transfersToDetach_ = 0;
    transfersToAttach_ = 0;
    endpointTimesOut_.fill(false);
    shortReply_ = 0;
    noEndpoints_ = false;
    interfaceSelectFails_ = false;
    registrationFails_ = false;
}

void Board::setLatency(std::chrono::microseconds latency) {
    std::lock_guard lock(mutex_);
    latency_ = std::max(latency, std::chrono::microseconds{0});
}

void Board::setTimeoutWait(std::optional<std::chrono::microseconds> wait) {
    std::lock_guard lock(mutex_);
    timeoutWait_ = wait;
}

I2cTarget* Board::findTarget(std::uint8_t address) {
    const std::int16_t index = targetIndex_[address & 0xFE];
    return index < 0 ? nullptr : &targets_[static_cast<std::size_t>(index)];
}

const I2cTarget* Board::findTarget(std::uint8_t address) const {
    const std::int16_t index = targetIndex_[address & 0xFE];
    return index < 0 ? nullptr : &targets_[static_cast<std::size_t>(index)];
}

Board::Reply* Board::replySlot(std::uint8_t inEndpoint) {
    return inEndpoint == kGpioIn ? &gpioReply_ : &i2cReply_;
}

void Board::handleOut(std::uint8_t endpoint, const std::uint8_t* bytes, std::uint32_t length) {
    switch (endpoint) {
        case kI2cOut:
            handleI2c(bytes, length);
            break;
        case kGpioOut: {
            // Each byte present sets its field: data B, data C, enables B, enables C.
            std::uint8_t* fields[] = {&dataB_, &dataC_, &enablesB_, &enablesC_};
            for (std::uint32_t i = 0; i < length && i < 4; ++i) {
                *fields[i] = bytes[i];
            }
            queueGpioStatus();
            break;
        }
        case kDirectOut:
            if (length >= 2) {
                direct_[bytes[0] & 0x7F] = bytes[1];
            }
            break;
        default:
            break;
    }
}

void Board::handleI2c(const std::uint8_t* bytes, std::uint32_t length) {
    std::array<std::uint8_t, 256 + 1> reply{};
    std::uint32_t replyLength = 1;
    if (length >= 2) {
        const std::uint8_t busAddress = bytes[1];
        I2cTarget* target = findTarget(busAddress);
        // The byte count comes from the packet length; byte 0 only gives a read's count.
        std::span<const std::uint8_t> payload(bytes + 2, length - 2);
        if (target != nullptr && (busAddress & 1) == 0) {
            target->write(payload);
            reply[0] = static_cast<std::uint8_t>(1 + payload.size());
        } else if (target != nullptr) {
            if (!payload.empty()) {
                target->write(payload);
            }
            const std::uint32_t count = bytes[0];
            target->read(std::span<std::uint8_t>(reply.data() + 1, count));
            reply[0] = static_cast<std::uint8_t>(count);
            replyLength = count + 1;
        }
    }
    queueReply(kI2cIn, reply.data(), replyLength);
}

void Board::queueGpioStatus() {
    std::array<std::uint8_t, kGpioReplyLength> reply{};
    reply[0] = pinLevels(Port::B);
    reply[1] = pinLevels(Port::C);
    reply[2] = enablesB_;
    reply[3] = enablesC_;
    queueReply(kGpioIn, reply.data(), kGpioReplyLength);
}

void Board::queueReply(std::uint8_t inEndpoint, const std::uint8_t* bytes, std::uint32_t length) {
    Reply* slot = replySlot(inEndpoint);
    slot->length = length > shortReply_ ? length - shortReply_ : 0;
    std::memcpy(slot->bytes.data(), bytes, slot->length);
    slot->held = true;
}

std::uint32_t Board::takeReply(std::uint8_t inEndpoint, std::uint8_t* buffer,
                               std::uint32_t length) {
    Reply* slot = replySlot(inEndpoint);
    const std::uint32_t n = std::min(length, slot->length);
    if (n > 0) {
        std::memcpy(buffer, slot->bytes.data(), n);
    }
    slot->held = false;
    return n;
}

std::uint8_t Board::pinLevels(Port port) const {
    const std::uint8_t enables = port == Port::B ? enablesB_ : enablesC_;
    const std::uint8_t data = port == Port::B ? dataB_ : dataC_;
    std::uint8_t external = port == Port::B ? inputsB_ : inputsC_;
    for (const auto& target : targets_) {
        const auto& irq = target.config().interrupt;
        if (irq && irq->pin.port == port && target.interruptAsserted()) {
            external = static_cast<std::uint8_t>(external & ~(1u << irq->pin.bit));
        }
    }
    return static_cast<std::uint8_t>((enables & data) | (~enables & external));
}

void Board::logPacket(std::uint8_t endpoint, PacketDirection direction, const std::uint8_t* bytes,
                      std::uint32_t length) {
    if (logCapacity_ == 0) {
        return;
    }
    PacketRecord* record;
    if (log_.size() < logCapacity_) {
        record = &log_.emplace_back();
    } else {
        // Reuse the oldest record's storage: no allocation once the log is full.
        record = &log_[logHead_];
        logHead_ = (logHead_ + 1) % log_.size();
    }
    record->endpoint = endpoint;
    record->direction = direction;
    record->bytes.assign(bytes, bytes + length);
}

Board::Changes Board::countTransferLocked() {
    Changes changes;
    if (transfersToDetach_ > 0 && --transfersToDetach_ == 0) {
        setAttachedLocked(false, changes);
    }
    if (transfersToAttach_ > 0 && --transfersToAttach_ == 0) {
        setAttachedLocked(true, changes);
    }
    return changes;
}

void Board::setAttachedLocked(bool attached, Changes& changes) {
    if (attached_ == attached) {
        return;
    }
    attached_ = attached;
    gpioReply_.held = false;
    i2cReply_.held = false;
    if (attached) {
        ++attachmentSerial_;
        activeAlternateSetting_ = 0;
    }
    changes.add(attached);
}

void Board::announce(const Changes& changes) {
    for (int i = 0; i < changes.count; ++i) {
        for (auto& [id, listener] : listeners_) {
            listener(changes.attached[static_cast<std::size_t>(i)]);
        }
    }
}

std::chrono::microseconds Board::timeoutWaitLocked(std::uint32_t timeoutMs) const {
    if (timeoutWait_) {
        return *timeoutWait_;
    }
    return std::chrono::milliseconds(timeoutMs == 0 ? kDefaultTimeoutMs : timeoutMs);
}

}  // namespace bridgesim
