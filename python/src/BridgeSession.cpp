#include "BridgeSession.h"

#include <pthread.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "board/HexText.h"
#include "tools/TransferTrace.h"
#include "wd_utils.h"
#include "wd_utils_i2cdev.h"

namespace pyvelmorix {

namespace {

// What every session shares: the layer chooses one bridge per process.
struct Sessions {
    std::recursive_mutex bus;                          // every transfer of the module
    int open = 0;                                      // sessions open now
    std::string bridge;                                // the bridge they share
    std::vector<client::BoardLinkClient*> clients;     // of the open sessions
    std::vector<client::BusCapture*> processCaptures;  // captureAll's
    int generation = 0;                                // forks so far: a session's own is kept
};

Sessions& sessions() {
    // Never destroyed: a forked child leaves the parent's state behind without destroying it.
    static Sessions* const shared = new Sessions();
    return *shared;
}

// A forked child has only the forking thread: another thread of the parent may have been inside
// a transfer, holding the bus lock, and the connections are served by the parent's threads,
// which the layer forgets in the child. The child starts with a free lock and no session open;
// the parent's sessions refuse every call there (EBADF), and new ones open as in any process.
// The parent's state is left as it is, never destroyed: it may be half changed.
void afterForkInChild() {
    Sessions& shared = sessions();
    const int generation = shared.generation + 1;
    new (&shared) Sessions();
    shared.generation = generation;
}

[[maybe_unused]] const int g_forkHandler = ::pthread_atfork(nullptr, nullptr, afterForkInChild);

std::string hex(int address) {
    return "0x" + board::HexByteText(static_cast<std::uint8_t>(address));
}

int errnoOf(std::uint32_t status) {
    switch (status) {
        case WD_DEVICE_GONE:
        case WD_DEVICE_NOT_FOUND:
        case WD_INVALID_HANDLE:
            return ENODEV;
        case WD_TIME_OUT_EXPIRED:
        case WD_I2CDEV_BUS_TIMEOUT:
            return ETIMEDOUT;
        case WD_I2CDEV_ARBITRATION_LOST:
            return EAGAIN;
        case WD_ACCESS_DENIED:
        case WD_I2CDEV_ACCESS_DENIED:
            return EACCES;
        case WD_I2CDEV_ADDRESS_BUSY:
            return EBUSY;
        case WD_I2CDEV_SHAPE_UNSUPPORTED:
            return EOPNOTSUPP;
        default:
            return EIO;
    }
}

// "sim" or the environment's choice, as the layer reads it.
std::string bridgeName(const std::optional<std::string>& bridge) {
    return client::BusCapture::bridgeName(bridge ? bridge->c_str() : nullptr);
}

}  // namespace

BridgeSession::BridgeSession(std::optional<std::string> bridge)
    : name_(bridgeName(bridge)),
      host_(std::make_unique<tools::HeadlessHost>(messages_)),
      client_(std::make_unique<client::BoardLinkClient>(*host_)) {
    std::lock_guard lock(busMutex());
    Sessions& shared = sessions();
    if (shared.open > 0 && shared.bridge != name_) {
        throw TransferError{EBUSY, "bridge " + name_ + " cannot be opened while " + shared.bridge +
                                       " is open in this process; close that one first"};
    }
    if (shared.open == 0) {
        if (const std::uint32_t status = WDU_SelectBridge(bridge ? bridge->c_str() : nullptr);
            status != WD_STATUS_SUCCESS) {
            const std::string why = WDU_BridgeError();
            throw TransferError{EINVAL, why.empty() ? VB_Stat2Str(status) : why};
        }
        shared.bridge = name_;
    }
    generation_ = shared.generation;
    ++shared.open;
    if (!client_->open()) {
        --shared.open;
        failOpen();
    }
    shared.clients.push_back(client_.get());
    for (client::BusCapture* capture : shared.processCaptures) {
        client_->addBusObserver(*capture);
    }
}

void BridgeSession::failOpen() {
    // A Linux adapter that is not there, or not ours to open, is no missing bridge board: the
    // error keeps its cause, as smbus2's open would give it.
    const client::BoardLinkClient::OpenFailure why = client_->whyNotOpen(name_);
    throw TransferError{why.errnoValue, why.text};
}

BridgeSession::~BridgeSession() {
    close();
    if (inherited()) {
        // The parent's connection: ending it here would wait for the parent's threads, which
        // this process does not have. It is left as it is.
        static_cast<void>(client_.release());
        static_cast<void>(host_.release());
    }
}

void BridgeSession::close() {
    std::lock_guard lock(busMutex());
    if (closed_) {
        return;
    }
    closed_ = true;
    if (inherited()) {
        return;  // the parent's: nothing of it is this process's to close
    }
    // Another object of the process may still use the board: only the last one resets it.
    client_->close(sessions().open == 1);
    --sessions().open;
    std::erase(sessions().clients, client_.get());
}

void BridgeSession::addCapture(client::BusCapture& capture) {
    std::lock_guard lock(busMutex());
    client_->addBusObserver(capture);
}

void BridgeSession::removeCapture(client::BusCapture& capture) {
    std::lock_guard lock(busMutex());
    client_->removeBusObserver(capture);
}

void BridgeSession::captureAll(client::BusCapture& capture) {
    std::lock_guard lock(busMutex());
    sessions().processCaptures.push_back(&capture);
    for (client::BoardLinkClient* each : sessions().clients) {
        each->addBusObserver(capture);
    }
}

void BridgeSession::stopCaptureAll(client::BusCapture& capture) {
    std::lock_guard lock(busMutex());
    std::erase(sessions().processCaptures, &capture);
    for (client::BoardLinkClient* each : sessions().clients) {
        each->removeBusObserver(capture);
    }
}

std::string BridgeSession::currentBridge() {
    std::lock_guard lock(busMutex());
    return sessions().open > 0 ? sessions().bridge : bridgeName(std::nullopt);
}

bool BridgeSession::attached() {
    std::lock_guard lock(busMutex());
    return !closed_ && !inherited() && client_->attached();
}

bool BridgeSession::inherited() const {
    return generation_ != sessions().generation;
}

bool BridgeSession::anyOpenLocked() {
    return sessions().open > 0;
}

std::recursive_mutex& BridgeSession::busMutex() {
    return sessions().bus;
}

void BridgeSession::checkOpen() const {
    if (closed_) {
        throw TransferError{EBADF, "the bus is closed"};
    }
    if (inherited()) {
        throw TransferError{EBADF,
                            "the bus was opened before this process was forked and "
                            "belongs to the parent; open a new one here (bridge " +
                                name_ + ")"};
    }
    if (!client_->attached()) {
        throw TransferError{ENODEV, "the bridge board left (bridge " + name_ + ")"};
    }
    // The layer keeps one setting for the process; this session's goes with its transfer.
    WDU_I2cDevForce(force_ ? 1 : 0);
}

void BridgeSession::failExchange(int address, std::uint32_t status) {
    const int err = errnoOf(status);
    throw TransferError{err, "address " + hex(address) + ": " + client_->statusText(status) +
                                 " (bridge " + name_ + ")"};
}

template <typename Fn>
auto BridgeSession::traced(Fn fn) {
    struct Scope {
        bool on;
        ~Scope() {
            if (on) {
                WDU_SetTransferTrace(nullptr, nullptr);
            }
        }
    } scope{trace_};
    if (trace_) {
        WDU_SetTransferTrace(tools::traceTransfer, static_cast<std::ostream*>(&traceLines_));
    }
    return fn();
}

std::vector<std::uint8_t> BridgeSession::read(int address, const std::vector<std::uint8_t>& reg,
                                              int count) {
    std::lock_guard lock(busMutex());
    checkOpen();
    const auto exchange =
        traced([&] { return client_->read(static_cast<std::uint8_t>(address << 1), reg, count); });
    if (!exchange.transferred()) {
        failExchange(address, exchange.status);
    }
    if (exchange.count == 0) {
        throw TransferError{EREMOTEIO, "address " + hex(address) + " did not acknowledge"};
    }
    if (exchange.count != count) {
        throw TransferError{EIO, "address " + hex(address) + " gave " +
                                     std::to_string(exchange.count) + " of " +
                                     std::to_string(count) + " bytes"};
    }
    return exchange.data;
}

void BridgeSession::write(int address, const std::vector<std::uint8_t>& reg,
                          const std::vector<std::uint8_t>& data) {
    std::lock_guard lock(busMutex());
    checkOpen();
    const auto exchange =
        traced([&] { return client_->write(static_cast<std::uint8_t>(address << 1), reg, data); });
    if (!exchange.transferred()) {
        failExchange(address, exchange.status);
    }
    const auto expected = static_cast<int>(1 + reg.size() + data.size());
    if (exchange.count != expected) {
        throw TransferError{
            EREMOTEIO,
            "address " + hex(address) +
                (exchange.count == 0 ? std::string(" did not acknowledge")
                                     : " acknowledged " + std::to_string(exchange.count) + " of " +
                                           std::to_string(expected) + " bytes")};
    }
}

std::vector<std::uint8_t> BridgeSession::transfer(const std::vector<Message>& messages) {
    if (messages.size() == 1 && !messages[0].read) {
        write(messages[0].address, {}, messages[0].bytes);
        return {};
    }
    if (messages.size() == 1) {
        return read(messages[0].address, {}, messages[0].count);
    }
    if (messages.size() == 2 && !messages[0].read && messages[1].read &&
        messages[0].address == messages[1].address) {
        return read(messages[0].address, messages[0].bytes, messages[1].count);
    }
    throw TransferError{EOPNOTSUPP,
                        "the bridge board carries one write, one read, or a write then a read "
                        "of the same address in one transfer; not " +
                            std::to_string(messages.size()) + " messages of this kind"};
}

std::vector<std::uint8_t> BridgeSession::blockTransfer(int address, std::uint8_t command,
                                                       const std::vector<std::uint8_t>& out) {
    std::lock_guard lock(busMutex());
    checkOpen();
    const char* kind = out.empty() ? "block read" : "block process call";
    const auto exchange =
        client_->blockTransfer(static_cast<std::uint8_t>(address << 1), command, out);
    if (exchange.status == WD_I2CDEV_NOT_AN_ADAPTER) {
        throw TransferError{EOPNOTSUPP, std::string("the bridge board cannot read a block whose "
                                                    "length the target sends first: its reads take "
                                                    "a fixed count (bridge ") +
                                            name_ + ")"};
    }
    if (exchange.status == WD_I2CDEV_SHAPE_UNSUPPORTED) {
        throw TransferError{EOPNOTSUPP, "the adapter does not offer the SMBus " +
                                            std::string(kind) +
                                            (out.empty() ? " (I2C_FUNC_SMBUS_READ_BLOCK_DATA)"
                                                         : " (I2C_FUNC_SMBUS_BLOCK_PROC_CALL)") +
                                            " (bridge " + name_ + ")"};
    }
    if (trace_) {
        // Past the packets: the trace shows the adapter's transfer as one line of its own.
        traceLines_ << "I2C_SMBUS " << kind << ' ' << hex(address) << " command " << hex(command)
                    << ':';
        for (std::uint8_t b : exchange.data) {
            traceLines_ << ' ' << board::HexByteText(b);
        }
        if (!exchange.transferred()) {
            traceLines_ << "  (" << client_->statusText(exchange.status) << ')';
        }
        traceLines_ << '\n';
    }
    if (exchange.transferred()) {
        return exchange.data;
    }
    if (exchange.errnoValue != 0) {
        throw TransferError{exchange.errnoValue, "address " + hex(address) + ": " +
                                                     std::strerror(exchange.errnoValue) +
                                                     " (bridge " + name_ + ")"};
    }
    failExchange(address, exchange.status);
}

std::optional<BridgeSession::Adapter> BridgeSession::adapter() {
    std::lock_guard lock(busMutex());
    Adapter found{0, -1};
    if (closed_ || client_->adapter(found.functions, found.fd) != WD_STATUS_SUCCESS) {
        return std::nullopt;
    }
    return found;
}

std::vector<int> BridgeSession::detect(bool all) {
    std::lock_guard lock(busMutex());
    checkOpen();
    std::vector<int> found;
    for (int address = 0; address < 0x80; ++address) {
        if (!all &&
            client::BoardLinkClient::isReservedAddress(static_cast<std::uint8_t>(address))) {
            continue;
        }
        const auto answer =
            traced([&] { return client_->probe(static_cast<std::uint8_t>(address << 1)); });
        if (!answer.transferred()) {
            failExchange(address, answer.status);
        }
        if (answer.count == 1) {
            found.push_back(address);
        }
    }
    return found;
}

bridgeproto::GpioStatusReply BridgeSession::gpio(const std::array<std::uint8_t, 4>& state) {
    std::lock_guard lock(busMutex());
    checkOpen();
    const auto exchange = traced([&] { return client_->gpio(state); });
    if (!exchange.transferred()) {
        const int err = errnoOf(exchange.status);
        throw TransferError{
            err, "GPIO: " + client_->statusText(exchange.status) + " (bridge " + name_ + ")"};
    }
    return exchange.readBack;
}

void BridgeSession::setTrace(bool on) {
    std::lock_guard lock(busMutex());
    trace_ = on;
}

std::string BridgeSession::takeTrace() {
    std::lock_guard lock(busMutex());
    if (inherited()) {
        return {};  // the parent's thread may have been writing it at the fork
    }
    std::string lines = traceLines_.str();
    traceLines_.str("");
    return lines;
}

}  // namespace pyvelmorix
