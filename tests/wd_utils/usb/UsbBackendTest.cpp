// The libusb backend against the simulated bridge board behind an emulated usbdevfs node, through
// the public WDU_* operations (and the backend itself for the polling watch). Every wait is
// bounded; the tests skip when the umockdev preload library is not active.
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/usbdevice_fs.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "UsbBackend.h"
#include "emulator/EmulatedBridge.h"
#include "wd_utils.h"
#include "wdu_child.h"
#include "wdu_sim.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr auto kWaitLimit = 5s;

// What the handlers saw. The attach handler selects interface 0, setting 0, as the program does.
struct Recorder {
    struct Call {
        bool attach;
        WDU_DEVICE_HANDLE device;
        WDU_DEVICE info;
        std::uint32_t selectStatus;
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Call> calls;

    std::vector<Call> snapshot() {
        std::lock_guard lock(mutex);
        return calls;
    }
    bool waitFor(std::size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, kWaitLimit, [&] { return calls.size() >= count; });
    }
    // Waits for an attach the handler took, among the calls after the first `skip`; returns its
    // handle, or 0.
    WDU_DEVICE_HANDLE waitForAccepted(std::size_t skip) {
        std::unique_lock lock(mutex);
        WDU_DEVICE_HANDLE taken = 0;
        changed.wait_for(lock, kWaitLimit, [&] {
            for (std::size_t i = skip; i < calls.size() && taken == 0; ++i) {
                if (calls[i].attach && calls[i].selectStatus == WD_STATUS_SUCCESS) {
                    taken = calls[i].device;
                }
            }
            return taken != 0;
        });
        return taken;
    }
};

int onAttach(WDU_DEVICE_HANDLE device, const WDU_DEVICE* info, void* user) {
    const std::uint32_t status = WDU_SetInterface(device, 0, 0);
    auto* r = static_cast<Recorder*>(user);
    std::lock_guard lock(r->mutex);
    r->calls.push_back({true, device, *info, status});
    r->changed.notify_all();
    return status == WD_STATUS_SUCCESS ? 1 : 0;
}

void onDetach(WDU_DEVICE_HANDLE device, void* user) {
    auto* r = static_cast<Recorder*>(user);
    std::lock_guard lock(r->mutex);
    r->calls.push_back({false, device, {}, 0});
    r->changed.notify_all();
}

class UsbBackendTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!EmulatedBridge::inMockEnvironment()) {
            GTEST_SKIP() << "the umockdev preload library is not active (run under "
                            "LD_PRELOAD=libumockdev-preload.so.0)";
        }
        setenv("VELMORIX_BRIDGE", "usb", 1);
        wdu::resetForTests();
        board = bridgesim::Board::builtIn();
        bridge = std::make_unique<EmulatedBridge>(board);
        std::string error;
        ASSERT_TRUE(bridge->plug(error)) << error;
        match.wVendorId = board->vendorId();
        match.wProductId = board->productId();
        events = {onAttach, onDetach, nullptr, &recorder};
    }
    void TearDown() override {
        if (driver != 0) {
            WDU_Uninit(driver);
        }
        wdu::resetForTests();
        bridge.reset();
        unsetenv("VELMORIX_BRIDGE");
    }

    // Registers with the layer's event thread and waits for the attach; returns the handle.
    WDU_DEVICE_HANDLE open() {
        EXPECT_EQ(WDU_Init(&driver, &match, 1, &events, 0), WD_STATUS_SUCCESS);
        if (!recorder.waitFor(1)) {
            ADD_FAILURE() << "no attach";
            return 0;
        }
        return recorder.snapshot().front().device;
    }

    std::uint32_t write(WDU_DEVICE_HANDLE device, std::uint32_t pipe, Bytes bytes,
                        std::uint32_t* moved = nullptr) {
        std::uint32_t count = 0;
        const std::uint32_t status =
            WDU_Transfer(device, pipe, 0, 0, bytes.data(), static_cast<std::uint32_t>(bytes.size()),
                         &count, nullptr, 1000);
        if (moved != nullptr) {
            *moved = count;
        }
        return status;
    }

    // Reads up to length bytes; the result holds what arrived.
    std::uint32_t read(WDU_DEVICE_HANDLE device, std::uint32_t pipe, std::uint32_t length,
                       Bytes& got, std::uint32_t timeoutMs = 1000) {
        got.assign(length, 0);
        std::uint32_t count = 0;
        const std::uint32_t status =
            WDU_Transfer(device, pipe, 1, 0, got.data(), length, &count, nullptr, timeoutMs);
        got.resize(count);
        return status;
    }

    std::shared_ptr<bridgesim::Board> board;
    std::unique_ptr<EmulatedBridge> bridge;
    Recorder recorder;
    WDU_MATCH_TABLE match{};
    WDU_EVENT_TABLE events{};
    WDU_DRIVER_HANDLE driver = 0;
};

TEST_F(UsbBackendTest, Attach_BridgePresent_ReportsIdsAndFiveEndpoints) {
    const WDU_DEVICE_HANDLE device = open();
    ASSERT_NE(device, 0u);
    const auto call = recorder.snapshot().front();
    EXPECT_TRUE(call.attach);
    EXPECT_EQ(call.info.wVendorId, board->vendorId());
    EXPECT_EQ(call.info.wProductId, board->productId());
    EXPECT_EQ(call.info.dwNumEndpoints, 5u);
    EXPECT_EQ(call.selectStatus, WD_STATUS_SUCCESS);
    EXPECT_EQ(bridge->lastSelection(), std::make_pair(0, 0));
    EXPECT_EQ(
        bridge->requests(USBDEVFS_DISCONNECT_CLAIM) + bridge->requests(USBDEVFS_CLAIMINTERFACE), 1);

    WDU_DEVICE info{};
    ASSERT_EQ(WDU_GetDeviceInfo(device, &info), WD_STATUS_SUCCESS);
    EXPECT_EQ(info.wVendorId, board->vendorId());
    EXPECT_EQ(info.wProductId, board->productId());
    EXPECT_EQ(info.dwInterfaceNum, 0u);
    EXPECT_EQ(info.dwAlternateSetting, 0u);
    EXPECT_EQ(info.dwNumEndpoints, 5u);
}

TEST_F(UsbBackendTest, VbInit_BridgePresent_AttachQueuedForFirstPump) {
    ASSERT_EQ(WDU_VB_Init(&driver, &match, 1, &events, 1, 0), WD_STATUS_SUCCESS);
    // The board was found when the backend started, so the attach waits at once: the program's
    // short wait after registering always sees it.
    EXPECT_EQ(WDU_VB_PumpEvents(), 1);
    const auto calls = recorder.snapshot();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].selectStatus, WD_STATUS_SUCCESS);
    WDU_VB_Uninit(driver);
    driver = 0;
}

TEST_F(UsbBackendTest, VbInit_NoTableWantsBridge_NoAttachUntilOneDoes) {
    WDU_MATCH_TABLE other = match;
    other.wProductId = static_cast<std::uint16_t>(match.wProductId + 1);
    Recorder otherRecorder;
    const WDU_EVENT_TABLE otherEvents{onAttach, onDetach, nullptr, &otherRecorder};
    WDU_DRIVER_HANDLE otherDriver = 0;
    ASSERT_EQ(WDU_VB_Init(&otherDriver, &other, 1, &otherEvents, 1, 0), WD_STATUS_SUCCESS);
    EXPECT_EQ(WDU_VB_PumpEvents(), 0);
    EXPECT_EQ(bridge->requests(USBDEVFS_DISCONNECT_CLAIM), 0);

    WDU_DRIVER_HANDLE wanted = 0;
    ASSERT_EQ(WDU_VB_Init(&wanted, &match, 1, &events, 1, 0), WD_STATUS_SUCCESS);
    EXPECT_EQ(WDU_VB_PumpEvents(), 1);
    EXPECT_EQ(recorder.snapshot().size(), 1u);
    EXPECT_TRUE(otherRecorder.snapshot().empty());
    WDU_VB_Uninit(wanted);
    WDU_VB_Uninit(otherDriver);
}

// Each exchange of the bridge protocol, bytes as the board answers them.
TEST_F(UsbBackendTest, Transfer_CommandThenReply_ReturnsBoardReply) {
    struct Case {
        const char* name;
        std::uint32_t outPipe;
        Bytes command;
        std::uint32_t inPipe;
        std::uint32_t readLength;
    };
    const std::vector<Case> cases = {
        {"register read 60/02", 2, {0x01, 0x61, 0x02}, 0x82, 2},
        {"register write 60/05 = 5A", 2, {0x03, 0x60, 0x05, 0x5A}, 0x82, 1},
        {"gpio write", 1, {0x05, 0x03, 0x0F, 0x03}, 0x81, 25},
        {"gpio data", 1, {0x0A, 0x02}, 0x81, 25},
    };
    const WDU_DEVICE_HANDLE device = open();
    ASSERT_NE(device, 0u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::uint32_t moved = 0;
        ASSERT_EQ(write(device, c.outPipe, c.command, &moved), WD_STATUS_SUCCESS);
        EXPECT_EQ(moved, c.command.size());
        Bytes reply;
        ASSERT_EQ(read(device, c.inPipe, c.readLength, reply), WD_STATUS_SUCCESS);
        ASSERT_EQ(reply.size(), c.readLength);
        if (c.inPipe == 0x82 && c.readLength == 2) {
            EXPECT_EQ(reply, (Bytes{0x01, 0x7A}));
        } else if (c.inPipe == 0x82) {
            EXPECT_EQ(reply[0], 3);  // address, register and data acknowledged
        } else {
            const bridgesim::GpioSnapshot gpio = board->gpio();
            EXPECT_EQ(reply[0], gpio.pinsB);
            EXPECT_EQ(reply[1], gpio.pinsC);
            EXPECT_EQ(reply[2], gpio.enablesB);
            EXPECT_EQ(reply[3], gpio.enablesC);
        }
    }
    EXPECT_EQ(board->peekRegister(0x60, 0x05), std::optional<std::uint8_t>(0x5A));
    EXPECT_EQ(board->gpio().enablesB, 0x0F);
    EXPECT_EQ(board->gpio().dataB, 0x0A);
    EXPECT_TRUE(board->ledLit(1));
}

TEST_F(UsbBackendTest, Transfer_ReadLongerThanReply_SucceedsShort) {
    const WDU_DEVICE_HANDLE device = open();
    ASSERT_NE(device, 0u);
    ASSERT_EQ(write(device, 2, {0x01, 0x61, 0x02}), WD_STATUS_SUCCESS);
    Bytes reply;
    EXPECT_EQ(read(device, 0x82, 64, reply), WD_STATUS_SUCCESS);
    EXPECT_EQ(reply, (Bytes{0x01, 0x7A}));
}

TEST_F(UsbBackendTest, Transfer_NoReplyWithinTimeout_TimesOutThenWorksOn) {
    const WDU_DEVICE_HANDLE device = open();
    ASSERT_NE(device, 0u);
    Bytes reply;
    // Nothing was asked, so nothing answers: the urb waits until libusb discards it.
    EXPECT_EQ(read(device, 0x82, 2, reply, 100), WD_TIME_OUT_EXPIRED);
    EXPECT_TRUE(reply.empty());
    EXPECT_GE(bridge->requests(USBDEVFS_DISCARDURB), 1);
    ASSERT_EQ(write(device, 2, {0x01, 0x61, 0x02}), WD_STATUS_SUCCESS);
    EXPECT_EQ(read(device, 0x82, 2, reply), WD_STATUS_SUCCESS);
    EXPECT_EQ(reply, (Bytes{0x01, 0x7A}));
}

TEST_F(UsbBackendTest, Transfer_BadEndpoint_Stalls) {
    const WDU_DEVICE_HANDLE device = open();
    ASSERT_NE(device, 0u);
    Bytes reply;
    EXPECT_EQ(read(device, 0x83, 2, reply), WD_STALL);  // no such endpoint: the device stalls
    EXPECT_EQ(read(device, 0x02, 2, reply), WD_STALL);  // an OUT endpoint read: never sent
    EXPECT_EQ(write(device, 0x82, {0x01}), WD_STALL);
    ASSERT_EQ(write(device, 2, {0x01, 0x61, 0x02}), WD_STATUS_SUCCESS);
    EXPECT_EQ(read(device, 0x82, 2, reply), WD_STATUS_SUCCESS);
}

TEST_F(UsbBackendTest, Unplug_WhileOpen_DetachThenDeviceGone) {
    const WDU_DEVICE_HANDLE device = open();
    ASSERT_NE(device, 0u);
    bridge->unplug();
    ASSERT_TRUE(recorder.waitFor(2));
    const auto calls = recorder.snapshot();
    EXPECT_FALSE(calls[1].attach);
    EXPECT_EQ(calls[1].device, device);
    Bytes reply;
    EXPECT_EQ(write(device, 2, {0x01, 0x61, 0x02}), WD_DEVICE_GONE);
    EXPECT_EQ(read(device, 0x82, 2, reply), WD_DEVICE_GONE);
    WDU_DEVICE info{};
    EXPECT_EQ(WDU_GetDeviceInfo(device, &info), WD_DEVICE_GONE);
    EXPECT_EQ(WDU_SetInterface(device, 0, 0), WD_DEVICE_GONE);
}

TEST_F(UsbBackendTest, Unplug_DuringWaitingRead_ReadEndsDeviceGone) {
    const WDU_DEVICE_HANDLE device = open();
    ASSERT_NE(device, 0u);
    std::uint32_t status = 0;
    Bytes reply;
    std::thread reader([&] { status = read(device, 0x82, 2, reply, 5000); });
    const bool waiting = bridge->waitForWaitingReads(1, kWaitLimit);
    bridge->unplug();
    reader.join();
    ASSERT_TRUE(waiting);
    EXPECT_EQ(status, WD_DEVICE_GONE);
    EXPECT_TRUE(recorder.waitFor(2));
}

TEST_F(UsbBackendTest, Replug_AfterUnplug_NewHandleWorks) {
    const WDU_DEVICE_HANDLE first = open();
    ASSERT_NE(first, 0u);
    bridge->unplug();
    ASSERT_TRUE(recorder.waitFor(2));
    std::string error;
    ASSERT_TRUE(bridge->replug(error)) << error;
    ASSERT_TRUE(recorder.waitFor(3));
    const auto calls = recorder.snapshot();
    ASSERT_TRUE(calls[2].attach);
    const WDU_DEVICE_HANDLE second = calls[2].device;
    EXPECT_NE(second, first);
    EXPECT_EQ(calls[2].selectStatus, WD_STATUS_SUCCESS);
    EXPECT_EQ(write(first, 2, {0x01, 0x61, 0x02}), WD_DEVICE_GONE);
    ASSERT_EQ(write(second, 2, {0x01, 0x61, 0x02}), WD_STATUS_SUCCESS);
    Bytes reply;
    EXPECT_EQ(read(second, 0x82, 2, reply), WD_STATUS_SUCCESS);
    EXPECT_EQ(reply, (Bytes{0x01, 0x7A}));
}

TEST_F(UsbBackendTest, SetInterface_DeviceRefuses_ReportsSelectionFailed) {
    board->setInterfaceSelectFails(true);
    ASSERT_EQ(WDU_Init(&driver, &match, 1, &events, 0), WD_STATUS_SUCCESS);
    ASSERT_TRUE(recorder.waitFor(1));
    const auto call = recorder.snapshot().front();
    EXPECT_EQ(call.selectStatus, WD_INTERFACE_SELECT_FAILED);
    EXPECT_EQ(bridge->lastSelection(), std::make_pair(0, 0));
}

TEST_F(UsbBackendTest, ResetDevice_Attached_ResetsBoardAndKeepsDevice) {
    const WDU_DEVICE_HANDLE device = open();
    ASSERT_NE(device, 0u);
    ASSERT_EQ(write(device, 2, {0x01, 0x61, 0x02}), WD_STATUS_SUCCESS);  // leaves a reply
    EXPECT_EQ(WDU_ResetDevice(device, 0), WD_STATUS_SUCCESS);
    EXPECT_EQ(bridge->requests(USBDEVFS_RESET), 1);
    Bytes reply;
    EXPECT_EQ(read(device, 0x82, 2, reply, 50), WD_TIME_OUT_EXPIRED);  // the reset dropped it
    ASSERT_EQ(write(device, 2, {0x01, 0x61, 0x02}), WD_STATUS_SUCCESS);
    EXPECT_EQ(read(device, 0x82, 2, reply), WD_STATUS_SUCCESS);
    EXPECT_EQ(reply, (Bytes{0x01, 0x7A}));
}

TEST_F(UsbBackendTest, Uninit_ThenReplugAndRegisterAgain_NewRegistrationGetsBoard) {
    open();
    WDU_Uninit(driver);
    driver = 0;
    bridge->unplug();
    std::string error;
    ASSERT_TRUE(bridge->replug(error)) << error;
    // Registered before the backend may have heard of the unplug: an attach for the old
    // attachment may come first and fail its interface selection; the board's new one follows.
    ASSERT_EQ(WDU_Init(&driver, &match, 1, &events, 0), WD_STATUS_SUCCESS);
    const WDU_DEVICE_HANDLE device = recorder.waitForAccepted(1);
    const auto calls = recorder.snapshot();
    ASSERT_NE(device, 0u);
    EXPECT_NE(device, calls.front().device);
    EXPECT_EQ(write(device, 2, {0x01, 0x61, 0x02}), WD_STATUS_SUCCESS);
    for (std::size_t i = 1; i < calls.size(); ++i) {  // the old registration heard nothing more
        EXPECT_TRUE(calls[i].attach);
    }
}

// A transfer that finds the board gone returns only once the detach waits for the next pump,
// and the handle then says why it died, on the simulated board and through libusb alike. The
// libusb backend hears of a departure on threads of its own, so its cases run many times.
TEST_F(UsbBackendTest, TransferMeetsBoardGone_DetachAtNextPumpAndHandleSaysWhy) {
    struct Case {
        const char* name;
        bool simulated;
        bool unplugFirst;  // else the board leaves during the transfer
        int rounds;
    };
    const Case cases[] = {{"simulated board", true, false, 1},
                          {"libusb, board leaves during the transfer", false, false, 10},
                          {"libusb, board unplugged just before", false, true, 10}};
    for (const Case& c : cases) {
        for (int round = 0; round < c.rounds; ++round) {
            SCOPED_TRACE(std::string(c.name) + ", round " + std::to_string(round));
            wdu::resetForTests();
            std::shared_ptr<bridgesim::Board> simulated;
            if (c.simulated) {
                simulated = bridgesim::Board::builtIn();
                wdu::installSimulatedBoard(simulated);
            }
            bridgesim::Board& target = c.simulated ? *simulated : *board;
            Recorder seen;
            const WDU_EVENT_TABLE seenEvents{onAttach, onDetach, nullptr, &seen};
            WDU_DRIVER_HANDLE pumped = 0;
            ASSERT_EQ(WDU_VB_Init(&pumped, &match, 1, &seenEvents, 1, 0), WD_STATUS_SUCCESS);
            ASSERT_EQ(WDU_VB_PumpEvents(), 1);
            const WDU_DEVICE_HANDLE device = seen.snapshot().front().device;
            ASSERT_EQ(seen.snapshot().front().selectStatus, WD_STATUS_SUCCESS);
            if (c.unplugFirst) {
                bridge->unplug();
            } else {
                target.detachAtTransfer(1);
            }
            EXPECT_EQ(write(device, 2, {0x01, 0x61, 0x02}), WD_DEVICE_GONE);
            EXPECT_EQ(WDU_VB_PumpEvents(), 1);
            const auto calls = seen.snapshot();
            ASSERT_EQ(calls.size(), 2u);
            EXPECT_FALSE(calls[1].attach);
            EXPECT_EQ(calls[1].device, device);
            // Still known for its departure once the registration is closed.
            WDU_VB_Uninit(pumped);
            WDU_DEVICE info{};
            EXPECT_EQ(WDU_GetDeviceInfo(device, &info), WD_DEVICE_GONE);
            EXPECT_STREQ(VB_Stat2Str(write(device, 2, {0x01})), "Device is no longer attached");
            if (!c.simulated) {
                if (!c.unplugFirst) {
                    bridge->unplug();
                }
                std::string error;
                ASSERT_TRUE(bridge->replug(error)) << error;
            }
        }
    }
}

// The threads of this process, by name ("wdu-" for the layer's own).
std::vector<std::string> threadNames() {
    std::vector<std::string> names;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        names.push_back(name);
    }
    return names;
}

std::size_t layerThreads(const std::vector<std::string>& names) {
    return static_cast<std::size_t>(std::count_if(
        names.begin(), names.end(), [](const auto& n) { return n.rfind("wdu-", 0) == 0; }));
}

// Waits (bounded) until the process runs count threads: a joined thread may linger a moment.
bool threadsSettleAt(std::size_t count) {
    const auto limit = std::chrono::steady_clock::now() + kWaitLimit;
    while (threadNames().size() != count) {
        if (std::chrono::steady_clock::now() > limit) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST_F(UsbBackendTest, LastUninit_EveryLayerThreadEnds) {
    // One round first, for the threads of glib and umockdev that start at first use and stay.
    ASSERT_EQ(WDU_VB_Init(&driver, &match, 1, &events, 1, 0), WD_STATUS_SUCCESS);
    WDU_VB_Uninit(driver);
    const std::size_t before = threadNames().size();
    EXPECT_EQ(layerThreads(threadNames()), 0u);
    ASSERT_EQ(WDU_Init(&driver, &match, 1, &events, 0), WD_STATUS_SUCCESS);
    ASSERT_TRUE(recorder.waitFor(1));
    WDU_DRIVER_HANDLE pumped = 0;
    ASSERT_EQ(WDU_VB_Init(&pumped, &match, 1, &events, 1, 0), WD_STATUS_SUCCESS);
    EXPECT_EQ(layerThreads(threadNames()), 3u) << "event thread, USB watch, USB events";
    WDU_VB_Uninit(pumped);
    EXPECT_EQ(layerThreads(threadNames()), 3u) << "a registration is still open";
    WDU_Uninit(driver);
    driver = 0;
    EXPECT_TRUE(threadsSettleAt(before))
        << threadNames().size() << " threads, " << before << " before";
    EXPECT_EQ(layerThreads(threadNames()), 0u);
}

using wdutest::inChild;

TEST_F(UsbBackendTest, NodeNotOpenableByUser_AccessDeniedNamesNodeAndFix) {
    if (!wdutest::kChildThreadsTraced) {
        GTEST_SKIP() << "ThreadSanitizer cannot follow the libusb threads a forked child starts";
    }
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can make a node that the test's own user cannot open";
    }
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    // Everybody may read the emulated sysfs, listen for its events and reach the emulation's
    // socket behind the node; only root may open the device node itself.
    const std::string root = std::getenv("UMOCKDEV_DIR");
    ASSERT_EQ(::chmod(root.c_str(), 01777), 0);
    ASSERT_EQ(::chmod((root + "/dev/bus/usb/001/002").c_str(), 0600), 0);
    ASSERT_EQ(::chmod((root + "/ioctl/dev/bus/usb/001/002").c_str(), 0777), 0);
    const std::string said = inChild([&]() -> std::string {
        if (::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 ||
            ::setuid(nobody->pw_uid) != 0) {
            return "cannot become nobody";
        }
        WDU_DRIVER_HANDLE pumped = 0;
        if (WDU_VB_Init(&pumped, &match, 1, &events, 1, 0) != WD_STATUS_SUCCESS ||
            WDU_VB_PumpEvents() != 1) {
            return "no attach";
        }
        const std::uint32_t status = recorder.snapshot().front().selectStatus;
        WDU_VB_Uninit(pumped);
        return std::to_string(status) + " " + VB_Stat2Str(status);
    });
    EXPECT_EQ(said, std::to_string(WD_ACCESS_DENIED) +
                        " Access denied to /dev/bus/usb/001/002: install the udev rule "
                        "60-velmorix.rules that comes with the program (the package puts it in "
                        "/usr/lib/udev/rules.d/), make the user a member of the plugdev group, "
                        "then log in again");
}

// One process's turn on the board: register, take the attach (which claims the interface), one
// register read, unregister. "ok", or what failed.
std::string takeTurn(const WDU_MATCH_TABLE& match) {
    Recorder seen;
    const WDU_EVENT_TABLE seenEvents{onAttach, onDetach, nullptr, &seen};
    WDU_DRIVER_HANDLE pumped = 0;
    if (WDU_VB_Init(&pumped, &match, 1, &seenEvents, 1, 0) != WD_STATUS_SUCCESS) {
        return "no registration";
    }
    std::string result = "no attach";
    if (WDU_VB_PumpEvents() == 1) {
        const Recorder::Call call = seen.snapshot().front();
        std::uint8_t command[3] = {0x01, 0x61, 0x02};
        std::uint8_t reply[2] = {};
        std::uint32_t moved = 0;
        if (call.selectStatus != WD_STATUS_SUCCESS) {
            result = std::string("interface not claimed: ") + VB_Stat2Str(call.selectStatus);
        } else if (WDU_Transfer(call.device, 2, 0, 0, command, 3, &moved, nullptr, 1000) != 0 ||
                   WDU_Transfer(call.device, 0x82, 1, 0, reply, 2, &moved, nullptr, 1000) != 0 ||
                   reply[1] != 0x7A) {
            result = "exchange failed";
        } else {
            result = "ok";
        }
    }
    WDU_VB_Uninit(pumped);
    return result;
}

TEST_F(UsbBackendTest, TwoProcessesTakeTurns_SecondClaimsWhileFirstStillRuns) {
    if (!wdutest::kChildThreadsTraced) {
        GTEST_SKIP() << "ThreadSanitizer cannot follow the libusb threads a forked child starts";
    }
    int firstSaid[2];
    int firstMayEnd[2];
    ASSERT_EQ(::pipe(firstSaid), 0);
    ASSERT_EQ(::pipe(firstMayEnd), 0);
    const pid_t first = ::fork();
    if (first == 0) {
        ::close(firstSaid[0]);
        ::close(firstMayEnd[1]);
        const std::string result = takeTurn(match);
        const bool written = ::write(firstSaid[1], result.data(), result.size()) ==
                             static_cast<ssize_t>(result.size());
        ::close(firstSaid[1]);
        char end = 0;
        (void)::read(firstMayEnd[0], &end, 1);  // lives on until the parent closes its end
        ::_exit(written ? 0 : 1);
    }
    ::close(firstSaid[1]);
    ::close(firstMayEnd[0]);
    std::string firstResult;
    char chunk[256];
    for (ssize_t n; (n = ::read(firstSaid[0], chunk, sizeof chunk)) > 0;) {
        firstResult.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(firstSaid[0]);
    const std::string secondResult = inChild([&] { return takeTurn(match); });
    ::close(firstMayEnd[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(first, &status, 0), first);
    EXPECT_EQ(firstResult, "ok");
    EXPECT_EQ(secondResult, "ok") << "while the first process still runs";
}

// The polling watch, used where libusb has no hotplug support, on the backend itself.
class UsbBackendPollingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!EmulatedBridge::inMockEnvironment()) {
            GTEST_SKIP() << "the umockdev preload library is not active (run under "
                            "LD_PRELOAD=libumockdev-preload.so.0)";
        }
        board = bridgesim::Board::builtIn();
        bridge = std::make_unique<EmulatedBridge>(board);
        std::string error;
        ASSERT_TRUE(bridge->plug(error)) << error;
    }
    void TearDown() override {
        backend.stop();
        bridge.reset();
    }

    bool waitForChanges(int count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, kWaitLimit, [&] { return changes >= count; });
    }

    std::shared_ptr<bridgesim::Board> board;
    std::unique_ptr<EmulatedBridge> bridge;
    wdu::UsbBackend backend{true};
    std::mutex mutex;
    std::condition_variable changed;
    int changes = 0;
};

TEST_F(UsbBackendPollingTest, Poll_BridgePresentThenUnplugged_FoundThenGone) {
    ASSERT_EQ(backend.start([this] {
        std::lock_guard lock(mutex);
        ++changes;
        changed.notify_all();
    }),
              WD_STATUS_SUCCESS);
    EXPECT_FALSE(backend.usesHotplug());
    WDU_MATCH_TABLE table{};
    table.wVendorId = board->vendorId();
    table.wProductId = board->productId();
    backend.setMatchTables({table});
    wdu::DeviceIdentity identity;
    std::uint64_t serial = 0;
    ASSERT_TRUE(backend.present(identity, serial));
    EXPECT_EQ(identity.vendorId, board->vendorId());
    EXPECT_EQ(identity.interfaceClass, 0xFF);
    ASSERT_EQ(backend.setInterface(serial, 0, 0), WD_STATUS_SUCCESS);

    bridge->unplug();
    // The next poll (at most 500 ms away) misses the device.
    ASSERT_TRUE(waitForChanges(2));
    EXPECT_FALSE(backend.present(identity, serial));
    std::uint32_t moved = 0;
    std::uint8_t byte = 0;
    EXPECT_EQ(backend.transfer(serial, 0x82, true, &byte, 1, moved, 100), WD_DEVICE_GONE);
}

}  // namespace
