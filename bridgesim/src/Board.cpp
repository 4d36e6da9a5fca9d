#include "bridgesim/Board.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "bridgeproto/BridgeIds.h"
#include "bridgesim/SimulationReader.h"

namespace bridgesim {

namespace {

constexpr std::uint32_t kDefaultTimeoutMs = 1000;

void spinUntil(std::chrono::steady_clock::time_point deadline) {
    while (std::chrono::steady_clock::now() < deadline) {
    }
}

}  // namespace

Board::Board(const SimulationConfig& config)
    : name_(config.name),
      attached_(config.attached),
      bus_(config.targets, &clock_),
      inputsB_(config.inputsB),
      inputsC_(config.inputsC),
      latency_(config.latencyUs) {}

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
        std::unique_lock lock(mutex_);
        countTransferLocked();
        if (!attached_) {
            result.status = TransferStatus::NoDevice;
        } else if (noEndpoints_) {
            result.status = TransferStatus::NoEndpoint;
        } else if (!bridgeproto::PacketInterpreter::endpointServes(endpoint, read) ||
                   (buffer == nullptr && length > 0)) {
            result.status = TransferStatus::Stall;
        } else if (endpointTimesOut_[endpoint]) {
            result.status = TransferStatus::TimedOut;
            wait = timeoutWaitLocked(timeoutMs);
        } else if (!read) {
            logPacket(endpoint, PacketDirection::Out, buffer, length);
            interpreter_.command(endpoint, std::span<const std::uint8_t>(buffer, length));
            result.length = length;
        } else if (!interpreter_.replyHeld(endpoint)) {
            result.status = TransferStatus::TimedOut;
            wait = timeoutWaitLocked(timeoutMs);
        } else {
            interpreter_.reply(endpoint, std::span<std::uint8_t>(buffer, length), result.length);
            logPacket(endpoint, PacketDirection::In, buffer, result.length);
        }
        announceLocked(lock);
    }
    if (wait.count() > 0) {
        std::this_thread::sleep_for(wait);
    }
    return result;
}

void Board::countRejectedTransfer() {
    std::unique_lock lock(mutex_);
    countTransferLocked();
    announceLocked(lock);
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
    return noEndpoints_ ? 0 : static_cast<std::uint32_t>(velmorix::kBridgeEndpoints.size());
}

void Board::reset() {
    std::lock_guard lock(mutex_);
    interpreter_.dropReplies();
    activeAlternateSetting_ = 0;
}

bool Board::registrationFails() const {
    std::lock_guard lock(mutex_);
    return registrationFails_;
}

int Board::addConnectionListener(ConnectionListener listener) {
    std::lock_guard lock(mutex_);
    const int id = nextListenerId_++;
    listeners_.emplace(id, std::make_shared<ConnectionListener>(std::move(listener)));
    return id;
}

void Board::removeConnectionListener(int id) {
    std::unique_lock lock(mutex_);
    listeners_.erase(id);
    // Inside the listener itself the call cannot wait for its own end.
    listenerDone_.wait(
        lock, [&] { return callingListener_ != id || announcer_ == std::this_thread::get_id(); });
}

void Board::attach() {
    std::unique_lock lock(mutex_);
    setAttachedLocked(true);
    announceLocked(lock);
}

void Board::detach() {
    std::unique_lock lock(mutex_);
    setAttachedLocked(false);
    announceLocked(lock);
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
    const I2cTarget* target = bus_.findTarget(address);
    if (target == nullptr) {
        return std::nullopt;
    }
    return target->peek(reg);
}

bool Board::pokeRegister(std::uint8_t address, std::uint32_t reg, std::uint8_t value) {
    std::lock_guard lock(mutex_);
    I2cTarget* target = bus_.findTarget(address);
    if (target == nullptr) {
        return false;
    }
    target->poke(reg, value);
    return true;
}

bool Board::interruptAsserted(std::uint8_t address) const {
    std::lock_guard lock(mutex_);
    const I2cTarget* target = bus_.findTarget(address);
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
    interpreter_.setShortReply(bytesFewer);
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
    interpreter_.setShortReply(0);
    noEndpoints_ = false;
    interfaceSelectFails_ = false;
    registrationFails_ = false;
}

void Board::setLatency(std::chrono::microseconds latency) {
    std::lock_guard lock(mutex_);
    latency_ = std::max(latency, std::chrono::microseconds{0});
}

void Board::setManualClock(bool manual) {
    std::lock_guard lock(mutex_);
    clock_.setManual(manual);
}

void Board::advanceClock(std::chrono::microseconds by) {
    std::lock_guard lock(mutex_);
    clock_.advance(by);
}

void Board::setTimeoutWait(std::optional<std::chrono::microseconds> wait) {
    std::lock_guard lock(mutex_);
    timeoutWait_ = wait;
}

bridgeproto::BusResult Board::LockedBus::write(std::uint8_t address,
                                               std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(board_.mutex_);
    return board_.bus_.write(address, bytes);
}

bridgeproto::BusResult Board::LockedBus::writeRead(std::uint8_t address,
                                                   std::span<const std::uint8_t> bytes,
                                                   std::span<std::uint8_t> in) {
    std::lock_guard lock(board_.mutex_);
    return board_.bus_.writeRead(address, bytes, in);
}

void Board::setGpio(std::span<const std::uint8_t> fields) {
    std::uint8_t* targets[] = {&dataB_, &dataC_, &enablesB_, &enablesC_};
    for (std::size_t i = 0; i < fields.size() && i < 4; ++i) {
        *targets[i] = fields[i];
    }
}

std::array<std::uint8_t, 4> Board::gpioStatus() const {
    return {pinLevels(Port::B), pinLevels(Port::C), enablesB_, enablesC_};
}

void Board::directWrite(std::uint8_t address, std::uint8_t value) {
    direct_[address & 0x7F] = value;
}

std::uint8_t Board::pinLevels(Port port) const {
    const std::uint8_t enables = port == Port::B ? enablesB_ : enablesC_;
    const std::uint8_t data = port == Port::B ? dataB_ : dataC_;
    std::uint8_t external = port == Port::B ? inputsB_ : inputsC_;
    for (const auto& target : bus_.targets()) {
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

void Board::countTransferLocked() {
    if (transfersToDetach_ > 0 && --transfersToDetach_ == 0) {
        setAttachedLocked(false);
    }
    if (transfersToAttach_ > 0 && --transfersToAttach_ == 0) {
        setAttachedLocked(true);
    }
}

void Board::setAttachedLocked(bool attached) {
    if (attached_ == attached) {
        return;
    }
    attached_ = attached;
    interpreter_.dropReplies();
    if (attached) {
        ++attachmentSerial_;
        activeAlternateSetting_ = 0;
    }
    pendingChanges_.push_back(attached);
    ++changesQueued_;
}

void Board::announceLocked(std::unique_lock<std::mutex>& lock) {
    const std::thread::id self = std::this_thread::get_id();
    if (announcing_ && announcer_ == self) {
        return;  // a listener changed the board: the running announcement takes it up next
    }
    const std::uint64_t mine = changesQueued_;
    while (changesAnnounced_ < mine) {
        if (announcing_) {
            listenerDone_.wait(lock);
            continue;
        }
        announcing_ = true;
        announcer_ = self;
        while (!pendingChanges_.empty()) {
            const bool attached = pendingChanges_.front();
            pendingChanges_.pop_front();
            // By id, so that a listener added or removed meanwhile neither breaks the walk nor
            // is called after its removal.
            for (int id = 0;;) {
                const auto it = listeners_.upper_bound(id);
                if (it == listeners_.end()) {
                    break;
                }
                id = callingListener_ = it->first;
                const std::shared_ptr<ConnectionListener> listener = it->second;
                lock.unlock();
                (*listener)(attached);
                lock.lock();
                callingListener_ = 0;
                listenerDone_.notify_all();
            }
            ++changesAnnounced_;
        }
        announcing_ = false;
        announcer_ = {};
        listenerDone_.notify_all();
    }
}

std::chrono::microseconds Board::timeoutWaitLocked(std::uint32_t timeoutMs) const {
    if (timeoutWait_) {
        return *timeoutWait_;
    }
    return std::chrono::milliseconds(timeoutMs == 0 ? kDefaultTimeoutMs : timeoutMs);
}

}  // namespace bridgesim
