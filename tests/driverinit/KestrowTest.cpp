#include <gtest/gtest.h>
#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "wd_utils.h"
#include "wdu_sim.h"

namespace {

// Loads the library as its callers do: LoadLibrary on Windows, dlopen elsewhere.
#if defined(_WIN32)
void* dlopen(const char* path, int) {
    return reinterpret_cast<void*>(::LoadLibraryA(path));
}
void* dlsym(void* library, const char* name) {
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}
int dlclose(void* library) {
    return ::FreeLibrary(static_cast<HMODULE>(library)) ? 0 : 1;
}
std::string dlerror() {
    return "LoadLibrary failed with error " + std::to_string(::GetLastError());
}
constexpr int RTLD_NOW = 0;
constexpr int RTLD_LOCAL = 0;
#endif

using UsbInit = std::uint32_t (*)(WDU_DRIVER_HANDLE*, const WDU_MATCH_TABLE*, std::uint32_t,
                                  const WDU_EVENT_TABLE*, std::uint32_t);
using UsbUninit = void (*)(WDU_DRIVER_HANDLE);

struct Seen {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<WDU_DEVICE> attaches;
    int detaches = 0;
    std::thread::id thread;

    bool waitForAttaches(std::size_t n) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(5),
                                [&] { return attaches.size() >= n; });
    }
};

int onAttach(WDU_DEVICE_HANDLE, const WDU_DEVICE* info, void* user) {
    auto* seen = static_cast<Seen*>(user);
    std::lock_guard lock(seen->mutex);
    seen->attaches.push_back(*info);
    seen->thread = std::this_thread::get_id();
    seen->changed.notify_all();
    return 1;
}

void onDetach(WDU_DEVICE_HANDLE, void* user) {
    auto* seen = static_cast<Seen*>(user);
    std::lock_guard lock(seen->mutex);
    ++seen->detaches;
    seen->changed.notify_all();
}

class KestrowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wdu::resetForTests();
        board = bridgesim::Board::builtIn();
        wdu::installSimulatedBoard(board);
        library = dlopen(KESTROW_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
    }
    void TearDown() override {
        if (library != nullptr) {
            dlclose(library);
        }
        wdu::resetForTests();
    }
    std::shared_ptr<bridgesim::Board> board;
    void* library = nullptr;
};

TEST_F(KestrowTest, Exports_BothByName_Found) {
    EXPECT_NE(dlsym(library, "USB_INIT"), nullptr);
    EXPECT_NE(dlsym(library, "USB_UNINIT"), nullptr);
}

// The Windows build exports through the module-definition file: exactly the two names, at
// ordinals 1 and 2.
TEST(KestrowDef, ModuleDefinition_TwoExportsAtOrdinalsOneAndTwo) {
    std::ifstream in(KESTROW_DEF_PATH);
    ASSERT_TRUE(in) << KESTROW_DEF_PATH;
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string word, joined;
        while (words >> word) {
            joined += (joined.empty() ? "" : " ") + word;
        }
        if (!joined.empty()) {
            lines.push_back(joined);
        }
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"LIBRARY Kestrow", "EXPORTS", "USB_INIT @1",
                                               "USB_UNINIT @2"}));
}

TEST_F(KestrowTest, UsbInitAndUninit_AgainstSimulation_AttachThenSilence) {
    auto usbInit = reinterpret_cast<UsbInit>(dlsym(library, "USB_INIT"));
    auto usbUninit = reinterpret_cast<UsbUninit>(dlsym(library, "USB_UNINIT"));
    ASSERT_TRUE(usbInit && usbUninit);

    WDU_MATCH_TABLE match{board->vendorId(), board->productId(), 0, 0, 0, 0, 0};
    Seen seen;
    WDU_EVENT_TABLE events{onAttach, onDetach, nullptr, &seen};
    WDU_DRIVER_HANDLE driver = 0;
    ASSERT_EQ(usbInit(&driver, &match, 1, &events, 0), 0u);
    EXPECT_NE(driver, 0u);
    ASSERT_TRUE(seen.waitForAttaches(1));
    {
        std::lock_guard lock(seen.mutex);
        EXPECT_EQ(seen.attaches[0].wVendorId, board->vendorId());
        EXPECT_EQ(seen.attaches[0].wProductId, board->productId());
        EXPECT_NE(seen.thread, std::this_thread::get_id());
    }

    usbUninit(driver);
    board->detach();
    board->attach();
    // The event thread delivers in order: once a later registration hears its attach, anything
    // the ended registration could still have been sent would already have arrived.
    Seen sentinel;
    WDU_EVENT_TABLE sentinelEvents{onAttach, onDetach, nullptr, &sentinel};
    WDU_DRIVER_HANDLE sentinelDriver = 0;
    ASSERT_EQ(usbInit(&sentinelDriver, &match, 1, &sentinelEvents, 0), 0u);
    ASSERT_TRUE(sentinel.waitForAttaches(1));
    usbUninit(sentinelDriver);
    std::lock_guard lock(seen.mutex);
    EXPECT_EQ(seen.attaches.size(), 1u);
    EXPECT_EQ(seen.detaches, 0);
}

TEST_F(KestrowTest, UsbInit_RegistrationFails_StatusPassedThrough) {
    auto usbInit = reinterpret_cast<UsbInit>(dlsym(library, "USB_INIT"));
    ASSERT_NE(usbInit, nullptr);
    board->setRegistrationFails(true);
    WDU_MATCH_TABLE match{board->vendorId(), board->productId(), 0, 0, 0, 0, 0};
    WDU_EVENT_TABLE events{onAttach, onDetach, nullptr, nullptr};
    WDU_DRIVER_HANDLE driver = 0;
    EXPECT_EQ(usbInit(&driver, &match, 1, &events, 0),
              static_cast<std::uint32_t>(WD_REGISTRATION_FAILED));
}

}  // namespace
