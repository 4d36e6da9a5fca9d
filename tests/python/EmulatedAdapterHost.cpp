// emulated-i2c-adapter [--time-out-next N] [--owned ADDR7] [--smbus-only] SIMFILE -- COMMAND...:
// runs COMMAND with /dev/i2c-1 emulated over the register files of SIMFILE, so that a Python
// process (smbus2, velmorix) reaches it as a Linux I2C adapter; the first N transfers time out
// (ETIMEDOUT); a kernel driver holds ADDR7 (hex), so that only a forced transfer reaches it; an
// SMBus-only controller offers no plain I2C transfers (I2C_RDWR). Runs under
// LD_PRELOAD=libumockdev-preload.so.0, which COMMAND inherits with UMOCKDEV_DIR. Exit status:
// COMMAND's, or 2 when the adapter cannot be made.
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "EmulatedI2cAdapter.h"
#include "bridgesim/MapTarget.h"
#include "bridgesim/SimulationReader.h"

extern char** environ;

int main(int argc, char** argv) {
    int timeOuts = 0;
    std::vector<std::uint16_t> owned;
    bool smbusOnly = false;
    while (argc > 2 && std::strcmp(argv[1], "--smbus-only") == 0) {
        smbusOnly = true;
        --argc;
        ++argv;
    }
    while (argc > 2 &&
           (std::strcmp(argv[1], "--time-out-next") == 0 || std::strcmp(argv[1], "--owned") == 0)) {
        if (std::strcmp(argv[1], "--owned") == 0) {
            owned.push_back(static_cast<std::uint16_t>(std::strtoul(argv[2], nullptr, 16)));
        } else {
            timeOuts = std::atoi(argv[2]);
        }
        argc -= 2;
        argv += 2;
    }
    if (argc < 4 || std::strcmp(argv[2], "--") != 0) {
        std::cerr
            << "usage: emulated-i2c-adapter [--smbus-only] [--time-out-next N] [--owned ADDR7] "
               "SIMFILE -- COMMAND...\n";
        return 2;
    }
    if (!EmulatedI2cAdapter::inMockEnvironment()) {
        std::cerr << "emulated-i2c-adapter: needs LD_PRELOAD=libumockdev-preload.so.0\n";
        return 2;
    }
    std::string error;
    bridgesim::installMapReader();
    const auto config = bridgesim::SimulationReader::fromFile(argv[1], error);
    if (!config) {
        std::cerr << "emulated-i2c-adapter: " << error << '\n';
        return 2;
    }
    EmulatedI2cAdapter adapter(*config, 1);
    if (!adapter.plug(error)) {
        std::cerr << "emulated-i2c-adapter: " << error << '\n';
        return 2;
    }
    adapter.setSmbusOnly(smbusOnly);
    for (std::uint16_t address : owned) {
        adapter.setOwned(address);
    }
    if (timeOuts > 0) {
        adapter.failNext(ETIMEDOUT, timeOuts);
    }
    setenv("VELMORIX_TEST_I2C_NODE", adapter.node().c_str(), 1);
    pid_t pid = 0;
    if (const int failed = posix_spawnp(&pid, argv[3], nullptr, nullptr, argv + 3, environ);
        failed != 0) {
        std::cerr << "emulated-i2c-adapter: cannot run " << argv[3] << ": " << std::strerror(failed)
                  << '\n';
        return 2;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
}
