// The I2C message capture: what the board link reports of each transaction, and the files as the
// viewers read them. The pcapng of a short session is checked byte for byte against its golden
// copy once; the other checks go through tshark and sigrok-cli, which skip when not installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#if !defined(_WIN32)
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "SimBench.h"
#include "board/I2cTransaction.h"
#include "client/BoardLinkClient.h"
#include "client/BusCapture.h"
#include "client/PcapngEncoder.h"
#include "testing/ProgramRun.h"
#include "testing/TestHost.h"
#include "wd_utils.h"

namespace {

using board::I2cOutcome;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

// 2026-12-07 14:05:09 UTC, then one millisecond more for each transaction.
constexpr std::uint64_t kStartUs = 1796652309000000ULL;

// What tshark shows of the session: address, flags (1 = read), the message with its address byte,
// and the comment where the format has one.
std::string sessionFields(bool comments) {
    const std::pair<const char*, const char*> messages[] = {
        {"0x30\t0x00000000\t6002", ""},       {"0x30\t0x00000001\t617a", ""},
        {"0x58\t0x00000000\tb0012355aa", ""}, {"0x58\t0x00000000\tb00123", ""},
        {"0x58\t0x00000001\tb155aa", ""},     {"0x31\t0x00000000\t62", "NAK"},
        {"0x50\t0x00000000\ta010", ""},       {"0x50\t0x00000001\ta1", "timed out"},
    };
    std::string lines;
    for (const auto& [message, comment] : messages) {
        lines += std::string(message) + "\t" + (comments ? comment : "") + "\n";
    }
    return lines;
}

class CaptureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        host.pump = [] { WDU_VB_PumpEvents(); };
        client = std::make_unique<client::BoardLinkClient>(host);
        ASSERT_TRUE(client->open());
    }
    void TearDown() override { client.reset(); }

    // Opens a capture of the file in the scratch folder on a clock that ticks 1 ms a call.
    std::unique_ptr<client::BusCapture> open(const std::string& name) {
        std::string error;
        auto capture = client::BusCapture::open(
            (dir / name).string(), {"velmorix-test 1.0", "sim:bench.json", 100000}, error,
            [this] { return kStartUs + 1000 * ticks++; });
        EXPECT_NE(capture, nullptr) << error;
        return capture;
    }
    // A read, a write and a read back with a 16-bit register address, a target that is not
    // there, and a reply that never comes.
    void runSession() {
        EXPECT_EQ(client->read(0x60, {0x02}, 1).data, Bytes{0x7A});
        EXPECT_EQ(client->write(0xB0, {0x01, 0x23}, {0x55, 0xAA}).count, 5);
        EXPECT_EQ(client->read(0xB0, {0x01, 0x23}, 2).data, (Bytes{0x55, 0xAA}));
        EXPECT_EQ(client->read(0x62, {0x02}, 1).count, 0);
        bench.timeOutOn(0x82);
        EXPECT_FALSE(client->read(0xA0, {0x10}, 1).transferred());
    }
    // Captures the session to the file; its full path.
    fs::path captureSession(const std::string& name) {
        auto capture = open(name);
        if (capture) {
            client->addBusObserver(*capture);
            runSession();
            client->removeBusObserver(*capture);
        }
        return dir / name;
    }
    // Skips the test when the program cannot be run here.
    void skipWithout(const std::string& program) {
#if defined(_WIN32)
        static_cast<void>(program);
        GTEST_SKIP() << apptest::kNeedsPosixShell;
#else
        if (std::system(("command -v " + program + " >/dev/null").c_str()) != 0) {
            GTEST_SKIP() << program << " is not installed (scripts/deps.sh installs it)";
        }
#endif
    }
    // What a viewer prints; nothing, and the test skipped, when it is not installed.
    std::optional<std::string> viewer(const std::string& program, const std::string& args) {
        skipWithout(program);
        if (IsSkipped()) {
            return std::nullopt;
        }
        const apptest::ProgramRun r = apptest::runIn(dir, program + " " + args);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }
    std::optional<std::string> tsharkFields(const fs::path& file) {
        return viewer("tshark", "-r '" + file.string() +
                                    "' -T fields -e i2c.addr -e i2c.flags "
                                    "-e data.data -e frame.comment 2>/dev/null");
    }

    boardtest::SimBench bench;
    form::TestHost host;
    std::unique_ptr<client::BoardLinkClient> client;
    apptest::ScratchDir scratch{"velmorix-capture"};
    const fs::path dir = scratch.path();
    std::uint64_t ticks = 0;
};

TEST_F(CaptureTest, Decode_EveryOutcome_MessagesOnTheBusAndComment) {
    struct Case {
        const char* what;
        Bytes packet;
        std::uint32_t status;
        Bytes reply;
        std::vector<board::I2cMessage> messages;
        I2cOutcome outcome;
        const char* comment;
    };
    const Case cases[] = {
        {"register read",
         {1, 0x61, 0x02},
         0,
         {1, 0x7A},
         {{0x60, {0x02}}, {0x61, {0x7A}}},
         I2cOutcome::Acknowledged,
         ""},
        {"plain read", {2, 0x61}, 0, {2, 1, 2}, {{0x61, {1, 2}}}, I2cOutcome::Acknowledged, ""},
        {"write",
         {2, 0xA0, 0x10, 0x55},
         0,
         {3},
         {{0xA0, {0x10, 0x55}}},
         I2cOutcome::Acknowledged,
         ""},
        {"read, address not acknowledged",
         {1, 0x63, 0x02},
         0,
         {0},
         {{0x62, {}}},
         I2cOutcome::AddressNak,
         "NAK"},
        {"write, address not acknowledged",
         {1, 0x62, 0x10},
         0,
         {0},
         {{0x62, {}}},
         I2cOutcome::AddressNak,
         "NAK"},
        {"write, second byte refused",
         {3, 0xA0, 1, 2, 3},
         0,
         {2},
         {{0xA0, {1, 2}}},
         I2cOutcome::Short,
         "short: 1 of 3 bytes"},
        {"read ends short",
         {3, 0x61, 0x10},
         0,
         {1, 9},
         {{0x60, {0x10}}, {0x61, {9}}},
         I2cOutcome::Short,
         "short: 1 of 3 bytes"},
        {"reply timed out",
         {1, 0x61, 0x02},
         WD_TIME_OUT_EXPIRED,
         {},
         {{0x60, {2}}, {0x61, {}}},
         I2cOutcome::TimedOut,
         "timed out"},
        {"board pulled",
         {1, 0xA0, 0x10},
         WD_DEVICE_GONE,
         {},
         {{0xA0, {0x10}}},
         I2cOutcome::BoardGone,
         "board gone"},
        {"no connection",
         {1, 0xA0, 0x10},
         WD_DEVICE_NOT_FOUND,
         {},
         {{0xA0, {0x10}}},
         I2cOutcome::BoardGone,
         "board gone"},
        {"stall", {1, 0xA0, 0x10}, WD_STALL, {}, {{0xA0, {0x10}}}, I2cOutcome::Failed, "failed"},
    };
    for (const Case& c : cases) {
        const board::I2cTransaction t =
            board::decodeI2cExchange(c.packet, c.status, board::Reply{0, c.reply, 0});
        EXPECT_EQ(t.messages, c.messages) << c.what;
        EXPECT_EQ(t.outcome, c.outcome) << c.what;
        EXPECT_EQ(t.outcomeText(), c.comment) << c.what;
    }
}

TEST_F(CaptureTest, Pcapng_ShortSession_GoldenBytesAndTsharkFields) {
    const fs::path file = captureSession("session.pcapng");
    const std::string bytes = apptest::readFile(file);
    if (bytes != apptest::readFile(VELMORIX_CAPTURE_GOLDEN)) {
        // Kept for a look, and for a new golden copy when the format changes on purpose.
        const fs::path kept = fs::temp_directory_path() / "velmorix-session.actual.pcapng";
        apptest::writeFile(kept, bytes);
        ADD_FAILURE() << "the capture differs from " << VELMORIX_CAPTURE_GOLDEN
                      << "; it is kept as " << kept;
    }
    const auto fields = tsharkFields(file);
    if (!fields) {
        return;
    }
    EXPECT_EQ(*fields, sessionFields(true));
    // The interface names the bridge; the first message carries the clock's first tick.
    EXPECT_EQ(viewer("tshark", "-r '" + file.string() +
                                   "' -T fields -e frame.interface_name -e frame.time_epoch "
                                   "-c 1 2>/dev/null"),
              "sim:bench.json\t1796652309.000000000\n");
}

TEST_F(CaptureTest, Pcap_ShortSession_TsharkReadsTheMessagesWithoutComments) {
    const auto fields = tsharkFields(captureSession("session.pcap"));
    if (!fields) {
        return;
    }
    EXPECT_EQ(*fields, sessionFields(false));
}

TEST_F(CaptureTest, Vcd_ShortSession_SigrokDecodesTheSameBytes) {
    const fs::path file = captureSession("session.vcd");
    const auto decoded = viewer(
        "sigrok-cli", "-I vcd -i '" + file.string() +
                          "' -P i2c:scl=scl:sda=sda -A i2c=addr-data 2>/dev/null | tr '\\n' ' '");
    if (!decoded) {
        return;
    }
    // The transaction that timed out is not drawn: what it did on the bus is not known.
    EXPECT_EQ(*decoded,
              "i2c-1: Start i2c-1: Write i2c-1: Address write: 30 i2c-1: ACK "
              "i2c-1: Data write: 02 i2c-1: ACK i2c-1: Start repeat i2c-1: Read "
              "i2c-1: Address read: 30 i2c-1: ACK i2c-1: Data read: 7A i2c-1: NACK i2c-1: Stop "
              "i2c-1: Start i2c-1: Write i2c-1: Address write: 58 i2c-1: ACK "
              "i2c-1: Data write: 01 i2c-1: ACK i2c-1: Data write: 23 i2c-1: ACK "
              "i2c-1: Data write: 55 i2c-1: ACK i2c-1: Data write: AA i2c-1: ACK i2c-1: Stop "
              "i2c-1: Start i2c-1: Write i2c-1: Address write: 58 i2c-1: ACK "
              "i2c-1: Data write: 01 i2c-1: ACK i2c-1: Data write: 23 i2c-1: ACK "
              "i2c-1: Start repeat i2c-1: Read i2c-1: Address read: 58 i2c-1: ACK "
              "i2c-1: Data read: 55 i2c-1: ACK i2c-1: Data read: AA i2c-1: NACK i2c-1: Stop "
              "i2c-1: Start i2c-1: Write i2c-1: Address write: 31 i2c-1: NACK i2c-1: Stop ");
    EXPECT_NE(apptest::readFile(file).find("The timing is synthesised at 100000 Hz"),
              std::string::npos);
}

TEST_F(CaptureTest, Pipe_ReaderSeesEachTransactionBeforeTheNext) {
#if defined(_WIN32)
    GTEST_SKIP() << "named pipes here are POSIX FIFOs";
#else
    const fs::path fifo = dir / "live.pcapng";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // The reader is there first, so that opening the writer does not wait for one.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    auto capture = open("live.pcapng");
    ASSERT_NE(capture, nullptr);
    client->addBusObserver(*capture);
    // What has arrived when nothing more is written: the poll only guards against a hang.
    auto arrived = [&] {
        std::string bytes;
        char buffer[4096];
        pollfd ready{reader, POLLIN, 0};
        while (poll(&ready, 1, 5000) > 0 && (ready.revents & POLLIN) != 0) {
            const ssize_t n = ::read(reader, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            bytes.append(buffer, static_cast<std::size_t>(n));
            ready.revents = 0;
            if (poll(&ready, 1, 0) <= 0) {
                break;
            }
        }
        return bytes;
    };
    // The sizes of the blocks as the encoder makes them.
    client::PcapngEncoder encoder({"velmorix-test 1.0", "sim:bench.json", 100000});
    const std::size_t header = encoder.header().size();
    const std::size_t read = encoder.transaction({{{0x60, {0x02}}, {0x61, {0x7A}}}}, 0).size();
    const std::size_t nak = encoder.transaction({{{0x62, {}}}, I2cOutcome::AddressNak}, 0).size();
    std::string stream = arrived();
    EXPECT_EQ(stream.size(), header) << "section header and interface description";
    client->read(0x60, {0x02}, 1);
    stream += arrived();
    EXPECT_EQ(stream.size(), header + read) << "the register read's two messages";
    client->read(0x62, {0x02}, 1);
    stream += arrived();
    EXPECT_EQ(stream.size(), header + read + nak) << "the address that was not acknowledged";
    client->removeBusObserver(*capture);
    capture.reset();
    ::close(reader);
    apptest::writeFile(dir / "copy.pcapng", stream);
    if (const auto fields = tsharkFields(dir / "copy.pcapng")) {
        EXPECT_EQ(*fields,
                  "0x30\t0x00000000\t6002\t\n"
                  "0x30\t0x00000001\t617a\t\n"
                  "0x31\t0x00000000\t62\tNAK\n");
    }
#endif
}

TEST_F(CaptureTest, Open_FileCannotBeWritten_RefusedWithTheReason) {
    std::string error;
    const std::string path = (dir / "no" / "such" / "folder.pcapng").string();
    EXPECT_EQ(client::BusCapture::open(path, {}, error), nullptr);
    EXPECT_EQ(error, path + ": No such file or directory");
}

}  // namespace
