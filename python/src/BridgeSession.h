// One open connection to a bridge board for the Python module: a headless host and the board
// link's client, with the checks and the errno of each failure as a Linux I2C adapter would give
// them. Holds no protocol of its own: every packet is the client's. Every call takes the module's
// bus lock itself; the lock is recursive, so a caller that holds it across several calls (a masked
// write's read, write and read-back) may call on. A caller releases the GIL before it waits for the
// lock, since the thread that holds the lock may be waiting for the GIL.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "bridgeproto/Codec.h"
#include "client/BoardLinkClient.h"
#include "client/BusCapture.h"
#include "runner/HeadlessHost.h"

namespace pyvelmorix {

// A failure to raise as OSError(errnoValue, message); ENODEV becomes velmorix.BridgeError.
struct TransferError {
    int errnoValue;
    std::string message;
};

// One message of a combined transfer: 7-bit address, read flag, bytes to write or count to read.
struct Message {
    int address = 0;
    bool read = false;
    std::vector<std::uint8_t> bytes;
    int count = 0;
};

class BridgeSession {
  public:
    // Opens the bridge named as --bridge names it (nullopt: VELMORIX_BRIDGE, then usb). Throws
    // TransferError: EINVAL for a name or simulation file the layer refuses, EBUSY while another
    // bridge is open in this process, ENODEV when no bridge board is attached.
    explicit BridgeSession(std::optional<std::string> bridge);
    ~BridgeSession();
    BridgeSession(const BridgeSession&) = delete;
    BridgeSession& operator=(const BridgeSession&) = delete;

    // The bridge as named ("sim", "i2cdev:/dev/i2c-1", "usb").
    const std::string& name() const { return name_; }
    bool closed() const { return closed_; }
    // Closes the connection; harmless when closed.
    void close();
    // True while open and the bridge board attached.
    bool attached();

    // Reads count bytes after writing the register bytes (none: a plain read). EREMOTEIO when
    // the target does not acknowledge, ENODEV when the board is gone, ETIMEDOUT on a time-out.
    std::vector<std::uint8_t> read(int address, const std::vector<std::uint8_t>& reg, int count);
    // Writes the register bytes then the data bytes; errors as read.
    void write(int address, const std::vector<std::uint8_t>& reg,
               const std::vector<std::uint8_t>& data);
    // One write, one read, or a write then a read of the same address, as one transfer; the read
    // data, if any. EOPNOTSUPP for any other shape, which the bridge board cannot carry.
    std::vector<std::uint8_t> transfer(const std::vector<Message>& messages);
    // On a Linux adapter: an SMBus block read of the command (out empty) or a block process
    // call writing out; the bytes the target sent after its count. EOPNOTSUPP on the bridge
    // board, whose reads have a fixed count, and on an adapter that does not offer the
    // transfer; the adapter's own errno (EREMOTEIO, EPROTO...) when it refused it.
    std::vector<std::uint8_t> blockTransfer(int address, std::uint8_t command,
                                            const std::vector<std::uint8_t>& out);
    // On a Linux adapter: its I2C_FUNCS bits and its node's descriptor; nullopt on the bridge
    // board or when closed.
    struct Adapter {
        std::uint32_t functions;
        int fd;
    };
    std::optional<Adapter> adapter();
    // The 7-bit addresses that answer the communication test, reserved ones skipped unless all.
    std::vector<int> detect(bool all);
    // Sends the GPIO state (enables B, enables C and LEDs, data B, data C and LEDs) and returns
    // what the board reports of the ports.
    bridgeproto::GpioStatusReply gpio(const std::array<std::uint8_t, 4>& state);

    // Traces every packet of this session's calls, as --trace writes them, until the next
    // takeTrace; off when false.
    void setTrace(bool on);
    // The trace lines written since the last call.
    std::string takeTrace();

    // Writes this session's I2C traffic to the capture too, until removeCapture or close; the
    // capture must stay alive until then.
    void addCapture(client::BusCapture& capture);
    // Stops writing to the capture; harmless when it is not there.
    void removeCapture(client::BusCapture& capture);
    // Writes the traffic of every session of the process, open now or later, to the capture
    // until stopCaptureAll; the capture must stay alive until then.
    static void captureAll(client::BusCapture& capture);
    // Stops a captureAll; harmless when it is not running.
    static void stopCaptureAll(client::BusCapture& capture);
    // The bridge the open sessions share, else as the layer would choose it.
    static std::string currentBridge();

    // True while any session is open in this process (run_script then cannot choose a bridge);
    // the caller holds busMutex.
    static bool anyOpenLocked();
    // The lock every transfer of the module runs under; recursive, so that a read-modify-write
    // holds it across its transfers and nothing of the process comes between them.
    static std::recursive_mutex& busMutex();
    // On a Linux adapter, whether this session's transfers reach addresses a kernel driver
    // holds; applied at each of its transfers.
    void setForce(bool force) { force_ = force; }

  private:
    // True in a forked child for a session of the parent's.
    bool inherited() const;
    // The error of an open that found no board, with its cause where the layer knows it.
    [[noreturn]] void failOpen();
    // Refuses a call on a closed session or a board that is gone.
    void checkOpen() const;
    // The errno and text of a client exchange that did not run.
    [[noreturn]] void failExchange(int address, std::uint32_t status);
    // Runs fn with the trace installed when it is on.
    template <typename Fn>
    auto traced(Fn fn);

    std::string name_;
    std::ostringstream messages_;
    std::unique_ptr<runner::HeadlessHost> host_;
    std::unique_ptr<client::BoardLinkClient> client_;
    bool closed_ = false;
    bool trace_ = false;
    bool force_ = false;
    int generation_ = 0;  // the forks before the open
    std::ostringstream traceLines_;
};

}  // namespace pyvelmorix
