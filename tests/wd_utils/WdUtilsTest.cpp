#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "wd_utils.h"
#include "wdu_env.h"
#if !defined(_WIN32)
#include "wdu_child.h"
#endif
#include "wdu_sim.h"

namespace {

#if defined(VELMORIX_NO_USB_BACKEND)
// A build without libusb (a Windows build without it) refuses "usb", named or by default, and says
// why.
constexpr std::uint32_t kUsbStatus = WD_BACKEND_ERROR;
std::string usbReason(const char* origin) {
    return std::string(origin) +
           ": \"usb\" is not available: this build has no USB backend (built without libusb); "
           "use sim or sim:FILE";
}
#else
constexpr std::uint32_t kUsbStatus = WD_STATUS_SUCCESS;
std::string usbReason(const char*) {
    return "";
}
#endif

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// What the handlers saw; guarded for the tests of the event thread.
struct Recorder {
    struct Call {
        bool attach;
        WDU_DEVICE_HANDLE device;
        WDU_DEVICE info;
        std::thread::id thread;
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Call> calls;
    int takeDevice = 1;

    std::vector<Call> snapshot() {
        std::lock_guard lock(mutex);
        return calls;
    }
    // Waits (bounded) until count calls arrived; for the event thread only.
    bool waitFor(std::size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 5s, [&] { return calls.size() >= count; });
    }
};

int onAttach(WDU_DEVICE_HANDLE device, const WDU_DEVICE* info, void* user) {
    auto* r = static_cast<Recorder*>(user);
    std::lock_guard lock(r->mutex);
    r->calls.push_back({true, device, *info, std::this_thread::get_id()});
    r->changed.notify_all();
    return r->takeDevice;
}

void onDetach(WDU_DEVICE_HANDLE device, void* user) {
    auto* r = static_cast<Recorder*>(user);
    std::lock_guard lock(r->mutex);
    r->calls.push_back({false, device, {}, std::this_thread::get_id()});
    r->changed.notify_all();
}

class WdUtilsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        unsetenv("VELMORIX_BRIDGE");
        wdu::resetForTests();
        board = bridgesim::Board::builtIn();
        board->setTimeoutWait(0us);
        wdu::installSimulatedBoard(board);
        match.wVendorId = board->vendorId();
        match.wProductId = board->productId();
        events = {onAttach, onDetach, nullptr, &recorder};
    }
    void TearDown() override {
        wdu::resetForTests();
        unsetenv("VELMORIX_BRIDGE");
    }

    // Registers for pumped delivery and takes the attach; returns the device handle.
    WDU_DEVICE_HANDLE openDevice() {
        EXPECT_EQ(WDU_VB_Init(&driver, &match, 1, &events, 1, 0), WD_STATUS_SUCCESS);
        EXPECT_EQ(WDU_VB_PumpEvents(), 1);
        const auto calls = recorder.snapshot();
        return calls.empty() ? 0 : calls.back().device;
    }

    std::uint32_t write(WDU_DEVICE_HANDLE device, std::uint32_t pipe, Bytes bytes) {
        std::uint32_t moved = 0;
        return WDU_Transfer(device, pipe, 0, 0, bytes.data(),
                            static_cast<std::uint32_t>(bytes.size()), &moved, nullptr, 1000);
    }

    std::shared_ptr<bridgesim::Board> board;
    Recorder recorder;
    WDU_MATCH_TABLE match{};
    WDU_EVENT_TABLE events{};
    WDU_DRIVER_HANDLE driver = 0;
};

TEST_F(WdUtilsTest, VbInit_BoardPresent_AttachOnlyThroughPump) {
    ASSERT_EQ(WDU_VB_Init(&driver, &match, 1, &events, 1, 0x1234), WD_STATUS_SUCCESS);
    EXPECT_NE(driver, 0u);
    EXPECT_TRUE(recorder.snapshot().empty());
    EXPECT_EQ(WDU_VB_PumpEvents(), 1);
    EXPECT_EQ(WDU_VB_PumpEvents(), 0);
    const auto calls = recorder.snapshot();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].attach);
    EXPECT_EQ(calls[0].thread, std::this_thread::get_id());
    EXPECT_EQ(calls[0].info.wVendorId, board->vendorId());
    EXPECT_EQ(calls[0].info.wProductId, board->productId());
    EXPECT_EQ(calls[0].info.dwInterfaceNum, 0u);
    EXPECT_EQ(calls[0].info.dwAlternateSetting, 0u);
    EXPECT_EQ(calls[0].info.dwNumEndpoints, 5u);
    EXPECT_EQ(WDU_SetInterface(calls[0].device, 0, 0), WD_STATUS_SUCCESS);
}

TEST_F(WdUtilsTest, Detach_ThenAttachAgain_DeliveredOnlyByPumpWithNewHandle) {
    const WDU_DEVICE_HANDLE first = openDevice();
    board->detach();
    EXPECT_EQ(recorder.snapshot().size(), 1u);
    WDU_DEVICE info{};
    EXPECT_EQ(WDU_GetDeviceInfo(first, &info), WD_DEVICE_GONE);
    EXPECT_EQ(WDU_VB_PumpEvents(), 1);
    board->attach();
    EXPECT_EQ(WDU_VB_PumpEvents(), 1);
    const auto calls = recorder.snapshot();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_FALSE(calls[1].attach);
    EXPECT_EQ(calls[1].device, first);
    EXPECT_TRUE(calls[2].attach);
    EXPECT_NE(calls[2].device, first);
    EXPECT_EQ(WDU_GetDeviceInfo(calls[2].device, &info), WD_STATUS_SUCCESS);
}

TEST_F(WdUtilsTest, RegisterWhileAbsent_AttachWhenPluggedIn) {
    board->detach();
    ASSERT_EQ(WDU_VB_Init(&driver, &match, 1, &events, 1, 0), WD_STATUS_SUCCESS);
    EXPECT_EQ(WDU_VB_PumpEvents(), 0);
    board->attach();
    EXPECT_EQ(WDU_VB_PumpEvents(), 1);
}

TEST_F(WdUtilsTest, DetachBeforeAttachDelivered_NeitherIsDelivered) {
    ASSERT_EQ(WDU_VB_Init(&driver, &match, 1, &events, 1, 0), WD_STATUS_SUCCESS);
    board->detach();
    EXPECT_EQ(WDU_VB_PumpEvents(), 0);
    EXPECT_TRUE(recorder.snapshot().empty());
}

TEST_F(WdUtilsTest, MatchTable_OtherProductOrClass_NoAttach) {
    WDU_MATCH_TABLE other = match;
    other.wProductId = static_cast<std::uint16_t>(match.wProductId + 1);
    ASSERT_EQ(WDU_VB_Init(&driver, &other, 1, &events, 1, 0), WD_STATUS_SUCCESS);
    WDU_MATCH_TABLE wrongClass = match;
    wrongClass.bInterfaceClass = 0x03;
    WDU_DRIVER_HANDLE second = 0;
    ASSERT_EQ(WDU_VB_Init(&second, &wrongClass, 1, &events, 1, 0), WD_STATUS_SUCCESS);
    EXPECT_EQ(WDU_VB_PumpEvents(), 0);
}

TEST_F(WdUtilsTest, HandlesStaleOrMadeUp_InvalidHandleNeverCrash) {
    const WDU_DEVICE_HANDLE device = openDevice();
    WDU_DEVICE info{};
    Bytes buffer(4);
    std::uint32_t moved = 0;
    for (WDU_DEVICE_HANDLE bogus : {0u, 0x12345678u, 0xFFFFFFFFu, driver}) {
        EXPECT_EQ(WDU_GetDeviceInfo(bogus, &info), WD_INVALID_HANDLE) << bogus;
        EXPECT_EQ(WDU_SetInterface(bogus, 0, 0), WD_INVALID_HANDLE);
        EXPECT_EQ(WDU_ResetDevice(bogus, 0), WD_INVALID_HANDLE);
        EXPECT_EQ(WDU_Transfer(bogus, 2, 0, 0, buffer.data(), 4, &moved, nullptr, 1000),
                  WD_INVALID_HANDLE);
    }
    WDU_VB_Uninit(driver);
    EXPECT_EQ(WDU_GetDeviceInfo(device, &info), WD_INVALID_HANDLE);
    EXPECT_EQ(write(device, 2, {0x01, 0x61, 0x02}), WD_INVALID_HANDLE);
    WDU_VB_Uninit(driver);
    WDU_VB_Uninit(0xDEADBEEF);
    WDU_Uninit(0);
}

// The program keeps the handle of its last connection; connecting again with the board gone
// since, it asks about that handle.
TEST_F(WdUtilsTest, HandleOfEndedRegistration_BoardGoneSince_NoLongerAttached) {
    const WDU_DEVICE_HANDLE device = openDevice();
    WDU_VB_Uninit(driver);
    board->detach();
    ASSERT_EQ(WDU_VB_Init(&driver, &match, 1, &events, 1, 0), WD_STATUS_SUCCESS);
    EXPECT_EQ(WDU_VB_PumpEvents(), 0);
    WDU_DEVICE info{};
    EXPECT_EQ(WDU_GetDeviceInfo(device, &info), WD_DEVICE_GONE);
    EXPECT_STREQ(VB_Stat2Str(write(device, 2, {0x01, 0x61, 0x02})), "Device is no longer attached");
    WDU_VB_Uninit(driver);
}

TEST_F(WdUtilsTest, Uninit_WithEventQueued_NoHandlerCalled) {
    openDevice();
    board->detach();
    WDU_VB_Uninit(driver);
    EXPECT_EQ(WDU_VB_PumpEvents(), 0);
    EXPECT_EQ(recorder.snapshot().size(), 1u);
}

TEST_F(WdUtilsTest, AttachDeclined_HandleInvalidAndNoDetach) {
    recorder.takeDevice = 0;
    const WDU_DEVICE_HANDLE device = openDevice();
    WDU_DEVICE info{};
    EXPECT_EQ(WDU_GetDeviceInfo(device, &info), WD_INVALID_HANDLE);
    board->detach();
    EXPECT_EQ(WDU_VB_PumpEvents(), 0);
}

TEST_F(WdUtilsTest, RegisterReadExchange_ThroughTransfer_ReplyInBuffer) {
    const WDU_DEVICE_HANDLE device = openDevice();
    ASSERT_EQ(write(device, 2, {0x01, 0x61, 0x02}), WD_STATUS_SUCCESS);
    std::uint8_t reply[2] = {};
    std::uint32_t moved = 0;
    ASSERT_EQ(WDU_Transfer(device, 0x82, 1, 0, reply, 2, &moved, nullptr, 1000), WD_STATUS_SUCCESS);
    EXPECT_EQ(moved, 2u);
    EXPECT_EQ(reply[0], 0x01);
    EXPECT_EQ(reply[1], 0x7A);
}

TEST_F(WdUtilsTest, ReadLongerThanReply_ShortReadSucceeds) {
    const WDU_DEVICE_HANDLE device = openDevice();
    ASSERT_EQ(write(device, 2, {0x01, 0xA0, 0x10, 0x55}), WD_STATUS_SUCCESS);
    std::uint8_t reply[2] = {0, 0};
    std::uint32_t moved = 0;
    EXPECT_EQ(WDU_Transfer(device, 0x82, 1, 0, reply, 2, &moved, nullptr, 1000), WD_STATUS_SUCCESS);
    EXPECT_EQ(moved, 1u);
    EXPECT_EQ(reply[0], 3);
    EXPECT_EQ(reply[1], 0);
}

struct TraceLine {
    std::uint32_t pipe, read, status;
    Bytes bytes;
};

void traceInto(std::uint32_t pipe, std::uint32_t read, const std::uint8_t* bytes,
               std::uint32_t length, std::uint32_t status, void* user) {
    static_cast<std::vector<TraceLine>*>(user)->push_back(
        {pipe, read, status, Bytes(bytes, bytes + length)});
}

TEST_F(WdUtilsTest, TransferTrace_SeesSentBytesAndBytesReceived_NothingAfterRemoval) {
    const WDU_DEVICE_HANDLE device = openDevice();
    std::vector<TraceLine> lines;
    WDU_SetTransferTrace(traceInto, &lines);
    ASSERT_EQ(write(device, 2, {0x01, 0xA0, 0x10, 0x55}), WD_STATUS_SUCCESS);
    std::uint8_t reply[4] = {};
    std::uint32_t moved = 0;
    WDU_Transfer(device, 0x82, 1, 0, reply, 4, &moved, nullptr, 1000);
    WDU_Transfer(0xDEAD, 2, 0, 0, reply, 1, &moved, nullptr, 1000);
    WDU_SetTransferTrace(nullptr, nullptr);
    write(device, 2, {0x01, 0x61, 0x02});
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].pipe, 2u);
    EXPECT_EQ(lines[0].read, 0u);
    EXPECT_EQ(lines[0].bytes, (Bytes{0x01, 0xA0, 0x10, 0x55}));
    EXPECT_EQ(lines[1].pipe, 0x82u);
    EXPECT_EQ(lines[1].bytes, (Bytes{0x03}));
    EXPECT_EQ(lines[2].status, static_cast<std::uint32_t>(WD_INVALID_HANDLE));
}

TEST_F(WdUtilsTest, TransferTrace_Replaced_ReturnsOnlyOnceTheOldCallHasEnded) {
    const WDU_DEVICE_HANDLE device = openDevice();
    struct Slow {
        std::atomic<bool> entered{false}, finished{false};
    } slow;
    WDU_SetTransferTrace(
        [](std::uint32_t, std::uint32_t, const std::uint8_t*, std::uint32_t, std::uint32_t,
           void* user) {
            auto* s = static_cast<Slow*>(user);
            s->entered = true;
            std::this_thread::sleep_for(200ms);
            s->finished = true;
        },
        &slow);
    std::thread transfer([&] { write(device, 2, {0x01, 0xA0, 0x10, 0x55}); });
    while (!slow.entered) {
        std::this_thread::yield();
    }
    WDU_SetTransferTrace(nullptr, nullptr);
    EXPECT_TRUE(slow.finished) << "the old callback still ran when the trace was replaced";
    transfer.join();
}

#if !defined(_WIN32)
TEST_F(WdUtilsTest, Fork_WhileAnotherThreadUsesTheLayer_ChildReachesTheLayer) {
    // Another thread goes in and out of the layer all the time, so that some forks find it
    // inside; the child must still get in (an alarm ends one that waits forever).
    std::atomic<bool> stop{false};
    std::thread busy([&] {
        WDU_DEVICE info{};
        while (!stop) {
            WDU_GetDeviceInfo(0xDEAD, &info);
        }
    });
    std::string failures;
    for (int i = 0; i < 50 && failures.empty(); ++i) {
        const std::string said = wdutest::inChild([] {
            ::alarm(5);
            WDU_DEVICE info{};
            return WDU_GetDeviceInfo(0xDEAD, &info) == WD_INVALID_HANDLE ? std::string("in")
                                                                         : std::string("?");
        });
        if (said != "in") {
            failures = "fork " + std::to_string(i) + ": " + said;
        }
    }
    stop = true;
    busy.join();
    EXPECT_EQ(failures, "");
}
#endif

TEST_F(WdUtilsTest, TimeoutFault_RealWait_TimeOutStatusAfterTheTimeOut) {
    const WDU_DEVICE_HANDLE device = openDevice();
    board->setTimeoutWait(std::nullopt);
    board->setEndpointTimesOut(0x82, true);
    write(device, 2, {0x01, 0x61, 0x02});
    std::uint8_t reply[2] = {};
    std::uint32_t moved = 7;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WDU_Transfer(device, 0x82, 1, 0, reply, 2, &moved, nullptr, 30), WD_TIME_OUT_EXPIRED);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
    EXPECT_EQ(moved, 0u);
    EXPECT_STREQ(VB_Stat2Str(WD_TIME_OUT_EXPIRED), "Time-out expired");
}

TEST_F(WdUtilsTest, DeviceFaults_SurfaceAsStatuses) {
    const WDU_DEVICE_HANDLE device = openDevice();
    board->setInterfaceSelectFails(true);
    EXPECT_EQ(WDU_SetInterface(device, 0, 0), WD_INTERFACE_SELECT_FAILED);
    board->setNoEndpoints(true);
    WDU_DEVICE info{};
    ASSERT_EQ(WDU_GetDeviceInfo(device, &info), WD_STATUS_SUCCESS);
    EXPECT_EQ(info.dwNumEndpoints, 0u);
    EXPECT_EQ(write(device, 1, {0, 0}), WD_NO_ENDPOINT);
    board->clearFaults();
    EXPECT_EQ(write(device, 3, {0}), WD_STALL);
    board->detachAtTransfer(1);
    EXPECT_EQ(write(device, 1, {0, 0}), WD_DEVICE_GONE);
    EXPECT_EQ(WDU_VB_PumpEvents(), 1);
    EXPECT_FALSE(recorder.snapshot().back().attach);
}

TEST_F(WdUtilsTest, StaleHandleTransfer_CountsTowardsAttachAtNthTransfer) {
    // The board's attach-at-Nth-transfer fault counts every attempt, even one the layer refuses.
    const WDU_DEVICE_HANDLE device = openDevice();
    board->detachAtTransfer(1);
    board->attachAtTransfer(2);
    EXPECT_EQ(write(device, 1, {0, 0}), WD_DEVICE_GONE);
    EXPECT_FALSE(board->attached());
    EXPECT_EQ(write(device, 1, {0, 0}), WD_DEVICE_GONE);
    EXPECT_TRUE(board->attached());
}

TEST_F(WdUtilsTest, RegistrationFault_FailsWithZeroHandle) {
    board->setRegistrationFails(true);
    driver = 77;
    EXPECT_EQ(WDU_VB_Init(&driver, &match, 1, &events, 1, 0), WD_REGISTRATION_FAILED);
    EXPECT_EQ(driver, 0u);
}

TEST_F(WdUtilsTest, InitBadArguments_InvalidParameter) {
    EXPECT_EQ(WDU_VB_Init(nullptr, &match, 1, &events, 1, 0), WD_INVALID_PARAMETER);
    EXPECT_EQ(WDU_VB_Init(&driver, nullptr, 1, &events, 1, 0), WD_INVALID_PARAMETER);
    EXPECT_EQ(WDU_VB_Init(&driver, &match, 0, &events, 1, 0), WD_INVALID_PARAMETER);
    EXPECT_EQ(WDU_Init(&driver, &match, 1, nullptr, 0), WD_INVALID_PARAMETER);
    // A count far beyond the table must be refused before anything reads it.
    EXPECT_EQ(WDU_VB_Init(&driver, &match, 0x7FFFFFFF, &events, 1, 0), WD_INVALID_PARAMETER);
    EXPECT_EQ(WDU_Init(&driver, &match, 0xFFFFFFFF, &events, 0), WD_INVALID_PARAMETER);
    EXPECT_EQ(driver, 0u);
    const WDU_DEVICE_HANDLE device = openDevice();
    EXPECT_EQ(WDU_GetDeviceInfo(device, nullptr), WD_INVALID_PARAMETER);
    std::uint32_t moved = 0;
    EXPECT_EQ(WDU_Transfer(device, 2, 0, 0, nullptr, 4, &moved, nullptr, 1000),
              WD_INVALID_PARAMETER);
}

TEST_F(WdUtilsTest, Handles_AfterCountingPastSignedRange_StayPositive) {
    // A closed connection is told by a driver handle of 0 or less read as signed 32 bits.
    for (std::uint32_t next : {0x7FFFFFFEu, 0xFFFFFFFFu, 0u}) {
        wdu::setNextHandleForTests(next);
        for (int round = 0; round < 3; ++round) {
            ASSERT_EQ(WDU_VB_Init(&driver, &match, 1, &events, 1, 0), WD_STATUS_SUCCESS);
            ASSERT_EQ(WDU_VB_PumpEvents(), 1);
            const WDU_DEVICE_HANDLE device = recorder.snapshot().back().device;
            EXPECT_GT(static_cast<std::int32_t>(driver), 0) << std::hex << next;
            EXPECT_GT(static_cast<std::int32_t>(device), 0) << std::hex << next;
            WDU_DEVICE info{};
            EXPECT_EQ(WDU_GetDeviceInfo(device, &info), WD_STATUS_SUCCESS);
            WDU_VB_Uninit(driver);
        }
    }
}

TEST_F(WdUtilsTest, Board_AcrossRegistrations_KeepsItsState) {
    WDU_DEVICE_HANDLE device = openDevice();
    ASSERT_EQ(write(device, 2, {0x01, 0x60, 0x20, 0x42}), WD_STATUS_SUCCESS);
    WDU_ResetDevice(device, 0);
    WDU_VB_Uninit(driver);
    device = openDevice();
    ASSERT_EQ(write(device, 2, {0x01, 0x61, 0x20}), WD_STATUS_SUCCESS);
    std::uint8_t reply[2] = {};
    std::uint32_t moved = 0;
    ASSERT_EQ(WDU_Transfer(device, 0x82, 1, 0, reply, 2, &moved, nullptr, 1000), WD_STATUS_SUCCESS);
    EXPECT_EQ(reply[1], 0x42);
}

TEST_F(WdUtilsTest, Init_EventThread_DeliversWithoutPump) {
    ASSERT_EQ(WDU_Init(&driver, &match, 1, &events, 0), WD_STATUS_SUCCESS);
    ASSERT_TRUE(recorder.waitFor(1));
    EXPECT_EQ(WDU_VB_PumpEvents(), 0);
    board->detach();
    ASSERT_TRUE(recorder.waitFor(2));
    const auto calls = recorder.snapshot();
    EXPECT_TRUE(calls[0].attach);
    EXPECT_NE(calls[0].thread, std::this_thread::get_id());
    EXPECT_FALSE(calls[1].attach);
    WDU_Uninit(driver);
}

TEST(StatusText, EveryStatus_OwnText) {
    std::set<std::string> texts;
    for (std::uint32_t s = WD_INVALID_HANDLE; s <= WD_ACCESS_DENIED; ++s) {
        texts.insert(VB_Stat2Str(s));
    }
    texts.insert(VB_Stat2Str(WD_STATUS_SUCCESS));
    EXPECT_EQ(texts.size(), WD_ACCESS_DENIED - WD_INVALID_HANDLE + 2);
    EXPECT_FALSE(texts.contains("Unknown status"));
    EXPECT_STREQ(VB_Stat2Str(0x7777), "Unknown status");
}

class BackendChoice : public ::testing::Test {
  protected:
    void SetUp() override { wdu::resetForTests(); }
    void TearDown() override {
        wdu::resetForTests();
        unsetenv("VELMORIX_BRIDGE");
    }
    std::uint32_t registerOnce() {
        const auto ids = bridgesim::Board::builtIn();
        WDU_MATCH_TABLE match{ids->vendorId(), ids->productId(), 0, 0, 0, 0, 0};
        WDU_EVENT_TABLE events{onAttach, onDetach, nullptr, &recorder};
        return WDU_VB_Init(&driver, &match, 1, &events, 1, 0);
    }
    Recorder recorder;
    WDU_DRIVER_HANDLE driver = 0;
};

TEST_F(BackendChoice, SelectBridge_EachForm_StatusBoardAndReason) {
    const std::string good = ::testing::TempDir() + "wdu_select_good.json";
    const std::string bad = ::testing::TempDir() + "wdu_select_bad.json";
    std::ofstream(good) << R"({"targets": [{"address": "50", "registers": {"01": "5A"}}]})";
    std::ofstream(bad) << R"({"targets": [{"address": "6G"}]})";
    const std::string goodText = "sim:" + good;
    const std::string badText = "sim:" + bad;
#if defined(__linux__)
    const std::string forms = "usb, sim, sim:FILE or i2cdev:PATH";
#else
    const std::string forms = "usb, sim or sim:FILE";
#endif
    struct Case {
        const char* text;  // nullptr: the default
        const char* env;   // VELMORIX_BRIDGE, nullptr: unset
        std::uint32_t status;
        int simulated;       // 0 no board, 1 built-in board, 2 the file's board
        std::string reason;  // WDU_BridgeError()
    };
    const Case cases[] = {
        {"usb", "sim", kUsbStatus, 0, usbReason("bridge")},
        {"sim", "usb", WD_STATUS_SUCCESS, 1, ""},
        {goodText.c_str(), nullptr, WD_STATUS_SUCCESS, 2, ""},
        {nullptr, nullptr, kUsbStatus, 0, usbReason("VELMORIX_BRIDGE")},
        {nullptr, "sim", WD_STATUS_SUCCESS, 1, ""},
        {badText.c_str(), nullptr, WD_BAD_SIMULATION, 0,
         bad + ": targets[0].address: bad hex \"6G\""},
        {"sim:", nullptr, WD_BAD_SIMULATION, 0,
         "bridge: \"sim:\" needs a simulation file name after the colon"},
#if defined(__linux__)
        {"i2cdev:", nullptr, WD_BACKEND_ERROR, 0,
         "bridge: \"i2cdev:\" needs the adapter's node after the colon, as in i2cdev:/dev/i2c-1"},
#else
        {"i2cdev:/dev/i2c-1", nullptr, WD_BACKEND_ERROR, 0,
         "bridge: i2cdev bridges exist only on Linux"},
#endif
        {"bluetooth", nullptr, WD_BACKEND_ERROR, 0,
         "bridge: unknown value \"bluetooth\" (use " + forms + ")"},
        {nullptr, "bluetooth", WD_BACKEND_ERROR, 0,
         "VELMORIX_BRIDGE: unknown value \"bluetooth\" (use " + forms + ")"},
    };
    for (const Case& c : cases) {
        const std::string name = c.text != nullptr ? c.text : "(default)";
        wdu::resetForTests();
        if (c.env != nullptr) {
            setenv("VELMORIX_BRIDGE", c.env, 1);
        } else {
            unsetenv("VELMORIX_BRIDGE");
        }
        EXPECT_EQ(WDU_SelectBridge(c.text), c.status) << name;
        EXPECT_EQ(WDU_BridgeError(), c.reason) << name;
        if (c.status != WD_STATUS_SUCCESS) {
            EXPECT_EQ(VB_Stat2Str(c.status),
                      std::string(c.status == WD_BAD_SIMULATION ? "Bad simulation file"
                                                                : "Bridge backend error") +
                          ": " + c.reason)
                << name;
            continue;
        }
        bridgesim::Board* board = wdu::simulatedBoard();
        EXPECT_EQ(board != nullptr, c.simulated != 0) << name;
        if (c.simulated == 1) {
            EXPECT_EQ(board->peekRegister(0x60, 0x02), 0x7A) << name;
        } else if (c.simulated == 2) {
            EXPECT_EQ(board->peekRegister(0x50, 0x01), 0x5A) << name;
        }
        // Set after the choice, the environment no longer decides it.
        setenv("VELMORIX_BRIDGE", "bluetooth", 1);
        EXPECT_EQ(registerOnce(), WD_STATUS_SUCCESS) << name;
        EXPECT_EQ(WDU_VB_PumpEvents(), c.simulated != 0 ? 1 : 0) << name;
        WDU_VB_Uninit(driver);
    }
    std::remove(good.c_str());
    std::remove(bad.c_str());
}

TEST_F(BackendChoice, SelectBridge_FailedOrRefused_BridgeInForceStays) {
    ASSERT_EQ(WDU_SelectBridge("sim"), WD_STATUS_SUCCESS);
    bridgesim::Board* board = wdu::simulatedBoard();
    ASSERT_NE(board, nullptr);
    EXPECT_EQ(WDU_SelectBridge("bluetooth"), WD_BACKEND_ERROR);
    EXPECT_EQ(wdu::simulatedBoard(), board);
    ASSERT_EQ(registerOnce(), WD_STATUS_SUCCESS);
    EXPECT_EQ(WDU_SelectBridge("usb"), WD_ALREADY_INITIALIZED);
    EXPECT_EQ(WDU_VB_PumpEvents(), 1) << "the open registration keeps its device";
    EXPECT_EQ(wdu::simulatedBoard(), board);
    WDU_VB_Uninit(driver);
    EXPECT_EQ(WDU_SelectBridge("usb"), kUsbStatus);
    EXPECT_EQ(wdu::simulatedBoard() == nullptr, kUsbStatus == WD_STATUS_SUCCESS);
}

TEST_F(BackendChoice, UnsetOrUsb_InitSucceedsNoDeviceNoBoard) {
#if defined(VELMORIX_NO_USB_BACKEND)
    for (const char* value : {static_cast<const char*>(nullptr), "usb"}) {
        wdu::resetForTests();
        if (value != nullptr) {
            setenv("VELMORIX_BRIDGE", value, 1);
        } else {
            unsetenv("VELMORIX_BRIDGE");
        }
        EXPECT_EQ(registerOnce(), WD_BACKEND_ERROR);
        EXPECT_EQ(driver, 0u);
        EXPECT_EQ(std::string(WDU_BridgeError()), usbReason("VELMORIX_BRIDGE"));
        EXPECT_EQ(std::string(VB_Stat2Str(WD_BACKEND_ERROR)),
                  "Bridge backend error: " + usbReason("VELMORIX_BRIDGE"));
    }
    return;
#endif
    for (const char* value : {static_cast<const char*>(nullptr), "usb"}) {
        wdu::resetForTests();
        if (value != nullptr) {
            setenv("VELMORIX_BRIDGE", value, 1);
        } else {
            unsetenv("VELMORIX_BRIDGE");
        }
        EXPECT_EQ(registerOnce(), WD_STATUS_SUCCESS);
        EXPECT_EQ(WDU_VB_PumpEvents(), 0);
        EXPECT_EQ(wdu::simulatedBoard(), nullptr);
        WDU_VB_Uninit(driver);
    }
}

TEST_F(BackendChoice, Sim_BuiltInBoardSameAcrossRegistrations) {
    setenv("VELMORIX_BRIDGE", "sim", 1);
    bridgesim::Board* board = wdu::simulatedBoard();
    ASSERT_NE(board, nullptr);
    EXPECT_EQ(board->peekRegister(0x60, 0x02), 0x7A);
    EXPECT_EQ(registerOnce(), WD_STATUS_SUCCESS);
    EXPECT_EQ(WDU_VB_PumpEvents(), 1);
    WDU_VB_Uninit(driver);
    EXPECT_EQ(wdu::simulatedBoard(), board);
}

TEST_F(BackendChoice, SimFileBad_InitFailsWithReason) {
    setenv("VELMORIX_BRIDGE", "sim:/nonexistent/bench.json", 1);
    EXPECT_EQ(registerOnce(), WD_BAD_SIMULATION);
    EXPECT_EQ(driver, 0u);
    EXPECT_NE(std::string(WDU_BridgeError()).find("/nonexistent/bench.json: (file)"),
              std::string::npos);
    EXPECT_EQ(wdu::simulatedBoard(), nullptr);
    setenv("VELMORIX_BRIDGE", "bluetooth", 1);
    EXPECT_EQ(registerOnce(), WD_BACKEND_ERROR);
    EXPECT_NE(std::string(WDU_BridgeError()).find("bluetooth"), std::string::npos);
}

TEST_F(BackendChoice, SimFileBad_StatusTextNamesFileKeyAndProblem) {
    // The program's log shows only the status text: it must carry the reason.
    const std::string path = ::testing::TempDir() + "wdu_bad_bench.json";
    std::ofstream(path) << R"({"targets": [{"address": "6G"}]})";
    setenv("VELMORIX_BRIDGE", ("sim:" + path).c_str(), 1);
    EXPECT_EQ(registerOnce(), WD_BAD_SIMULATION);
    std::remove(path.c_str());
    EXPECT_EQ(std::string(VB_Stat2Str(WD_BAD_SIMULATION)),
              "Bad simulation file: " + path + ": targets[0].address: bad hex \"6G\"");
    const char* first = VB_Stat2Str(WD_BAD_SIMULATION);
    EXPECT_EQ(VB_Stat2Str(WD_BAD_SIMULATION), first) << "the same text is kept once";

    setenv("VELMORIX_BRIDGE", "bluetooth", 1);
    EXPECT_EQ(registerOnce(), WD_BACKEND_ERROR);
    EXPECT_NE(std::string(VB_Stat2Str(WD_BACKEND_ERROR)).find("bluetooth"), std::string::npos);
    EXPECT_STREQ(first,
                 ("Bad simulation file: " + path + ": targets[0].address: bad hex \"6G\"").c_str())
        << "an earlier text stays valid";

    setenv("VELMORIX_BRIDGE", "sim", 1);
    EXPECT_EQ(registerOnce(), WD_STATUS_SUCCESS);
    EXPECT_STREQ(VB_Stat2Str(WD_BAD_SIMULATION), "Bad simulation file");
    WDU_VB_Uninit(driver);
}

}  // namespace
