#include "I2cDevStatusText.h"

#include <mutex>

#include "KeptText.h"
#include "wd_utils_i2cdev.h"

namespace wdu {

namespace {

std::mutex& nodeMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string& currentNode() {
    static auto* const node = new std::string("the I2C adapter");
    return *node;
}

}  // namespace

void rememberI2cDevNode(const std::string& node) {
    std::lock_guard lock(nodeMutex());
    currentNode() = node;
}

const char* i2cdevStatusText(std::uint32_t status) {
    std::lock_guard lock(nodeMutex());
    const std::string& node = currentNode();
    switch (status) {
        case WD_I2CDEV_ACCESS_DENIED:
            return keptText("Access denied to " + node +
                            ": the user must be in the i2c group (sudo usermod -aG i2c $USER, then "
                            "log in again)");
        case WD_I2CDEV_NO_GPIO:
            return keptText("This bridge has no GPIO lines: " + node +
                            " is a plain Linux I2C adapter, so every GPIO command fails");
        case WD_I2CDEV_GPIO_REFUSED:
            return keptText("GPIO command refused: no GPIO lines on " + node);
        case WD_I2CDEV_NO_DIRECT_WRITE:
            return keptText("No direct-write port on " + node);
        case WD_I2CDEV_BUS_TIMEOUT:
            return keptText("I2C bus time-out on " + node + " (a device holds the bus lines low)");
        case WD_I2CDEV_ARBITRATION_LOST:
            return keptText("I2C arbitration lost on " + node + " (another master uses the bus)");
        case WD_I2CDEV_ADAPTER_ERROR:
            return keptText("The I2C adapter " + node + " refused the transfer");
        case WD_I2CDEV_ADDRESS_BUSY:
            return keptText("A kernel driver uses that address on " + node +
                            " (Device or resource busy); force it only if you know what the "
                            "driver does (--force)");
        case WD_I2CDEV_SHAPE_UNSUPPORTED:
            return keptText(node +
                            " is an SMBus-only controller: it cannot carry this transfer (only "
                            "SMBus byte, word and block transfers; no I2C_RDWR)");
        case WD_I2CDEV_NOT_PLAIN_I2C:
            return keptText(node +
                            " offers no plain I2C transfers (I2C_RDWR): an SMBus-only controller "
                            "or not an I2C adapter at all");
        case WD_I2CDEV_NOT_AN_ADAPTER:
            return "The bridge is no Linux I2C adapter: only an i2cdev:PATH bridge has this call";
        default:
            return nullptr;
    }
}

}  // namespace wdu
