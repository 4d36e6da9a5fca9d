// One register read on an emulated Linux I2C adapter, three ways in one run on the same node: the
// whole stack (wd_utils, the packet interpreter, then I2C_SMBUS since the read is an SMBus byte
// data read), a plain I2C_SMBUS loop doing the same read, as i2c-tools and smbus2 send it, and a
// plain I2C_RDWR loop (write, then read), which the stack sends for reads that are no SMBus
// transfer. The emulation's round trip dominates all three; stack against plain I2C_SMBUS is our
// cost. Re-runs itself under the umockdev preload when started without it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "EmulatedI2cAdapter.h"
#include "LayerBench.h"
#include "bridgesim/Board.h"
#include "bridgesim/SimulationReader.h"
#include "wd_utils.h"
#include "wdu_sim.h"

namespace {

std::unique_ptr<EmulatedI2cAdapter> adapter;

void BM_StackRegisterRead(benchmark::State& state) {
    wdu::resetForTests();
    WDU_DEVICE_HANDLE device = 0;
    // The adapter reports the bridge board's identity, which the built-in board carries too.
    const auto identity = bridgesim::Board::builtIn();
    WDU_MATCH_TABLE match{identity->vendorId(), identity->productId(), 0, 0, 0, 0, 0};
    WDU_EVENT_TABLE events{layerbench::keepDevice, layerbench::forgetDevice, nullptr, &device};
    WDU_DRIVER_HANDLE driver = 0;
    if (WDU_SelectBridge(("i2cdev:" + adapter->node()).c_str()) != WD_STATUS_SUCCESS) {
        state.SkipWithError("the i2cdev bridge was refused");
        return;
    }
    WDU_DEVICE info{};
    if (WDU_VB_Init(&driver, &match, 1, &events, 1, 0) != WD_STATUS_SUCCESS ||
        WDU_VB_PumpEvents() != 1 || device == 0 ||
        WDU_GetDeviceInfo(device, &info) != WD_STATUS_SUCCESS) {
        state.SkipWithError("the adapter did not attach");
        return;
    }
    layerbench::timeRegisterReads(state, device, driver);
}

void BM_PlainRdwrRegisterRead(benchmark::State& state) {
    const int fd = ::open(adapter->node().c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        state.SkipWithError("the node did not open");
        return;
    }
    std::uint8_t reg = 0x02;
    std::uint8_t value = 0;
    i2c_msg messages[2] = {{0x30, 0, 1, &reg}, {0x30, I2C_M_RD, 1, &value}};
    i2c_rdwr_ioctl_data data{messages, 2};
    for (auto _ : state) {
        if (::ioctl(fd, I2C_RDWR, &data) != 2 || value != 0x7A) {
            state.SkipWithError("wrong reply");
            break;
        }
        benchmark::DoNotOptimize(value);
    }
    state.SetItemsProcessed(state.iterations());
    ::close(fd);
}

void BM_PlainSmbusRegisterRead(benchmark::State& state) {
    const int fd = ::open(adapter->node().c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0 || ::ioctl(fd, I2C_SLAVE_FORCE, 0x30UL) != 0) {
        state.SkipWithError("the node did not open");
        return;
    }
    i2c_smbus_data value{};
    i2c_smbus_ioctl_data data{I2C_SMBUS_READ, 0x02, I2C_SMBUS_BYTE_DATA, &value};
    for (auto _ : state) {
        if (::ioctl(fd, I2C_SMBUS, &data) != 0 || value.byte != 0x7A) {
            state.SkipWithError("wrong reply");
            break;
        }
        benchmark::DoNotOptimize(value);
    }
    state.SetItemsProcessed(state.iterations());
    ::close(fd);
}

}  // namespace

BENCHMARK(BM_PlainRdwrRegisterRead)->UseRealTime();
BENCHMARK(BM_PlainSmbusRegisterRead)->UseRealTime();
BENCHMARK(BM_StackRegisterRead)->UseRealTime();

int main(int argc, char** argv) {
    if (!EmulatedI2cAdapter::inMockEnvironment()) {
        setenv("LD_PRELOAD", "libumockdev-preload.so.0", 1);
        execv("/proc/self/exe", argv);
        return 1;
    }
    // The preload sleeps after every request: without this the timer slack would be measured.
    prctl(PR_SET_TIMERSLACK, 1);
    std::string error;
    auto config = bridgesim::SimulationReader::fromText(
        R"({ "targets": [ { "address": "60", "registers": { "02": "7A" } } ] })", "bench", error);
    adapter = std::make_unique<EmulatedI2cAdapter>(*config, 1);
    if (!adapter->plug(error)) {
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    adapter.reset();
    return 0;
}
