// The simulated bridge board: the device side of the USB link. Its packet interpreter answers the
// bridge command packets on the bridge's endpoints (velmorix::kBridgeEndpoints) and drives an I2C
// bus of register-file targets and the board's two GPIO ports; the board keeps a packet log and
// injects faults on demand.
//
// A command's reply is held on its IN endpoint and taken by the next read there; a newer command
// replaces a reply nobody read, so the bridge always answers the latest command. A read with
// nothing held waits the transfer's time-out and fails with TimedOut; the program never meets
// this, because every command it reads a reply for leaves one (the I2C and GPIO commands always
// answer, even when nothing on the bus acknowledged). A read shorter than the reply takes what
// fits and drops the rest; a longer read ends short and succeeds.
//
// Thread-safe: every member may be called from any thread. Connection listeners run with no lock
// of the board held, one notification at a time, in the order of the changes, so a listener may
// call any member (attach, detach, transfer...); a change it makes is announced once the
// notification that runs it has reached every listener. A change made on another thread returns
// once its listeners have run.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bridgeproto/BridgePorts.h"
#include "bridgeproto/PacketInterpreter.h"
#include "bridgesim/I2cTarget.h"
#include "bridgesim/PacketRecord.h"
#include "bridgesim/SimClock.h"
#include "bridgesim/SimulatedBus.h"
#include "bridgesim/SimulationConfig.h"

namespace bridgesim {

enum class TransferStatus : std::uint8_t {
    Ok,
    NoDevice,    // the board is not attached
    NoEndpoint,  // the active setting has no endpoints
    Stall,       // no such endpoint, or the direction does not match it
    TimedOut,    // nothing answered within the time-out
};

struct TransferResult {
    TransferStatus status = TransferStatus::Ok;
    std::uint32_t length = 0;  // bytes moved
};

// What the board holds and reports on its GPIO ports.
struct GpioSnapshot {
    std::uint8_t enablesB = 0, enablesC = 0;  // output enables (1 = driven by the board)
    std::uint8_t dataB = 0, dataC = 0;        // output data
    std::uint8_t pinsB = 0, pinsC = 0;        // levels read back from the lines
};

class Board : private bridgeproto::BridgePorts {
  public:
    using ConnectionListener = std::function<void(bool attached)>;

    explicit Board(const SimulationConfig& config);
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    // A board from JSON text; nullptr with error "SOURCE: KEY: problem" when the text is bad.
    static std::shared_ptr<Board> fromJsonText(std::string_view text, std::string_view source,
                                               std::string& error);
    // A board from a simulation file; nullptr with the error naming the file when bad.
    static std::shared_ptr<Board> fromFile(const std::string& path, std::string& error);
    // A board with the built-in demo simulation.
    static std::shared_ptr<Board> builtIn();

    std::string name() const { return name_; }
    std::uint16_t vendorId() const;
    std::uint16_t productId() const;
    std::uint8_t deviceClass() const { return 0xFF; }  // vendor specific
    std::uint8_t interfaceClass() const { return 0xFF; }

    // ---- The USB side, used by the USB layer ----

    // One bulk transfer; endpoint is the address (IN = number + 0x80), read the direction. Waits
    // the configured latency first; a time-out waits timeoutMs (0 = 1000) or the test override.
    TransferResult transfer(std::uint8_t endpoint, bool read, std::uint8_t* buffer,
                            std::uint32_t length, std::uint32_t timeoutMs);
    // Counts a transfer the host tried on a stale handle: it never reaches the board, but the
    // attach-at-Nth-transfer fault counts it.
    void countRejectedTransfer();
    bool attached() const;
    // Changes at every attach, so a handle can tell the board it was given from a later one.
    std::uint64_t attachmentSerial() const;
    // Selects an alternate setting; only interface 0, setting 0 exists. False on failure.
    bool selectInterface(std::uint32_t interfaceNum, std::uint32_t alternateSetting);
    std::uint32_t activeAlternateSetting() const;
    // Endpoints of the active setting, the default pipe not counted: the bridge's endpoint table,
    // or 0 under that fault.
    std::uint32_t endpointCount() const;
    // A USB reset: drops unread replies and returns to alternate setting 0. Registers and GPIO
    // keep their state (the board stays powered).
    void reset();
    bool registrationFails() const;

    // Listeners hear every attach and detach. Returns an id for removeConnectionListener, which
    // waits until that listener is not running (unless called from inside it); it is not called
    // again once the removal returns.
    int addConnectionListener(ConnectionListener listener);
    void removeConnectionListener(int id);

    // ---- The test interface ----

    // Plugs the board in or pulls it out now (the "board absent" fault is detach()).
    void attach();
    void detach();

    std::vector<PacketRecord> packetLog() const;
    void clearPacketLog();
    // The log keeps the newest `records` transfers (default 100,000).
    void setPacketLogCapacity(std::size_t records);

    // The board's I2C bus without the bridge in front, for an emulated adapter that reaches the
    // same targets: each transaction takes the board's lock and stays out of the packet log.
    bridgeproto::I2cBus& i2cBus() { return lockedBus_; }

    // Register access per target (8-bit write address); nullopt / false for an absent target.
    std::optional<std::uint8_t> peekRegister(std::uint8_t address, std::uint32_t reg) const;
    bool pokeRegister(std::uint8_t address, std::uint32_t reg, std::uint8_t value);
    // True while the target at address pulls its interrupt pin low.
    bool interruptAsserted(std::uint8_t address) const;

    // The external level of a line (what it reads while the board does not drive it).
    void setInputLevel(Pin pin, bool high);
    GpioSnapshot gpio() const;
    // LED 0 is the red one (port C bit 0), LED 1 the green one (port C bit 1); lit while driven
    // high.
    bool ledLit(int led) const;
    // The last value of a direct write (endpoint 4) to an address 0..127; 0 if none.
    std::uint8_t directValue(std::uint8_t address) const;

    // Faults. N counts transfers from now, 1 = the next one.
    void detachAtTransfer(std::uint32_t n);  // the board goes away instead of the Nth transfer
    void attachAtTransfer(std::uint32_t n);  // the board comes back at the Nth transfer attempt
    void setEndpointTimesOut(std::uint8_t endpoint, bool timesOut);
    void setShortReply(std::uint32_t bytesFewer);  // every reply is this many bytes shorter
    void setNoEndpoints(bool on);
    void setInterfaceSelectFails(bool on);
    void setRegistrationFails(bool on);
    void clearFaults();

    // The clock that time-based register values and busy times follow: a manual clock stops
    // and moves only by advanceClock, so that tests never sleep.
    void setManualClock(bool manual);
    void advanceClock(std::chrono::microseconds by);

    // Per-transfer latency, spun to a steady_clock deadline so short values are accurate.
    void setLatency(std::chrono::microseconds latency);
    // How long a time-out waits; nullopt (default) waits the transfer's own time-out.
    void setTimeoutWait(std::optional<std::chrono::microseconds> wait);

  private:
    // The bus under the board's lock.
    class LockedBus : public bridgeproto::I2cBus {
      public:
        explicit LockedBus(Board& board) : board_(board) {}
        bridgeproto::BusResult write(std::uint8_t address,
                                     std::span<const std::uint8_t> bytes) override;
        bridgeproto::BusResult writeRead(std::uint8_t address, std::span<const std::uint8_t> bytes,
                                         std::span<std::uint8_t> in) override;

      private:
        Board& board_;
    };

    // The ports the interpreter drives; called with mutex_ held.
    void setGpio(std::span<const std::uint8_t> fields) override;
    std::array<std::uint8_t, 4> gpioStatus() const override;
    void directWrite(std::uint8_t address, std::uint8_t value) override;
    std::uint8_t pinLevels(Port port) const;
    void logPacket(std::uint8_t endpoint, PacketDirection direction, const std::uint8_t* bytes,
                   std::uint32_t length);
    // Applies due attach/detach faults.
    void countTransferLocked();
    // Changes the attached state; queues the change for the listeners when there is one.
    void setAttachedLocked(bool attached);
    // Delivers the queued changes (called with mutex_ held, which it drops around each listener)
    // and returns once every change queued so far has been announced; from inside a listener it
    // returns at once, leaving its changes to the running announcement.
    void announceLocked(std::unique_lock<std::mutex>& lock);
    std::chrono::microseconds timeoutWaitLocked(std::uint32_t timeoutMs) const;

    const std::string name_;

    mutable std::mutex mutex_;
    bool attached_;
    std::uint64_t attachmentSerial_ = 1;
    std::uint32_t activeAlternateSetting_ = 0;
    SimClock clock_;
    SimulatedBus bus_;
    bridgeproto::PacketInterpreter interpreter_{bus_, this};
    LockedBus lockedBus_{*this};
    std::uint8_t enablesB_ = 0, enablesC_ = 0, dataB_ = 0, dataC_ = 0;
    std::uint8_t inputsB_, inputsC_;
    std::array<std::uint8_t, 128> direct_{};
    std::vector<PacketRecord> log_;
    std::size_t logHead_ = 0;  // index of the oldest record once the log is full
    std::size_t logCapacity_ = 100'000;

    std::uint32_t transfersToDetach_ = 0;  // 0 = not armed
    std::uint32_t transfersToAttach_ = 0;
    std::array<bool, 256> endpointTimesOut_{};
    bool noEndpoints_ = false;
    bool interfaceSelectFails_ = false;
    bool registrationFails_ = false;
    std::chrono::microseconds latency_{0};
    std::optional<std::chrono::microseconds> timeoutWait_;

    // Listeners and the changes waiting for them, under mutex_. One thread at a time announces.
    std::map<int, std::shared_ptr<ConnectionListener>> listeners_;
    int nextListenerId_ = 1;
    std::deque<bool> pendingChanges_;
    std::uint64_t changesQueued_ = 0;
    std::uint64_t changesAnnounced_ = 0;
    bool announcing_ = false;
    std::thread::id announcer_;
    int callingListener_ = 0;  // the listener running now, 0 = none
    std::condition_variable listenerDone_;
};

}  // namespace bridgesim
