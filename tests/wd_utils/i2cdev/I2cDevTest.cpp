// The i2cdev bridge on an emulated Linux I2C adapter: the whole application over it, and our
// tools against unmodified i2c-tools on the same bus.
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/i2c-dev.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "EmulatedI2cAdapter.h"
#include "bridgeproto/BridgeIds.h"
#include "bridgeproto/Codec.h"
#include "bridgesim/SimulationReader.h"
#include "testing/AppFixture.h"
#include "testing/ProgramRun.h"
#include "wd_utils.h"
#include "wd_utils_i2cdev.h"
#include "wdu_child.h"
#include "wdu_sim.h"

namespace {

namespace fs = std::filesystem;

std::unique_ptr<EmulatedI2cAdapter> makeAdapter(std::string& error) {
    auto config = bridgesim::SimulationReader::fromText(apptest::kAppBench, "test bench", error);
    if (!config) {
        return nullptr;
    }
    auto adapter = std::make_unique<EmulatedI2cAdapter>(*config, 1);
    return adapter->plug(error) ? std::move(adapter) : nullptr;
}

class I2cDevApp : public apptest::AppFixture {
  protected:
    void SetUp() override {
        if (!EmulatedI2cAdapter::inMockEnvironment()) {
            GTEST_SKIP() << "needs LD_PRELOAD=libumockdev-preload.so.0";
        }
        std::string error;
        adapter = makeAdapter(error);
        ASSERT_TRUE(adapter) << error;
        wdu::resetForTests();
        ASSERT_EQ(WDU_SelectBridge(("i2cdev:" + adapter->node()).c_str()), WD_STATUS_SUCCESS);
        host.pump = [] { WDU_VB_PumpEvents(); };
        app = &makeApplication();
        app->start();
    }
    void TearDown() override {
        AppFixture::TearDown();
        adapter.reset();
    }
    std::unique_ptr<EmulatedI2cAdapter> adapter;
};

TEST_F(I2cDevApp, Console_ReadsWritesAndMissesThroughTheAdapter) {
    main().txtUserRegAdr.setText("05");
    main().cmdRead_Click();
    EXPECT_EQ(main().txtReadByte.Text(), "7A");
    EXPECT_EQ(main().lblReadCount.Caption, " 1");

    main().txtsbwr[0].setText("A5");
    main().cmdWrite1Byte_Click(0);
    EXPECT_EQ(adapter->peekRegister(0x60, 5), 0xA5);
    EXPECT_EQ(main().lblReadCount.Caption, " 3");

    main().txtI2CAdr.setText("62");
    main().cmdRead_Click();
    EXPECT_EQ(main().txtReadByte.Text(), "--");
    EXPECT_EQ(main().lblReadCount.Caption, " 0");
    main().cmdWrite1Byte_Click(0);
    EXPECT_EQ(main().lblReadCount.Caption, " 0");
}

TEST_F(I2cDevApp, Gpio_FailsVisiblyAndIsExplainedOnce) {
    // The start sent the GPIO state once already.
    const std::string explanation = VB_Stat2Str(WD_I2CDEV_NO_GPIO);
    EXPECT_NE(explanation.find("no GPIO lines"), std::string::npos);
    EXPECT_NE(explanation.find("/dev/i2c-1"), std::string::npos);
    EXPECT_EQ(countInLog(explanation), 1u) << log();
    panel().cmdGPIO_Write_Click();
    panel().cmdGPIO_Write_Click();
    EXPECT_EQ(countInLog(explanation), 1u);
    EXPECT_GE(countInLog(VB_Stat2Str(WD_I2CDEV_GPIO_REFUSED)), 4u);
}

TEST_F(I2cDevApp, BusFaults_FailTheTransferWithTheirOwnText) {
    const struct {
        int error;
        std::uint32_t status;
        const char* words;
    } cases[] = {{ETIMEDOUT, WD_I2CDEV_BUS_TIMEOUT, "time-out"},
                 {EAGAIN, WD_I2CDEV_ARBITRATION_LOST, "arbitration lost"},
                 {EIO, WD_I2CDEV_ADAPTER_ERROR, "refused"}};
    for (const auto& c : cases) {
        main().Txtlog.setText("");
        adapter->failNext(c.error);
        main().txtUserRegAdr.setText("02");
        main().cmdRead_Click();
        EXPECT_EQ(main().txtReadByte.Text(), "--") << c.words;
        EXPECT_NE(std::string(VB_Stat2Str(c.status)).find(c.words), std::string::npos);
        EXPECT_EQ(countInLog(VB_Stat2Str(c.status)), 1u) << log();
    }
    main().cmdRead_Click();
    EXPECT_EQ(main().txtReadByte.Text(), "7A");
}

TEST_F(I2cDevApp, SmbusOnlyController_SmbusTransfersGoOtherShapesFailAlone) {
    adapter->setSmbusOnly(true);
    wdu::resetForTests();
    ASSERT_EQ(WDU_SelectBridge(("i2cdev:" + adapter->node()).c_str()), WD_STATUS_SUCCESS);
    main().txtUserRegAdr.setText("05");
    main().cmdRead_Click();
    EXPECT_EQ(main().txtReadByte.Text(), "7A");  // an SMBus byte-data read
    EXPECT_EQ(adapter->requestCount(I2C_RDWR), 0);
    // Three bytes after a two-byte register address: no SMBus transfer carries that.
    app->link().Connect_Usb();
    const board::Reply sent =
        app->link().sendPacket(2, bridgeproto::I2cReadCommand(3, 0x61, {0, 5}));
    EXPECT_EQ(sent.status, static_cast<std::uint32_t>(WD_I2CDEV_SHAPE_UNSUPPORTED));
    EXPECT_NE(std::string(VB_Stat2Str(WD_I2CDEV_SHAPE_UNSUPPORTED)).find("SMBus-only"),
              std::string::npos);
    app->link().Disconnect_USB();
}

TEST_F(I2cDevApp, AddressAKernelDriverHolds_BusyUnlessForced) {
    adapter->setOwned(0x30);
    main().txtUserRegAdr.setText("05");
    main().Txtlog.setText("");
    main().cmdRead_Click();
    EXPECT_EQ(main().txtReadByte.Text(), "--");
    EXPECT_EQ(countInLog(VB_Stat2Str(WD_I2CDEV_ADDRESS_BUSY)), 1u) << log();
    WDU_I2cDevForce(1);
    main().cmdRead_Click();
    WDU_I2cDevForce(0);
    EXPECT_EQ(main().txtReadByte.Text(), "7A");
}

TEST(I2cDevAccess, NodeNotOpenableByUser_RegistrationNamesNodeAndGroup) {
    if (!EmulatedI2cAdapter::inMockEnvironment()) {
        GTEST_SKIP() << "needs LD_PRELOAD=libumockdev-preload.so.0";
    }
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can make a node that the test's own user cannot open";
    }
    std::string error;
    const auto adapter = makeAdapter(error);
    ASSERT_TRUE(adapter) << error;
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    // Everybody may pass through the emulation's folder and reach its socket; only root may open
    // the node itself.
    const std::string root = std::getenv("UMOCKDEV_DIR");
    ASSERT_EQ(::chmod(root.c_str(), 01777), 0);
    ASSERT_EQ(::chmod((root + adapter->node()).c_str(), 0600), 0);
    ::chmod((root + "/ioctl" + adapter->node()).c_str(), 0777);
    const std::string node = adapter->node();
    const std::string said = wdutest::inChild([&]() -> std::string {
        if (::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 ||
            ::setuid(nobody->pw_uid) != 0) {
            return "cannot become nobody";
        }
        if (WDU_SelectBridge(("i2cdev:" + node).c_str()) != WD_STATUS_SUCCESS) {
            return std::string("not chosen: ") + WDU_BridgeError();
        }
        const WDU_MATCH_TABLE match{
            velmorix::kBridgeVendorId, velmorix::kBridgeProductId, 0, 0, 0, 0, 0};
        const WDU_EVENT_TABLE events{[](WDU_DEVICE_HANDLE, const WDU_DEVICE*, void*) { return 1; },
                                     [](WDU_DEVICE_HANDLE, void*) {}, nullptr, nullptr};
        WDU_DRIVER_HANDLE driver = 0;
        const std::uint32_t status = WDU_Init(&driver, &match, 1, &events, 0);
        WDU_Uninit(driver);
        return std::to_string(status) + " " + VB_Stat2Str(status);
    });
    EXPECT_EQ(said, std::to_string(WD_I2CDEV_ACCESS_DENIED) + " Access denied to " + node +
                        ": the user must be in the i2c group (sudo usermod -aG i2c $USER, then "
                        "log in again)");
}

// ---- Our tools and i2c-tools on the same emulated bus ----

using apptest::ProgramRun;

class I2cDevTools : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!EmulatedI2cAdapter::inMockEnvironment()) {
            GTEST_SKIP() << "needs LD_PRELOAD=libumockdev-preload.so.0";
        }
        if (std::system("command -v i2cdump >/dev/null 2>&1") != 0) {
            GTEST_SKIP() << "needs i2c-tools (scripts/deps.sh)";
        }
        std::string error;
        adapter = makeAdapter(error);
        ASSERT_TRUE(adapter) << error;
    }
    void TearDown() override { adapter.reset(); }
    // Runs a command line in dir; the child inherits the emulation (preload and testbed).
    ProgramRun run(const std::string& command) {
        return apptest::runIn(dir, command, apptest::ErrorStream::IntoOut);
    }
    nlohmann::json ours(const std::string& args) {
        const ProgramRun r = run(std::string("'") + VELMORIX_I2C_EXE +
                                 "' --bridge i2cdev:/dev/i2c-1 --json " + args);
        const auto json = nlohmann::json::parse(r.out, nullptr, false);
        EXPECT_FALSE(json.is_discarded()) << args << ": " << r.out;
        return json;
    }
    // The 256 bytes of an i2cdump table, as "7A" texts.
    static std::vector<std::string> dumpValues(const std::string& out) {
        std::vector<std::string> values;
        std::istringstream lines(out);
        std::string line;
        while (std::getline(lines, line)) {
            if (line.size() < 52 || line[2] != ':') {
                continue;
            }
            for (int i = 0; i < 16; ++i) {
                std::string value = line.substr(4 + 3 * static_cast<std::size_t>(i), 2);
                for (char& c : value) {
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                }
                values.push_back(value);
            }
        }
        return values;
    }

    std::unique_ptr<EmulatedI2cAdapter> adapter;
    apptest::ScratchDir scratch{"velmorix-i2cdev"};
    const fs::path dir = scratch.path();
};

TEST_F(I2cDevTools, DumpGetSetAndDetect_AgreeWithI2cTools) {
    // i2cdetect's grid has the same layout as i2cdump's table: one cell per address.
    const std::vector<std::string> gridCells = dumpValues(run("i2cdetect -y 1").out);
    ASSERT_EQ(gridCells.size(), 128u);
    adapter->pokeRegister(0x60, 0x40, 0x5C);
    const std::vector<std::string> theirs = dumpValues(run("i2cdump -y 1 0x30 b").out);
    ASSERT_EQ(theirs.size(), 256u);
    const nlohmann::json dump = ours("dump 60");
    ASSERT_EQ(dump["registers"].size(), 256u) << dump.dump();
    for (std::size_t reg = 0; reg < 256; ++reg) {
        char key[3];
        std::snprintf(key, sizeof key, "%02X", static_cast<unsigned>(reg));
        EXPECT_EQ(dump["registers"][key].get<std::string>(), theirs[reg]) << "register " << key;
    }

    EXPECT_EQ(run("i2cset -y 1 0x30 0x07 0xC3").status, 0);
    EXPECT_EQ(ours("get 60 07")["data"][0].get<std::string>(), "C3");
    EXPECT_EQ(ours("--yes set 60 08 E1")["ok"], true);
    EXPECT_EQ(run("i2cget -y 1 0x30 0x08").out, "0xe1\n");
    EXPECT_EQ(adapter->peekRegister(0x60, 8), 0xE1);

    // i2cdetect shows 7-bit addresses; detect -7 does too. A found address shows as itself.
    std::vector<std::string> theirsFound;
    for (std::size_t i = 0; i < 128; ++i) {
        const std::string& cell = gridCells[i];
        if (cell != "--" && cell != "  " && cell != "UU") {
            theirsFound.push_back(cell);
        }
    }
    EXPECT_EQ(theirsFound, (std::vector<std::string>{"30", "50"}));
    const nlohmann::json detect = ours("detect -7");
    std::vector<std::string> found;
    for (const auto& address : detect["found"]) {
        found.push_back(address.get<std::string>());
    }
    EXPECT_EQ(found, theirsFound) << detect.dump();
}

TEST_F(I2cDevTools, Script_RunsOverTheAdapter) {
    apptest::writeFile(dir / "s.txt", "02,,7A\r\n05,,7A\r\n05,,7B\r\n`ENDM\r\n");
    const ProgramRun r =
        run(std::string("'") + VELMORIX_SCRIPT_EXE + "' --bridge i2cdev:/dev/i2c-1 s.txt");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("2 passed, 1 failed"), std::string::npos) << r.out;
}

}  // namespace
