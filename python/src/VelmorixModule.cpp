// _velmorix: the bridge board for Python. SMBus (a drop-in for smbus2.SMBus), Bridge (a native
// interface for bench scripts), Gpio and run_script; the package velmorix re-exports them. Every
// transfer goes through BridgeSession with the GIL released.
#include <pybind11/functional.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "BridgeSession.h"
#include "RegisterMapBinding.h"
#include "board/HexText.h"
#include "board/Version.h"
#include "client/BusCapture.h"
#include "runner/ScriptRunner.h"
#include "wd_utils.h"

namespace py = pybind11;
using pyvelmorix::BridgeSession;
using pyvelmorix::Message;
using pyvelmorix::TransferError;

namespace {

constexpr int kMaxCount = client::BoardLinkClient::kMaxCount;
// smbus2's i2c_msg read flag (I2C_M_RD).
constexpr int kReadFlag = 0x0001;
// SMBus block transfers carry at most this many data bytes (I2C_SMBUS_BLOCK_MAX).
constexpr std::size_t kBlockMax = 32;
// The I2C_FUNC bits (linux/i2c.h, smbus2's I2cFunc) of what the bridge board's packets carry:
// plain I2C transfers of the shapes i2c_rdwr takes, quick, byte, byte data, word data, process
// call, block write and I2C block transfers; not a block read or block process call, whose length
// the target sends first, nor PEC or 10-bit addresses.
constexpr long kBridgeFunctions = 0x00000001 | 0x00010000 | 0x00020000 | 0x00040000 | 0x00080000 |
                                  0x00100000 | 0x00200000 | 0x00400000 | 0x00800000 | 0x02000000 |
                                  0x04000000 | 0x08000000;

// ---- Argument checks: each refuses before anything is sent ------------------------------------

// A Python int as a long; OverflowError (not a C++ cast error) for one beyond a long, TypeError
// for another type.
long intOf(const py::handle& value, const char* what) {
    if (!py::isinstance<py::int_>(value)) {
        throw py::type_error(std::string(what) + " must be an int, not " +
                             std::string(py::str(py::type::of(value).attr("__name__"))));
    }
    int overflow = 0;
    const long result = PyLong_AsLongAndOverflow(value.ptr(), &overflow);
    if (overflow != 0) {
        PyErr_SetString(PyExc_OverflowError,
                        (std::string(what) + " is too large for its slot").c_str());
        throw py::error_already_set();
    }
    return result;
}

int checkRange(long value, long max, const char* what, const char* range) {
    if (value < 0 || value > max) {
        throw py::value_error(std::string(what) + " " +
                              (value < 0 ? std::to_string(value) : board::prefixedHex(value, 0)) +
                              " is out of range (" + range + ")");
    }
    return static_cast<int>(value);
}

int checkAddress(long address) {
    return checkRange(address, 0x7F, "address", "7-bit addresses 0x00 to 0x7F");
}

std::uint8_t checkRegister(long reg) {
    return static_cast<std::uint8_t>(checkRange(reg, 0xFF, "register", "0x00 to 0xFF"));
}

std::uint8_t checkByte(long value, const char* what) {
    return static_cast<std::uint8_t>(checkRange(value, 0xFF, what, "0x00 to 0xFF"));
}

int checkLength(long length, int max) {
    if (length < 1 || length > max) {
        throw py::value_error("length " + std::to_string(length) + " is out of range (1 to " +
                              std::to_string(max) + ")");
    }
    return static_cast<int>(length);
}

// bytes, bytearray or an iterable of ints 0..255, at most max of them.
std::vector<std::uint8_t> byteList(const py::handle& data, std::size_t max, const char* what) {
    std::vector<std::uint8_t> bytes;
    if (py::isinstance<py::bytes>(data) || py::isinstance<py::bytearray>(data)) {
        const std::string text =
            py::isinstance<py::bytes>(data)
                ? data.cast<std::string>()
                : py::reinterpret_borrow<py::bytearray>(data).cast<std::string>();
        bytes.assign(text.begin(), text.end());
    } else if (py::isinstance<py::str>(data) || !py::isinstance<py::iterable>(data)) {
        throw py::type_error(std::string(what) + " must be bytes or a sequence of ints, not " +
                             std::string(py::str(py::type::of(data).attr("__name__"))));
    } else {
        for (const py::handle item : data) {
            if (!py::isinstance<py::int_>(item)) {
                throw py::type_error(std::string(what) + " must hold ints, not " +
                                     std::string(py::str(py::type::of(item).attr("__name__"))));
            }
            bytes.push_back(checkByte(intOf(item, "data byte"), "data byte"));
        }
    }
    if (bytes.size() > max) {
        throw py::value_error(std::string(what) + " of " + std::to_string(bytes.size()) +
                              " bytes is too long (at most " + std::to_string(max) + ")");
    }
    return bytes;
}

// A register as an int (one byte, or two, most significant first, when over 0xFF or width 2)
// or as bytes.
std::vector<std::uint8_t> registerBytes(const py::handle& reg, std::optional<int> width) {
    if (py::isinstance<py::int_>(reg)) {
        const long value = intOf(reg, "register");
        if (width && *width != 1 && *width != 2) {
            throw py::value_error("register_width must be 1 or 2, not " + std::to_string(*width));
        }
        const int bytes = width ? *width : (value > 0xFF ? 2 : 1);
        checkRange(value, bytes == 1 ? 0xFF : 0xFFFF, "register",
                   bytes == 1 ? "0x00 to 0xFF" : "0x0000 to 0xFFFF");
        if (bytes == 1) {
            return {static_cast<std::uint8_t>(value)};
        }
        return {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
    }
    return byteList(reg, kMaxCount - 1, "register");
}

// ---- The bridge as named in Python --------------------------------------------------------------

// None, a name as --bridge takes it, or as smbus2 takes a bus: an int N for the Linux adapter
// /dev/i2c-N, a path (a str or os.PathLike with a '/' in it) for that adapter.
std::optional<std::string> bridgeText(const py::handle& bridge) {
    if (bridge.is_none()) {
        return std::nullopt;
    }
    if (py::isinstance<py::bool_>(bridge)) {
        throw py::type_error("bridge must be a str, an int or None, not bool");
    }
    if (py::isinstance<py::int_>(bridge)) {
        const long number = intOf(bridge, "bus");
        if (number < 0) {
            throw py::value_error("bus " + std::to_string(number) + " is not an adapter number");
        }
        return "i2cdev:/dev/i2c-" + std::to_string(number);
    }
    if (py::hasattr(bridge, "__fspath__") && !py::isinstance<py::str>(bridge)) {
        return "i2cdev:" + py::module_::import("os").attr("fspath")(bridge).cast<std::string>();
    }
    if (py::isinstance<py::str>(bridge)) {
        std::string text = bridge.cast<std::string>();
        const bool named = text.rfind("sim:", 0) == 0 || text.rfind("i2cdev:", 0) == 0;
        return !named && text.find('/') != std::string::npos ? "i2cdev:" + text : text;
    }
    throw py::type_error("bridge must be a str, an int or None, not " +
                         std::string(py::str(py::type::of(bridge).attr("__name__"))));
}

// Runs fn without the GIL when this thread holds it, so that a wait for the bus lock never holds
// the interpreter; with it while the interpreter is going down, when a released GIL may not be had
// back. fn touches no Python object.
template <typename Fn>
void withoutGil(Fn fn) {
    if (PyGILState_Check() == 0 || _Py_IsFinalizing() != 0) {
        fn();
        return;
    }
    py::gil_scoped_release nogil;
    fn();
}

// A capture file for the bridge as named (nullopt: as the layer chooses it); OSError when the
// file cannot be written, before anything is sent.
std::unique_ptr<client::BusCapture> openCapture(const py::handle& path,
                                                const std::optional<std::string>& bridge,
                                                long rate) {
    checkRange(rate, client::kMaxCaptureRateHz, "capture rate", "1000 to 5000000 Hz");
    if (rate < client::kMinCaptureRateHz) {
        throw py::value_error("capture rate " + std::to_string(rate) +
                              " is out of range (1000 to 5000000 Hz)");
    }
    const auto file = py::module_::import("os").attr("fspath")(path).cast<std::string>();
    std::string bridgeName;
    withoutGil([&] {
        bridgeName = bridge ? client::BusCapture::bridgeName(bridge->c_str())
                            : BridgeSession::currentBridge();
    });
    const client::CaptureSource source{std::string("velmorix (Python) ") + velmorix::kVersionText,
                                       bridgeName, static_cast<int>(rate)};
    std::string error;
    errno = 0;
    std::unique_ptr<client::BusCapture> capture = client::BusCapture::open(file, source, error);
    if (!capture) {
        throw TransferError{errno == 0 ? EIO : errno, "cannot write capture " + error};
    }
    return capture;
}

// What SMBus and Bridge share: the session, swapped only while the GIL is held, so that a call
// running without the GIL keeps its own reference; the packet trace's file; the capture file.
class Connection {
  public:
    // open: false leaves the connection unopened (smbus2's SMBus()), else the bridge opens.
    Connection(const py::handle& bridge, py::object trace, const py::object& capture,
               bool open = true)
        : capture_(capture.is_none()
                       ? nullptr
                       : openCapture(capture, bridgeText(bridge), client::kDefaultCaptureRateHz)),
          trace_(std::move(trace)) {
        if (trace_.is(py::bool_(true))) {
            trace_ = py::module_::import("sys").attr("stderr");
        }
        if (trace_.is_none() || trace_.is(py::bool_(false))) {
            trace_ = py::none();
        }
        if (open) {
            reopen(bridge);
        }
    }

    std::shared_ptr<BridgeSession> session() const {
        if (!session_) {
            throw TransferError{EBADF, "the bus is not open"};
        }
        return session_;
    }
    // A garbage-collected open object: closed without the GIL. The session may outlive this
    // object in a call of another thread's making: it stops writing to the capture, which goes
    // with this object. The trace file, a Python object, goes after, with the GIL.
    ~Connection() {
        std::shared_ptr<BridgeSession> session = std::move(session_);
        std::unique_ptr<client::BusCapture> capture = std::move(capture_);
        withoutGil([&] {
            if (session && capture) {
                session->removeCapture(*capture);
            }
            session.reset();
            capture.reset();
        });
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    void reopen(const py::handle& bridge) {
        close();
        std::optional<std::string> text = bridgeText(bridge);
        const bool trace = !trace_.is_none();
        std::shared_ptr<BridgeSession> opened;
        {
            py::gil_scoped_release nogil;
            opened = std::make_shared<BridgeSession>(std::move(text));
            opened->setTrace(trace);
            if (capture_) {
                opened->addCapture(*capture_);
            }
        }
        session_ = std::move(opened);
    }
    void close() {
        std::shared_ptr<BridgeSession> session = std::move(session_);
        session_.reset();
        if (session) {
            py::gil_scoped_release nogil;
            if (capture_) {
                session->removeCapture(*capture_);
            }
            session->close();
            session.reset();
        }
    }
    bool closed() const { return !session_; }
    std::string describe(const char* type, std::optional<int> address) const {
        std::string text = std::string("<velmorix.") + type + " bridge=";
        text += session_ ? "'" + session_->name() + "'" : std::string("None (closed)");
        text +=
            " address=" + (address ? board::prefixedHex(*address, 0) : std::string("None")) + ">";
        return text;
    }

    // Runs fn(session) without the GIL, then writes its trace lines, also when it fails. The
    // trace is taken, and this call's reference to the session dropped (the last one closes
    // it, when another thread closed this object meanwhile), before the GIL is had back.
    template <typename Fn>
    auto call(Fn fn) {
        std::shared_ptr<BridgeSession> session = this->session();
        struct Flush {
            const py::object& trace;
            std::string lines;
            ~Flush() {
                try {
                    if (!lines.empty()) {
                        trace.attr("write")(lines);
                    }
                } catch (py::error_already_set& e) {
                    // A trace file that fails must not end the process while a transfer's
                    // error unwinds: Python reports it as unraisable.
                    e.discard_as_unraisable("velmorix trace");
                }
            }
        } flush{trace_, {}};
        py::gil_scoped_release nogil;
        struct Release {
            std::shared_ptr<BridgeSession>& session;
            std::string* lines;  // null: no trace
            ~Release() {
                if (lines != nullptr) {
                    *lines = session->takeTrace();
                }
                session.reset();
            }
        } release{session, trace_.is_none() ? nullptr : &flush.lines};
        return fn(*session);
    }

  private:
    // Declared first, so that it outlives the session that writes to it.
    std::unique_ptr<client::BusCapture> capture_;
    std::shared_ptr<BridgeSession> session_;
    py::object trace_;
};

// velmorix.capture's file: the traffic of every open object of the process until close.
class ProcessCapture {
  public:
    ProcessCapture(const py::handle& path, long rate)
        : file_(openCapture(path, std::nullopt, rate)) {
        withoutGil([&] { BridgeSession::captureAll(*file_); });
    }
    ~ProcessCapture() {
        if (file_) {
            withoutGil([&] { BridgeSession::stopCaptureAll(*file_); });
        }
    }
    ProcessCapture(const ProcessCapture&) = delete;
    ProcessCapture& operator=(const ProcessCapture&) = delete;
    void close() {
        if (file_) {
            py::gil_scoped_release nogil;
            BridgeSession::stopCaptureAll(*file_);
            file_.reset();
        }
    }
    bool closed() const { return !file_; }

  private:
    std::unique_ptr<client::BusCapture> file_;
};

// ---- SMBus ------------------------------------------------------------------------------------

class SMBus {
  public:
    SMBus(const py::handle& bus, bool force, py::object trace, const py::object& capture)
        : connection_(bus, std::move(trace), capture, !bus.is_none()), force_(force) {
        if (!bus.is_none()) {
            funcs_ = functions();
        }
    }

    Connection connection_;
    std::optional<int> address_;  // the last address used, as smbus2's `address`
    bool force_;
    long funcs_ = 0;  // as smbus2 keeps it: read at open, kept after close

    // Runs fn(session, 7-bit address) with the call's force (else the object's) in effect for
    // it alone.
    template <typename Fn>
    auto forcedCall(long address, const py::handle& force, Fn fn) {
        const int a = use(address);
        const bool f = forced(force);
        return connection_.call([&](BridgeSession& s) {
            std::lock_guard bus(BridgeSession::busMutex());
            s.setForce(f);
            return fn(s, a);
        });
    }

    // The I2C_FUNC bits of the open bridge: the adapter's own, else what the packets carry.
    long functions() {
        const auto adapter = connection_.call([](BridgeSession& s) { return s.adapter(); });
        return adapter ? static_cast<long>(adapter->functions) : kBridgeFunctions;
    }
    // An SMBus block read (out empty) or block process call; the bytes the target sent.
    std::vector<std::uint8_t> block(long address, std::uint8_t command,
                                    std::vector<std::uint8_t> out, const py::handle& force) {
        return forcedCall(address, force, [&](BridgeSession& s, int a) {
            return s.blockTransfer(a, command, out);
        });
    }
    int use(long address) {
        const int checked = checkAddress(address);
        address_ = checked;
        return checked;
    }
    // A call's force argument, else the object's.
    bool forced(const py::handle& force) const {
        return force.is_none() ? force_ : py::cast<bool>(force);
    }
    std::vector<std::uint8_t> read(long address, std::vector<std::uint8_t> reg, int count,
                                   const py::handle& force = py::none()) {
        return forcedCall(address, force,
                          [&](BridgeSession& s, int a) { return s.read(a, reg, count); });
    }
    void write(long address, std::vector<std::uint8_t> reg, std::vector<std::uint8_t> data,
               const py::handle& force = py::none()) {
        forcedCall(address, force, [&](BridgeSession& s, int a) { s.write(a, reg, data); });
    }
};

py::list intList(const std::vector<std::uint8_t>& bytes) {
    py::list list;
    for (std::uint8_t b : bytes) {
        list.append(b);
    }
    return list;
}

// smbus2's i2c_rdwr: read messages are filled in place through their ctypes buffers.
void i2cRdwr(SMBus& bus, const py::args& messages) {
    std::vector<Message> plain;
    for (const py::handle m : messages) {
        if (!py::hasattr(m, "addr") || !py::hasattr(m, "flags") || !py::hasattr(m, "len") ||
            !py::hasattr(m, "buf")) {
            throw py::type_error(
                "i2c_rdwr takes i2c_msg objects (velmorix.i2c_msg or "
                "smbus2.i2c_msg), not " +
                std::string(py::str(py::type::of(m).attr("__name__"))));
        }
        Message message;
        message.address = checkAddress(intOf(m.attr("addr"), "addr"));
        const long flags = intOf(m.attr("flags"), "flags");
        if ((flags & ~static_cast<long>(kReadFlag)) != 0) {
            throw TransferError{EOPNOTSUPP, "i2c_rdwr: message flags " +
                                                board::prefixedHex(flags, 0) +
                                                " (I2C_M_TEN, I2C_M_NOSTART, I2C_M_IGNORE_NAK, "
                                                "I2C_M_RECV_LEN...) are not carried by the "
                                                "bridge; only I2C_M_RD is"};
        }
        message.read = (flags & kReadFlag) != 0;
        if (message.read) {
            message.count = checkLength(intOf(m.attr("len"), "len"), kMaxCount);
        } else {
            message.bytes = byteList(
                py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(&PyBytes_Type))(m),
                kMaxCount - 1, "message");
        }
        plain.push_back(std::move(message));
    }
    if (plain.empty()) {
        throw py::value_error("i2c_rdwr needs at least one message");
    }
    bus.address_ = plain.back().address;
    const std::vector<std::uint8_t> data =
        bus.connection_.call([&](BridgeSession& s) { return s.transfer(plain); });
    if (!data.empty()) {
        const py::handle last = messages[messages.size() - 1];
        py::module_::import("ctypes").attr("memmove")(
            last.attr("buf"), py::bytes(reinterpret_cast<const char*>(data.data()), data.size()),
            data.size());
    }
}

// ---- Bridge and Gpio ----------------------------------------------------------------------------

class Bridge;

// The bridge board's GPIO: port B and C levels and output enables and the two LEDs, kept here and
// sent whole by apply().
struct Gpio {
    Bridge* bridge;
    // As the GPIO panel keeps them: enables B, enables C (bits 4-7) and LED enables (bits 0-1),
    // data B, data C (bits 4-7) and LED levels (bits 0-1).
    std::array<std::uint8_t, 4> state{};

    // An LED (bit 0 red, bit 1 green) lights with both its enable and its level set.
    bool led(std::uint8_t bit) const { return (state[1] & state[3] & bit) != 0; }
    void setLed(std::uint8_t bit, bool on) {
        for (const std::size_t i : {1u, 3u}) {
            state[i] = static_cast<std::uint8_t>((state[i] & ~bit) | (on ? bit : 0));
        }
    }
};

struct GpioReadBack {
    int data_b, data_c, enable_b, enable_c;
};

class Bridge {
  public:
    Bridge(const py::handle& bridge, py::object trace, const py::object& capture)
        : connection_(bridge, std::move(trace), capture) {
        gpio_.bridge = this;
    }

    Connection connection_;
    Gpio gpio_;
    std::optional<int> address_;
};

// ---- run_script ---------------------------------------------------------------------------------

// One run at a time: the engine's windows, the layer's bridge and the Ctrl-C handling are the
// process's.
std::mutex g_scriptRun;
std::atomic<bool> g_interrupted{false};

// A child forked during another thread's run has no such run: it may start its own.
void scriptRunAfterForkInChild() {
    new (&g_scriptRun) std::mutex();
}

[[maybe_unused]] const int g_scriptForkHandler =
    ::pthread_atfork(nullptr, nullptr, scriptRunAfterForkInChild);

extern "C" void onInterrupt(int) {
    g_interrupted.store(true);
}

// While a run on the main thread lasts, Ctrl-C asks it to stop at the next row: Python's own
// handler needs the GIL, which the run does not hold. The previous handler comes back however
// the run ends. A run on another thread leaves SIGINT to Python, which delivers it to the main
// thread, as it delivers every signal.
class InterruptScope {
  public:
    explicit InterruptScope(bool mainThread) : installed_(mainThread) {
        g_interrupted.store(false);
        if (installed_) {
            struct sigaction ours {};
            ours.sa_handler = onInterrupt;
            sigemptyset(&ours.sa_mask);
            sigaction(SIGINT, &ours, &previous_);
        }
    }
    ~InterruptScope() {
        if (installed_) {
            sigaction(SIGINT, &previous_, nullptr);
        }
    }
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

  private:
    bool installed_;
    struct sigaction previous_ {};
};

// The run's refusal as the exception its errno names (FileNotFoundError, ValueError for
// EINVAL, BridgeError for ENODEV...), with the runner's last message line as its text.
[[noreturn]] void failRun(int errnoValue, const std::string& messages) {
    const std::string prefix = "velmorix-script: ";
    const std::size_t at = messages.rfind(prefix);
    std::string reason = messages.substr(at == std::string::npos ? 0 : at + prefix.size());
    while (!reason.empty() && reason.back() == '\n') {
        reason.pop_back();
    }
    throw TransferError{errnoValue != 0 ? errnoValue : EINVAL, reason};
}

py::dict runScript(const std::string& path, const py::handle& bridge, std::optional<long> address,
                   long loops, bool abortOnFail, std::optional<std::string> record,
                   std::optional<std::string> capture) {
    runner::RunnerOptions options;
    options.script = path;
    options.bridge = bridgeText(bridge);
    if (address) {
        options.writeAddress = static_cast<std::uint8_t>(checkAddress(*address) << 1);
    }
    constexpr long kMaxLoops = 1'000'000;
    if (loops < 1 || loops > kMaxLoops) {
        throw py::value_error("loops must be 1 to " + std::to_string(kMaxLoops) + ", not " +
                              std::to_string(loops));
    }
    // One pass is Run All Steps, as velmorix-script without --loop; more are Loop Cont.
    options.loops = loops == 1 ? 0 : static_cast<int>(loops);
    options.abortOnFail = abortOnFail;
    if (record) {
        options.recordPath = *record;
    }
    if (capture) {
        options.capturePath = *capture;
    }
    const bool mainThread = py::module_::import("threading")
                                .attr("current_thread")()
                                .is(py::module_::import("threading").attr("main_thread")());

    std::ostringstream out;
    std::ostringstream err;
    runner::ScriptRunResult result;
    {
        std::unique_lock run(g_scriptRun, std::try_to_lock);
        if (!run.owns_lock()) {
            throw std::runtime_error(
                "run_script is already running in another thread of this process; one run at "
                "a time");
        }
        InterruptScope interrupt(mainThread);
        py::gil_scoped_release nogil;
        std::lock_guard lock(BridgeSession::busMutex());
        if (BridgeSession::anyOpenLocked()) {
            throw TransferError{EBUSY,
                                "run_script chooses the bridge itself; close the open "
                                "SMBus and Bridge objects first"};
        }
        result =
            runner::runScriptPasses(options, out, err, false, [] { return g_interrupted.load(); });
    }
    if (result.interrupted) {
        PyErr_SetNone(PyExc_KeyboardInterrupt);
        throw py::error_already_set();
    }
    const std::string messages = err.str();
    if (!result.loaded) {
        failRun(result.errnoValue, messages);
    }
    if (!result.boardFault.empty()) {
        throw TransferError{
            result.errnoValue,
            result.boardFault + " (bridge " +
                (options.bridge ? *options.bridge : std::string("from VELMORIX_BRIDGE")) + ")"};
    }
    py::list passes;
    for (const runner::PassResult& pass : result.passes) {
        py::list rows;
        for (const runner::ComparedRow& row : pass.rows) {
            rows.append(py::make_tuple(row.line, row.operation, row.comment, row.expected,
                                       row.actual, row.passed));
        }
        passes.append(py::make_tuple(pass.passed, pass.failed, rows));
    }
    py::dict answer;
    answer["passes"] = passes;
    answer["passed"] = result.passed;
    answer["failed"] = result.failed;
    answer["exit_status"] = result.exitStatus;
    answer["messages"] = messages;
    return answer;
}

// close, __enter__ and __exit__ of a class holding a Connection.
template <typename T>
void addClosing(py::class_<T>& cls) {
    cls.def(
           "close", [](T& self) { self.connection_.close(); },
           "Closes the connection; harmless when closed.")
        .def("__enter__", [](T& self) -> T& { return self; })
        .def(
            "__exit__",
            [](T& self, const py::args&) {
                self.connection_.close();
                return false;
            },
            "Closes the connection; exceptions pass on.");
}

// Turns TransferError into the OSError its errno names: ValueError for EINVAL, BridgeError for
// ENODEV.
void registerErrors() {
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) {
                std::rethrow_exception(p);
            }
        } catch (const TransferError& e) {
            if (e.errnoValue == EINVAL) {
                PyErr_SetString(PyExc_ValueError, e.message.c_str());
                return;
            }
            py::object cls = e.errnoValue == ENODEV
                                 ? py::module_::import("velmorix._errors").attr("BridgeError")
                                 : py::reinterpret_borrow<py::object>(PyExc_OSError);
            // OSError(errno, text) picks its subclass by errno (TimeoutError for ETIMEDOUT).
            py::object error = cls(e.errnoValue, e.message);
            PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
        }
    });
}

// SMBus's quick, byte and word transfers.
void bindSMBusBytes(py::class_<SMBus>& smbusClass) {
    smbusClass
        .def(
            "write_quick",
            [](SMBus& self, long a, const py::object& force) { self.write(a, {}, {}, force); },
            py::arg("i2c_addr"), py::arg("force") = py::none(),
            "Sends the address alone, as a write; OSError(EREMOTEIO) when nothing acknowledges.")
        .def(
            "read_byte",
            [](SMBus& self, long a, const py::object& force) {
                return self.read(a, {}, 1, force)[0];
            },
            py::arg("i2c_addr"), py::arg("force") = py::none(),
            "Reads one byte without a register (from where the target's pointer stands).")
        .def(
            "write_byte",
            [](SMBus& self, long a, long value, const py::object& force) {
                self.write(a, {checkByte(value, "value")}, {}, force);
            },
            py::arg("i2c_addr"), py::arg("value"), py::arg("force") = py::none(),
            "Writes one byte without a register.")
        .def(
            "read_byte_data",
            [](SMBus& self, long a, long reg, const py::object& force) {
                return self.read(a, {checkRegister(reg)}, 1, force)[0];
            },
            py::arg("i2c_addr"), py::arg("register"), py::arg("force") = py::none(),
            "Reads one byte from a register.")
        .def(
            "write_byte_data",
            [](SMBus& self, long a, long reg, long value, const py::object& force) {
                self.write(a, {checkRegister(reg)}, {checkByte(value, "value")}, force);
            },
            py::arg("i2c_addr"), py::arg("register"), py::arg("value"),
            py::arg("force") = py::none(), "Writes one byte to a register.")
        .def(
            "read_word_data",
            [](SMBus& self, long a, long reg, const py::object& force) {
                const auto bytes = self.read(a, {checkRegister(reg)}, 2, force);
                return bytes[0] | (bytes[1] << 8);
            },
            py::arg("i2c_addr"), py::arg("register"), py::arg("force") = py::none(),
            "Reads a 16-bit word from a register, low byte first as SMBus sends it.")
        .def(
            "write_word_data",
            [](SMBus& self, long a, long reg, long value, const py::object& force) {
                const int word = checkRange(value, 0xFFFF, "value", "0x0000 to 0xFFFF");
                self.write(a, {checkRegister(reg)},
                           {static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8)},
                           force);
            },
            py::arg("i2c_addr"), py::arg("register"), py::arg("value"),
            py::arg("force") = py::none(), "Writes a 16-bit word to a register, low byte first.");
}

// SMBus's block transfers and i2c_rdwr.
void bindSMBusBlocks(py::class_<SMBus>& smbusClass) {
    smbusClass
        .def(
            "read_i2c_block_data",
            [](SMBus& self, long a, long reg, long length, const py::object& force) {
                const std::uint8_t r = checkRegister(reg);
                return intList(self.read(a, {r}, checkLength(length, kMaxCount), force));
            },
            py::arg("i2c_addr"), py::arg("register"), py::arg("length"),
            py::arg("force") = py::none(),
            "Reads length bytes (1 to 255, not smbus2's 32) from a register on, as a list of ints.")
        .def(
            "write_i2c_block_data",
            [](SMBus& self, long a, long reg, const py::object& data, const py::object& force) {
                const std::uint8_t r = checkRegister(reg);
                // The count byte of the reply acknowledges the address and register too.
                self.write(a, {r}, byteList(data, kMaxCount - 2, "data"), force);
            },
            py::arg("i2c_addr"), py::arg("register"), py::arg("data"),
            py::arg("force") = py::none(),
            "Writes the bytes (ints or bytes, at most 253) from a register on.")
        .def(
            "write_block_data",
            [](SMBus& self, long a, long reg, const py::object& data, const py::object& force) {
                const std::uint8_t r = checkRegister(reg);
                std::vector<std::uint8_t> block = byteList(data, kBlockMax, "data");
                block.insert(block.begin(), static_cast<std::uint8_t>(block.size()));
                self.write(a, {r}, block, force);
            },
            py::arg("i2c_addr"), py::arg("register"), py::arg("data"),
            py::arg("force") = py::none(),
            "SMBus block write: the register, the count, then the bytes (at most 32).")
        .def(
            "read_block_data",
            [](SMBus& self, long a, long reg, const py::object& force) {
                return intList(self.block(a, checkRegister(reg), {}, force));
            },
            py::arg("i2c_addr"), py::arg("register"), py::arg("force") = py::none(),
            "SMBus block read: the bytes the target sends after its count, as a list of ints. "
            "On a Linux adapter as I2C_SMBUS_BLOCK_DATA; OSError(EOPNOTSUPP) on the bridge board, "
            "which cannot read a block whose length the target sends first.")
        .def(
            "process_call",
            [](SMBus& self, long a, long reg, long value, const py::object& force) {
                const std::uint8_t r = checkRegister(reg);
                const int word = checkRange(value, 0xFFFF, "value", "0x0000 to 0xFFFF");
                const auto bytes = self.read(
                    a, {r, static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8)},
                    2, force);
                return bytes[0] | (bytes[1] << 8);
            },
            py::arg("i2c_addr"), py::arg("register"), py::arg("value"),
            py::arg("force") = py::none(),
            "SMBus process call: writes a word to the register and reads a word back after a "
            "repeated start, low bytes first.")
        .def(
            "block_process_call",
            [](SMBus& self, long a, long reg, const py::object& data, const py::object& force) {
                const std::uint8_t r = checkRegister(reg);
                std::vector<std::uint8_t> block = byteList(data, kBlockMax, "data");
                if (block.empty()) {
                    throw py::value_error("block_process_call needs 1 to 32 data bytes");
                }
                return intList(self.block(a, r, std::move(block), force));
            },
            py::arg("i2c_addr"), py::arg("register"), py::arg("data"),
            py::arg("force") = py::none(),
            "SMBus block process call: writes the block to the register, then reads the block "
            "the target sends back after its count. On a Linux adapter as "
            "I2C_SMBUS_BLOCK_PROC_CALL; OSError(EOPNOTSUPP) on the bridge board, which cannot "
            "read a block whose length the target sends first.")
        .def("i2c_rdwr", &i2cRdwr,
             R"(Runs i2c_msg messages (velmorix.i2c_msg or smbus2.i2c_msg) as one transfer.

The bridge board carries one write, one read, or a write followed by a read of the
same address (a register read); anything else raises OSError(EOPNOTSUPP). Read
messages are filled in place. Lengths go up to 255.)");
}

// SMBus, the drop-in for smbus2.SMBus.
void bindSMBus(py::module_& m) {
    py::class_<SMBus> smbusClass(m, "SMBus", R"(A drop-in for smbus2.SMBus on the bridge board.

SMBus(bus=None, force=False, *, bridge=None, trace=None, capture=None)

bus is as smbus2 takes it: an int N is the Linux adapter /dev/i2c-N, a path that
adapter ("/dev/i2c-1"); or a bridge as velmorix-script's --bridge names it (bridge_forms()
lists the forms of this build). None makes an unopened object, as smbus2 does:
call open(bus) before using it. bridge= is another name for bus. force is kept as
the force attribute, as smbus2 keeps it. trace, a file (or True for sys.stderr),
receives every packet as velmorix-i2c --trace writes it. capture, a file name,
receives every I2C message as velmorix-i2c --capture writes it (pcapng, .pcap or
.vcd); OSError when it cannot be written, before anything is sent.

Addresses are 7-bit, as in smbus2. Methods, arguments and results are smbus2's.
Errors are those of smbus2 on a Linux adapter: OSError(EREMOTEIO) when a target does
not acknowledge, velmorix.BridgeError (an OSError, ENODEV) when the bridge board is
missing or leaves, TimeoutError (ETIMEDOUT) on a transfer time-out. Bad arguments
raise ValueError or TypeError and send nothing.

One bridge is open per process at a time; several objects may share it. An object
may be used from several threads: its calls are serialized, and the GIL is released
during transfers.)");
    addClosing(smbusClass);
    smbusClass
        .def(py::init([](const py::object& bus, bool force, const py::object& bridge,
                         const py::object& trace, const py::object& capture) {
                 if (!bus.is_none() && !bridge.is_none()) {
                     throw py::type_error("give bus or bridge, not both");
                 }
                 return std::make_unique<SMBus>(bus.is_none() ? bridge : bus, force, trace,
                                                capture);
             }),
             py::arg("bus") = py::none(), py::arg("force") = false, py::kw_only(),
             py::arg("bridge") = py::none(), py::arg("trace") = py::none(),
             py::arg("capture") = py::none())
        .def(
            "open",
            [](SMBus& self, const py::object& bus) {
                self.connection_.reopen(bus);
                self.funcs_ = self.functions();
            },
            py::arg("bus"),
            "Opens the bus (as the constructor names it), closing any open one first.")
        .def_readwrite(
            "force", &SMBus::force_,
            "The default for the calls' force argument: on a Linux adapter, True reaches "
            "addresses a kernel driver holds (I2C_SLAVE_FORCE); False fails them with "
            "OSError(EBUSY), as smbus2 does.")
        .def_property_readonly(
            "funcs", [](const SMBus& self) { return self.funcs_; },
            "The I2C_FUNC bits (smbus2's I2cFunc) of the transfers this object carries exactly: "
            "the adapter's own I2C_FUNCS on a Linux adapter, what the packets carry on the "
            "bridge board; 0 before the first open, as in smbus2.")
        .def_property_readonly(
            "fd",
            [](SMBus& self) -> std::optional<int> {
                if (self.connection_.closed()) {
                    return std::nullopt;
                }
                const auto adapter =
                    self.connection_.call([](BridgeSession& s) { return s.adapter(); });
                return adapter ? std::optional<int>(adapter->fd) : std::nullopt;
            },
            "The Linux adapter's file descriptor (owned by the bus: never close it); None on "
            "the bridge board or when closed.")
        .def("__repr__",
             [](const SMBus& self) { return self.connection_.describe("SMBus", self.address_); })
        .def_property_readonly(
            "address", [](const SMBus& self) { return self.address_; },
            "The last 7-bit address used, or None.")
        .def_property(
            "pec", [](const SMBus&) { return 0; },
            [](SMBus&, long enable) {
                if (enable != 0) {
                    throw TransferError{EOPNOTSUPP, "the bridge board does not send PEC"};
                }
            },
            "Always 0: the bridge board does not send packet error checking bytes.")
        .def(
            "enable_pec",
            [](SMBus&, bool enable) {
                if (enable) {
                    throw TransferError{EOPNOTSUPP, "the bridge board does not send PEC"};
                }
            },
            py::arg("enable") = true,
            "Refused with OSError(EOPNOTSUPP): the bridge board does not send PEC.");
    bindSMBusBytes(smbusClass);
    bindSMBusBlocks(smbusClass);
}

// Gpio and GpioReadBack, the board's GPIO of a Bridge.
void bindGpio(py::module_& m) {
    py::class_<GpioReadBack>(m, "GpioReadBack",
                             "What the bridge board reports of its ports after a GPIO write.")
        .def_readonly("data_b", &GpioReadBack::data_b, "Port B levels.")
        .def_readonly("data_c", &GpioReadBack::data_c, "Port C levels (bits 4-7).")
        .def_readonly("enable_b", &GpioReadBack::enable_b, "Port B output enables.")
        .def_readonly("enable_c", &GpioReadBack::enable_c, "Port C output enables (bits 4-7).")
        .def("__repr__", [](const GpioReadBack& r) {
            return "GpioReadBack(data_b=" + board::prefixedHex(r.data_b, 0) +
                   ", data_c=" + board::prefixedHex(r.data_c, 0) +
                   ", enable_b=" + board::prefixedHex(r.enable_b, 0) +
                   ", enable_c=" + board::prefixedHex(r.enable_c, 0) + ")";
        });

    py::class_<Gpio>(m, "Gpio", R"(The bridge board's GPIO, as the GPIO panel sets it.

Set the attributes, then call apply() to send them all; it returns the read-back.
Port C uses bits 4-7. An LED lights when both its enable and its level are set.)")
        .def_property(
            "enable_b", [](const Gpio& g) { return g.state[0]; },
            [](Gpio& g, long v) { g.state[0] = checkByte(v, "enable_b"); },
            "Port B output enables.")
        .def_property(
            "enable_c", [](const Gpio& g) { return g.state[1] & 0xF0; },
            [](Gpio& g, long v) {
                g.state[1] = static_cast<std::uint8_t>((g.state[1] & 0x0F) |
                                                       (checkByte(v, "enable_c") & 0xF0));
            },
            "Port C output enables, bits 4-7.")
        .def_property(
            "data_b", [](const Gpio& g) { return g.state[2]; },
            [](Gpio& g, long v) { g.state[2] = checkByte(v, "data_b"); }, "Port B levels.")
        .def_property(
            "data_c", [](const Gpio& g) { return g.state[3] & 0xF0; },
            [](Gpio& g, long v) {
                g.state[3] = static_cast<std::uint8_t>((g.state[3] & 0x0F) |
                                                       (checkByte(v, "data_c") & 0xF0));
            },
            "Port C levels, bits 4-7.")
        .def_property(
            "red_led", [](const Gpio& g) { return g.led(0x01); },
            [](Gpio& g, bool on) { g.setLed(0x01, on); }, "The red LED.")
        .def_property(
            "green_led", [](const Gpio& g) { return g.led(0x02); },
            [](Gpio& g, bool on) { g.setLed(0x02, on); }, "The green LED.")
        .def(
            "apply",
            [](Gpio& g) {
                const std::array<std::uint8_t, 4> state = g.state;
                const bridgeproto::GpioStatusReply reply =
                    g.bridge->connection_.call([&](BridgeSession& s) { return s.gpio(state); });
                return GpioReadBack{reply.portBData, reply.portCData, reply.portBEnables,
                                    reply.portCEnables};
            },
            "Sends the enables and levels; returns the read-back (a GpioReadBack).")
        .def("__repr__", [](const Gpio& g) {
            return "<velmorix.Gpio enable_b=" + board::prefixedHex(g.state[0], 0) +
                   " enable_c=" + board::prefixedHex(g.state[1], 0) +
                   " data_b=" + board::prefixedHex(g.state[2], 0) +
                   " data_c=" + board::prefixedHex(g.state[3], 0) + ">";
        });
}

// Bridge, the native interface for bench scripts.
void bindBridge(py::module_& m) {
    py::class_<Bridge> bridgeClass(m, "Bridge", R"(The bridge board for bench scripts.

Bridge(bridge=None, trace=None, *, capture=None)

bridge names the bridge board as SMBus does. trace, a file (or True for
sys.stderr), receives every packet as velmorix-i2c --trace writes it. capture names a
capture file as SMBus's does. Addresses are
7-bit; a register is an int (one byte, two when over 0xFF or with register_width=2,
most significant first) or bytes. Errors are SMBus's. One object may be used from
several threads: its calls are serialized, and the GIL is released during transfers.)");
    addClosing(bridgeClass);
    bridgeClass
        .def(py::init(
                 [](const py::object& bridge, const py::object& trace, const py::object& capture) {
                     return std::make_unique<Bridge>(bridge, trace, capture);
                 }),
             py::arg("bridge") = py::none(), py::arg("trace") = py::none(), py::kw_only(),
             py::arg("capture") = py::none())
        .def(
            "read",
            [](Bridge& self, long address, const py::object& reg, long count,
               std::optional<int> width) {
                const int a = checkAddress(address);
                std::vector<std::uint8_t> r = registerBytes(reg, width);
                const int n = checkLength(count, kMaxCount);
                self.address_ = a;
                const auto data =
                    self.connection_.call([&](BridgeSession& s) { return s.read(a, r, n); });
                return py::bytes(reinterpret_cast<const char*>(data.data()), data.size());
            },
            py::arg("address"), py::arg("register"), py::arg("count"),
            py::arg("register_width") = py::none(),
            "Reads count bytes (1 to 255) from the register on; returns bytes.")
        .def(
            "write",
            [](Bridge& self, long address, const py::object& reg, const py::object& data,
               std::optional<int> width) {
                const int a = checkAddress(address);
                std::vector<std::uint8_t> r = registerBytes(reg, width);
                std::vector<std::uint8_t> d = byteList(data, kMaxCount - 1 - r.size(), "data");
                self.address_ = a;
                self.connection_.call([&](BridgeSession& s) { s.write(a, r, d); });
            },
            py::arg("address"), py::arg("register"), py::arg("data"),
            py::arg("register_width") = py::none(),
            "Writes the bytes (bytes or ints) from the register on.")
        .def(
            "detect",
            [](Bridge& self, bool all) {
                return self.connection_.call([&](BridgeSession& s) { return s.detect(all); });
            },
            py::arg("all") = false,
            "The 7-bit addresses that answer, probed as velmorix-i2c detect probes them; the "
            "reserved ones (0x00-0x07, 0x78-0x7F) only with all=True.")
        .def_property_readonly(
            "gpio", [](Bridge& self) -> Gpio& { return self.gpio_; },
            py::return_value_policy::reference_internal, "The board's GPIO (a Gpio).")
        .def_property_readonly(
            "attached",
            [](Bridge& self) {
                return !self.connection_.closed() &&
                       self.connection_.call([](BridgeSession& s) { return s.attached(); });
            },
            "True while the connection is open and the bridge board attached.")
        .def_property_readonly(
            "name",
            [](const Bridge& self) {
                return self.connection_.closed() ? std::string()
                                                 : self.connection_.session()->name();
            },
            "The bridge as named (\"sim\", \"usb\", \"i2cdev:/dev/i2c-1\").")
        .def("__repr__",
             [](const Bridge& self) { return self.connection_.describe("Bridge", self.address_); });
}

// _ProcessCapture, the file of velmorix.capture.
void bindProcessCapture(py::module_& m) {
    py::class_<ProcessCapture>(m, "_ProcessCapture",
                               "The file of velmorix.capture: every open object's I2C messages.")
        .def(py::init<const py::object&, long>(), py::arg("path"), py::arg("rate"))
        .def("close", &ProcessCapture::close, "Ends the capture; harmless when ended.")
        .def_property_readonly("closed", &ProcessCapture::closed, "True once ended.");
}

// RegisterMap, RegisterDevice and their values, over the transfers of a Bridge or SMBus.
void bindRegisterMap(py::module_& m) {
    pyvelmorix::addRegisterMaps(
        m,
        {[](const py::handle& bridge, const std::function<void(BridgeSession&)>& fn) {
             Connection* connection = nullptr;
             if (py::isinstance<Bridge>(bridge)) {
                 connection = &bridge.cast<Bridge&>().connection_;
             } else if (py::isinstance<SMBus>(bridge)) {
                 connection = &bridge.cast<SMBus&>().connection_;
             } else {
                 throw py::type_error("bridge must be a velmorix.Bridge or velmorix.SMBus, not " +
                                      std::string(py::str(py::type::of(bridge).attr("__name__"))));
             }
             connection->call(fn);
         },
         checkAddress});
}

// _run_script and bridge_forms.
void bindRunScript(py::module_& m) {
    m.def("_run_script", &runScript, py::arg("path"), py::arg("bridge"), py::arg("address"),
          py::arg("loops"), py::arg("abort_on_fail"), py::arg("record"), py::arg("capture"),
          "The engine of run_script: velmorix-script's, returning plain values.");
    m.def(
        "bridge_forms", [] { return std::string(WDU_BridgeForms()); },
        "The bridge names this build takes, joined by '|'.");
}

}  // namespace

PYBIND11_MODULE(_velmorix, m) {
    m.doc() = "The bridge board from Python: the C++ part of the velmorix package.";
    // Fails `import velmorix` at once when the package is incomplete, not in the first error.
    py::module_::import("velmorix._errors");
    registerErrors();
    // In this order: a class named in a signature is registered before it, so that the
    // signatures name Python types.
    bindSMBus(m);
    bindGpio(m);
    bindBridge(m);
    bindProcessCapture(m);
    // help() and reprs name the package users import, not the extension inside it.
    for (const char* name : {"SMBus", "Bridge", "Gpio", "GpioReadBack"}) {
        m.attr(name).attr("__module__") = "velmorix";
    }
    bindRegisterMap(m);
    bindRunScript(m);
}
