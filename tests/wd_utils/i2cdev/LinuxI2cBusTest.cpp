// The Linux adapter's bus on an emulated /dev/i2c-1: every transaction shape carries the right
// bytes, goes out as I2C_SMBUS exactly when it is an SMBus transfer the adapter offers, and fails
// the same way whichever ioctl carried it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "EmulatedI2cAdapter.h"
#include "LinuxI2cBus.h"
#include "bridgesim/SimulationReader.h"

namespace {

using bridgeproto::BusResult;
using bridgeproto::BusStatus;

constexpr std::uint8_t kTarget = 0xA0;  // register n holds registerValue(n)
constexpr std::uint8_t kOther = 0xA4;   // every register holds 0x5C
constexpr std::uint8_t kAbsent = 0xB0;
constexpr const char* kTargets = R"({ "name": "bus", "attached": true, "targets": [
    { "address": "A0", "register_bytes": 1, "fill": "00", "registers": {} },
    { "address": "A4", "register_bytes": 1, "fill": "5C", "registers": {} } ] })";

std::uint8_t registerValue(std::uint32_t reg) {
    return static_cast<std::uint8_t>(reg * 7 + 3);
}

class LinuxI2cBusOnAdapter : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!EmulatedI2cAdapter::inMockEnvironment()) {
            GTEST_SKIP() << "needs LD_PRELOAD=libumockdev-preload.so.0";
        }
        std::string error;
        const auto config = bridgesim::SimulationReader::fromText(kTargets, "bus test", error);
        ASSERT_TRUE(config) << error;
        adapter = std::make_unique<EmulatedI2cAdapter>(*config, 1);
        ASSERT_TRUE(adapter->plug(error)) << error;
        fill();
        open();
    }
    void TearDown() override {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    void fill() {
        for (std::uint32_t reg = 0; reg < 256; ++reg) {
            adapter->pokeRegister(kTarget, reg, registerValue(reg));
        }
    }
    // Opens the node as the i2cdev bridge does, with the functions its adapter offers now.
    void open() {
        if (fd >= 0) {
            ::close(fd);
        }
        fd = ::open(adapter->node().c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        unsigned long functions = 0;
        ASSERT_EQ(::ioctl(fd, I2C_FUNCS, &functions), 0);
        bus.setFd(fd, functions);
    }
    // Reads in.size() bytes from the target after writing out.
    BusResult read(std::uint8_t address, std::vector<std::uint8_t> out,
                   std::vector<std::uint8_t>& in) {
        return bus.writeRead(static_cast<std::uint8_t>(address | 1), out, in);
    }
    int transfers(unsigned long request) const { return adapter->requestCount(request); }

    std::unique_ptr<EmulatedI2cAdapter> adapter;
    int fd = -1;
    wdu::LinuxI2cBus bus;
};

TEST_F(LinuxI2cBusOnAdapter, EachShape_CarriesItsBytesOverTheIoctlThatFits) {
    const struct Case {
        const char* name;
        bool read;
        std::size_t out;  // bytes written: the register first, then data
        std::size_t in;   // bytes read
        unsigned long ioctl;
    } cases[] = {
        {"send byte", false, 1, 0, I2C_SMBUS},
        {"write byte data", false, 2, 0, I2C_SMBUS},
        {"write word data", false, 3, 0, I2C_SMBUS},
        {"write I2C block", false, 5, 0, I2C_SMBUS},
        {"write longest I2C block", false, 33, 0, I2C_SMBUS},
        {"write past an I2C block", false, 34, 0, I2C_RDWR},
        {"read byte data", true, 1, 1, I2C_SMBUS},
        {"read word data", true, 1, 2, I2C_SMBUS},
        {"read I2C block", true, 1, 7, I2C_SMBUS},
        {"read longest I2C block", true, 1, 32, I2C_SMBUS},
        {"read past an I2C block", true, 1, 33, I2C_RDWR},
        {"receive byte", true, 0, 1, I2C_SMBUS},
        {"read two bytes at the pointer", true, 0, 2, I2C_RDWR},
        {"read after a two-byte register", true, 2, 1, I2C_RDWR},
        {"write the register, read nothing", true, 1, 0, I2C_RDWR},
    };
    std::uint8_t reg = 0x10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fill();
        reg = static_cast<std::uint8_t>(reg + 0x24);
        std::vector<std::uint8_t> out;
        for (std::size_t i = 0; i < c.out; ++i) {
            out.push_back(i == 0 ? reg : static_cast<std::uint8_t>(0xC0 + i));
        }
        if (c.out == 0) {
            ASSERT_EQ(bus.write(kTarget, std::vector<std::uint8_t>{reg}).count, 2u);
        }
        const int smbusBefore = transfers(I2C_SMBUS);
        const int rdwrBefore = transfers(I2C_RDWR);
        std::vector<std::uint8_t> in(c.in, 0xEE);
        const BusResult result = c.read ? read(kTarget, out, in) : bus.write(kTarget, out);
        EXPECT_EQ(result.status, BusStatus::Ok);
        EXPECT_EQ(result.count, c.read ? c.in : 1 + c.out);
        EXPECT_EQ(transfers(I2C_SMBUS) - smbusBefore, c.ioctl == I2C_SMBUS ? 1 : 0);
        EXPECT_EQ(transfers(I2C_RDWR) - rdwrBefore, c.ioctl == I2C_RDWR ? 1 : 0);
        // Data bytes after the register are written and move the pointer on, as on a register
        // file with one-byte register addresses.
        const std::uint32_t readFrom = reg + static_cast<std::uint32_t>(c.out > 0 ? c.out - 1 : 0);
        for (std::size_t i = 0; i < c.in; ++i) {
            EXPECT_EQ(in[i], registerValue(readFrom + static_cast<std::uint32_t>(i)))
                << "byte " << i;
        }
        for (std::size_t i = 1; i < c.out; ++i) {
            EXPECT_EQ(adapter->peekRegister(kTarget, reg + static_cast<std::uint32_t>(i - 1)),
                      out[i])
                << "byte " << i;
        }
    }
}

TEST_F(LinuxI2cBusOnAdapter, TargetsTakenInTurn_EachReadReachesItsOwn) {
    for (int round = 0; round < 2; ++round) {
        std::vector<std::uint8_t> in(1);
        EXPECT_EQ(read(kTarget, {0x21}, in).count, 1u);
        EXPECT_EQ(in[0], registerValue(0x21));
        EXPECT_EQ(read(kOther, {0x21}, in).count, 1u);
        EXPECT_EQ(in[0], 0x5C);
    }
    EXPECT_EQ(transfers(I2C_RDWR), 0);
}

TEST_F(LinuxI2cBusOnAdapter, AdapterWithoutTheSmbusTransfer_GetsItAsI2cRdwr) {
    adapter->setFunctions(I2C_FUNC_I2C | I2C_FUNC_SMBUS_WORD_DATA);
    open();
    std::vector<std::uint8_t> in(1);
    EXPECT_EQ(read(kTarget, {0x30}, in).count, 1u);
    EXPECT_EQ(in[0], registerValue(0x30));
    EXPECT_EQ(bus.write(kTarget, std::vector<std::uint8_t>{0x30, 0x99}).count, 3u);
    EXPECT_EQ(adapter->peekRegister(kTarget, 0x30), 0x99);
    EXPECT_EQ(transfers(I2C_SMBUS), 0);
    EXPECT_EQ(transfers(I2C_RDWR), 2);
}

TEST_F(LinuxI2cBusOnAdapter, Faults_GiveTheSameStatusOverEitherIoctl) {
    const struct {
        const char* name;
        int error;  // 0: the address does not answer
        BusStatus status;
    } cases[] = {{"no acknowledge", 0, BusStatus::Ok},
                 {"time-out", ETIMEDOUT, BusStatus::TimedOut},
                 {"arbitration lost", EAGAIN, BusStatus::ArbitrationLost},
                 {"adapter error", EIO, BusStatus::Failed}};
    for (const auto& c : cases) {
        for (const std::size_t length : {std::size_t{1}, std::size_t{40}}) {  // SMBus, I2C_RDWR
            SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(length) + " bytes");
            if (c.error != 0) {
                adapter->failNext(c.error);
            }
            std::vector<std::uint8_t> in(length);
            const BusResult readResult = read(c.error != 0 ? kTarget : kAbsent, {0x02}, in);
            EXPECT_EQ(readResult.status, c.status);
            EXPECT_EQ(readResult.count, 0u);
            if (c.error != 0) {
                adapter->failNext(c.error);
            }
            std::vector<std::uint8_t> out(length, 0x02);
            const BusResult writeResult = bus.write(c.error != 0 ? kTarget : kAbsent, out);
            EXPECT_EQ(writeResult.status, c.status);
            EXPECT_EQ(writeResult.count, 0u);
        }
    }
    adapter->unplug();
    std::vector<std::uint8_t> in(1);
    EXPECT_EQ(read(kTarget, {0x02}, in).status, BusStatus::Gone);
    EXPECT_EQ(bus.write(kTarget, std::vector<std::uint8_t>{0x02, 0x03}).status, BusStatus::Gone);
}

}  // namespace
