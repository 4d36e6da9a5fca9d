// A Linux I2C adapter emulated in user space (umockdev): /dev/i2c-N answers I2C_FUNCS,
// I2C_SLAVE, I2C_RDWR and I2C_SMBUS as the kernel's i2c-dev does, over the register-file targets
// of a simulation, so that both our i2cdev bridge and unmodified i2c-tools talk to it. Works only
// in a process run with LD_PRELOAD=libumockdev-preload.so.0; for tests and benches.
#pragma once

#include <umockdev.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "bridgesim/SimulatedBus.h"
#include "bridgesim/SimulationConfig.h"

class EmulatedI2cAdapter {
  public:
    // The adapter /dev/i2c-<number> with the targets of config; not yet plugged.
    explicit EmulatedI2cAdapter(const bridgesim::SimulationConfig& config, int number = 1);
    // The adapter /dev/i2c-<number> on a bus owned elsewhere (such as a simulated board's).
    explicit EmulatedI2cAdapter(bridgeproto::I2cBus& bus, int number = 1);
    ~EmulatedI2cAdapter();
    EmulatedI2cAdapter(const EmulatedI2cAdapter&) = delete;
    EmulatedI2cAdapter& operator=(const EmulatedI2cAdapter&) = delete;

    // True when the umockdev preload library is active in this process.
    static bool inMockEnvironment();

    std::string node() const { return "/dev/i2c-" + std::to_string(number_); }
    // The testbed's root, for child processes (UMOCKDEV_DIR).
    std::string rootDir() const;
    // Adds the node and its sysfs entries. False with error on failure.
    bool plug(std::string& error);
    // Takes the node away, as when a USB adapter is pulled; open files then get ENODEV. A later
    // plug() brings it back.
    void unplug();

    // Register access on a bus of the adapter's own (8-bit write address); nullopt / false when
    // absent or when the bus is owned elsewhere.
    std::optional<std::uint8_t> peekRegister(std::uint8_t address, std::uint32_t reg);
    bool pokeRegister(std::uint8_t address, std::uint32_t reg, std::uint8_t value);
    // The next count I2C_RDWR / I2C_SMBUS requests fail with errnoValue (ETIMEDOUT, EAGAIN...).
    void failNext(int errnoValue, int count = 1);
    // An SMBus-only controller: I2C_FUNCS leaves out plain I2C transfers.
    void setSmbusOnly(bool on);
    // A kernel driver holds the 7-bit address: I2C_SLAVE to it fails with EBUSY, I2C_SLAVE_FORCE
    // takes it (I2C_RDWR, as the kernel's, does not look).
    void setOwned(std::uint16_t address7);
    // I2C_FUNCS answers functions instead (with setSmbusOnly still taking out plain I2C).
    void setFunctions(unsigned long functions);
    // How many requests of this kind (I2C_RDWR, I2C_SMBUS...) the node has been sent so far.
    int requestCount(unsigned long request) const;

  private:
    // Makes the testbed and the ioctl handler.
    void start();
    // Where an unplugged node waits for the next plug.
    std::string hiddenNode() const;
    static gboolean onIoctlThunk(UMockdevIoctlBase* base, UMockdevIoctlClient* client,
                                 gpointer self);
    gboolean onIoctl(UMockdevIoctlClient* client);
    // Each returns the ioctl's result and sets error (0 on success).
    long rdwr(UMockdevIoctlData* arg, int& error);
    long smbus(UMockdevIoctlClient* client, UMockdevIoctlData* arg, int& error);
    // One message on the bus; false (EREMOTEIO, as i2c-bcm2835 answers a missing acknowledge)
    // when nobody answers at the 7-bit address (a read of no bytes never answers).
    bool busWrite(std::uint16_t address7, const std::uint8_t* bytes, std::size_t length);
    bool busRead(std::uint16_t address7, std::uint8_t* bytes, std::size_t length);

    const int number_;
    UMockdevTestbed* testbed_ = nullptr;
    UMockdevIoctlBase* handler_ = nullptr;
    int generation_ = 0;  // plugs and unplugs so far: a file opened before an unplug stays dead

    mutable std::mutex mutex_;
    std::unique_ptr<bridgesim::SimulatedBus> ownBus_;
    bridgeproto::I2cBus& bus_;
    int failErrno_ = 0;
    int failCount_ = 0;
    bool smbusOnly_ = false;
    std::set<std::uint16_t> owned_;
    unsigned long functions_;
    std::map<unsigned long, int> requests_;
};
