#include "EmulatedI2cAdapter.h"

#include <dlfcn.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <vector>

namespace {

constexpr unsigned long kAllFunctions = I2C_FUNC_I2C | I2C_FUNC_SMBUS_QUICK | I2C_FUNC_SMBUS_BYTE |
                                        I2C_FUNC_SMBUS_BYTE_DATA | I2C_FUNC_SMBUS_WORD_DATA |
                                        I2C_FUNC_SMBUS_I2C_BLOCK | I2C_FUNC_SMBUS_PROC_CALL |
                                        I2C_FUNC_SMBUS_BLOCK_DATA | I2C_FUNC_SMBUS_BLOCK_PROC_CALL;
constexpr std::uint32_t kMaxMessages = 42;  // I2C_RDWR_IOCTL_MAX_MSGS
constexpr std::uint16_t kMaxMessageLength = 8192;
const char* const kAddressKey = "i2c-address";
const char* const kGenerationKey = "i2c-generation";

unsigned long rawArgument(UMockdevIoctlData* arg) {
    unsigned long value = 0;
    std::memcpy(&value, arg->data, std::min<std::size_t>(sizeof value, arg->data_len));
    return value;
}

}  // namespace

EmulatedI2cAdapter::EmulatedI2cAdapter(const bridgesim::SimulationConfig& config, int number)
    : number_(number),
      ownBus_(std::make_unique<bridgesim::SimulatedBus>(config.targets)),
      bus_(*ownBus_),
      functions_(kAllFunctions) {
    start();
}

EmulatedI2cAdapter::EmulatedI2cAdapter(bridgeproto::I2cBus& bus, int number)
    : number_(number), bus_(bus), functions_(kAllFunctions) {
    start();
}

void EmulatedI2cAdapter::start() {
    testbed_ = umockdev_testbed_new();
    handler_ = umockdev_ioctl_base_new();
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&EmulatedI2cAdapter::onIoctlThunk), this);
}

EmulatedI2cAdapter::~EmulatedI2cAdapter() {
    g_signal_handlers_disconnect_by_data(handler_, this);
    g_clear_object(&handler_);
    g_clear_object(&testbed_);
}

bool EmulatedI2cAdapter::inMockEnvironment() {
    void* preload = dlopen("libumockdev-preload.so.0", RTLD_NOW | RTLD_NOLOAD);
    if (preload == nullptr) {
        return false;
    }
    dlclose(preload);
    return true;
}

std::string EmulatedI2cAdapter::rootDir() const {
    gchar* dir = umockdev_testbed_get_root_dir(testbed_);
    std::string root = dir != nullptr ? dir : "";
    g_free(dir);
    return root;
}

bool EmulatedI2cAdapter::plug(std::string& error) {
    int generation;
    {
        std::lock_guard lock(mutex_);
        generation = ++generation_;
    }
    if (generation > 1) {
        // Plugged in again: the node the unplug hid comes back (umockdev cannot add it twice).
        if (::rename(hiddenNode().c_str(), (rootDir() + node()).c_str()) != 0) {
            error = "the node was not unplugged";
            return false;
        }
        return true;
    }
    GError* err = nullptr;
    // The handler must own the node before the device appears.
    if (!umockdev_testbed_attach_ioctl(testbed_, node().c_str(), handler_, &err)) {
        error = err != nullptr ? err->message : "attaching the ioctl handler failed";
        g_clear_error(&err);
        return false;
    }
    const std::string n = std::to_string(number_);
    const std::string adapter = "/devices/platform/i2c-emulated." + n + "/i2c-" + n;
    const std::string device = "P: " + adapter + "/i2c-dev/i2c-" + n + "\nN: i2c-" + n +
                               "\nE: SUBSYSTEM=i2c-dev\nE: MAJOR=89\nE: MINOR=" + n +
                               "\nE: DEVNAME=" + node() + "\nA: dev=89:" + n +
                               "\\n\nA: name=Emulated I2C adapter\\n\n\nP: " + adapter +
                               "\nE: SUBSYSTEM=i2c\nE: DEVTYPE=i2c_adapter\n"
                               "A: name=Emulated I2C adapter\\n\n";
    if (!umockdev_testbed_add_from_string(testbed_, device.c_str(), &err)) {
        error = err != nullptr ? err->message : "adding the device failed";
        g_clear_error(&err);
        return false;
    }
    return true;
}

void EmulatedI2cAdapter::unplug() {
    {
        std::lock_guard lock(mutex_);
        ++generation_;
    }
    // The node disappears as when the kernel drops the adapter; files opened on it are dead.
    ::rename((rootDir() + node()).c_str(), hiddenNode().c_str());
}

std::string EmulatedI2cAdapter::hiddenNode() const {
    return rootDir() + "/dev/.unplugged-i2c-" + std::to_string(number_);
}

std::optional<std::uint8_t> EmulatedI2cAdapter::peekRegister(std::uint8_t address,
                                                             std::uint32_t reg) {
    std::lock_guard lock(mutex_);
    const bridgesim::I2cTarget* target = ownBus_ ? ownBus_->findTarget(address) : nullptr;
    return target == nullptr ? std::nullopt : std::optional<std::uint8_t>(target->peek(reg));
}

bool EmulatedI2cAdapter::pokeRegister(std::uint8_t address, std::uint32_t reg, std::uint8_t value) {
    std::lock_guard lock(mutex_);
    bridgesim::I2cTarget* target = ownBus_ ? ownBus_->findTarget(address) : nullptr;
    if (target == nullptr) {
        return false;
    }
    target->poke(reg, value);
    return true;
}

void EmulatedI2cAdapter::failNext(int errnoValue, int count) {
    std::lock_guard lock(mutex_);
    failErrno_ = errnoValue;
    failCount_ = count;
}

void EmulatedI2cAdapter::setSmbusOnly(bool on) {
    std::lock_guard lock(mutex_);
    smbusOnly_ = on;
}

void EmulatedI2cAdapter::setFunctions(unsigned long functions) {
    std::lock_guard lock(mutex_);
    functions_ = functions;
}

void EmulatedI2cAdapter::setOwned(std::uint16_t address7) {
    std::lock_guard lock(mutex_);
    owned_.insert(address7);
}

int EmulatedI2cAdapter::requestCount(unsigned long request) const {
    std::lock_guard lock(mutex_);
    const auto found = requests_.find(request);
    return found == requests_.end() ? 0 : found->second;
}

gboolean EmulatedI2cAdapter::onIoctlThunk(UMockdevIoctlBase*, UMockdevIoctlClient* client,
                                          gpointer self) {
    return static_cast<EmulatedI2cAdapter*>(self)->onIoctl(client);
}

// Runs on umockdev's thread for every request on the node.
gboolean EmulatedI2cAdapter::onIoctl(UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::lock_guard lock(mutex_);
    ++requests_[request];
    // A client belongs to the plug it first spoke under: after an unplug it is dead.
    auto* object = G_OBJECT(client);
    if (g_object_get_data(object, kGenerationKey) == nullptr) {
        g_object_set_data(object, kGenerationKey, GINT_TO_POINTER(generation_));
    }
    if (GPOINTER_TO_INT(g_object_get_data(object, kGenerationKey)) != generation_) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return TRUE;
    }
    long result = 0;
    int error = 0;
    switch (request) {
        case I2C_FUNCS: {
            UMockdevIoctlData* funcs =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned long), nullptr);
            *reinterpret_cast<unsigned long*>(funcs->data) =
                smbusOnly_ ? functions_ & ~static_cast<unsigned long>(I2C_FUNC_I2C) : functions_;
            g_object_unref(funcs);
            break;
        }
        case I2C_SLAVE:
        case I2C_SLAVE_FORCE: {
            const unsigned long address = rawArgument(arg);
            if (address > 0x7F) {
                error = EINVAL;
            } else if (request == I2C_SLAVE &&
                       owned_.contains(static_cast<std::uint16_t>(address))) {
                error = EBUSY;
            } else {
                g_object_set_data(object, kAddressKey, GINT_TO_POINTER(address + 1));
            }
            break;
        }
        case I2C_TENBIT:
            error = rawArgument(arg) != 0 ? EINVAL : 0;
            break;
        case I2C_RETRIES:
        case I2C_TIMEOUT:
            break;
        case I2C_RDWR:
            result = rdwr(arg, error);
            break;
        case I2C_SMBUS:
            result = smbus(client, arg, error);
            break;
        default:
            error = ENOTTY;
            break;
    }
    umockdev_ioctl_client_complete(client, error != 0 ? -1 : result, error);
    return TRUE;
}

long EmulatedI2cAdapter::rdwr(UMockdevIoctlData* arg, int& error) {
    UMockdevIoctlData* data =
        umockdev_ioctl_data_resolve(arg, 0, sizeof(i2c_rdwr_ioctl_data), nullptr);
    const auto* request = reinterpret_cast<const i2c_rdwr_ioctl_data*>(data->data);
    const std::uint32_t count = request->nmsgs;
    if (count == 0 || count > kMaxMessages) {
        g_object_unref(data);
        error = EINVAL;
        return -1;
    }
    UMockdevIoctlData* messages = umockdev_ioctl_data_resolve(
        data, offsetof(i2c_rdwr_ioctl_data, msgs), count * sizeof(i2c_msg), nullptr);
    auto* msgs = reinterpret_cast<i2c_msg*>(messages->data);
    std::vector<UMockdevIoctlData*> buffers(count, nullptr);
    for (std::uint32_t i = 0; i < count && error == 0; ++i) {
        if (msgs[i].len > kMaxMessageLength || msgs[i].addr > 0x7F) {
            error = EINVAL;
        } else if (msgs[i].len > 0) {
            buffers[i] = umockdev_ioctl_data_resolve(
                messages, i * sizeof(i2c_msg) + offsetof(i2c_msg, buf), msgs[i].len, nullptr);
        }
    }
    if (error == 0 && failCount_ > 0) {
        --failCount_;
        error = failErrno_;
    }
    // As the kernel does: the messages before a refused one have been carried out.
    for (std::uint32_t i = 0; i < count && error == 0; ++i) {
        std::uint8_t* bytes = buffers[i] != nullptr ? buffers[i]->data : nullptr;
        const bool answered = (msgs[i].flags & I2C_M_RD) != 0
                                  ? busRead(msgs[i].addr, bytes, msgs[i].len)
                                  : busWrite(msgs[i].addr, bytes, msgs[i].len);
        if (!answered) {
            error = EREMOTEIO;
        }
    }
    for (UMockdevIoctlData* buffer : buffers) {
        if (buffer != nullptr) {
            g_object_unref(buffer);
        }
    }
    g_object_unref(messages);
    g_object_unref(data);
    return error != 0 ? -1 : static_cast<long>(count);
}

long EmulatedI2cAdapter::smbus(UMockdevIoctlClient* client, UMockdevIoctlData* arg, int& error) {
    const int slave = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(client), kAddressKey)) - 1;
    UMockdevIoctlData* data =
        umockdev_ioctl_data_resolve(arg, 0, sizeof(i2c_smbus_ioctl_data), nullptr);
    const auto request = *reinterpret_cast<const i2c_smbus_ioctl_data*>(data->data);
    UMockdevIoctlData* payload = nullptr;
    if (request.data != nullptr) {
        payload = umockdev_ioctl_data_resolve(data, offsetof(i2c_smbus_ioctl_data, data),
                                              sizeof(i2c_smbus_data), nullptr);
    }
    auto* value = payload != nullptr ? reinterpret_cast<i2c_smbus_data*>(payload->data) : nullptr;
    const bool read = request.read_write == I2C_SMBUS_READ;
    const auto address = static_cast<std::uint16_t>(slave);
    std::uint8_t bytes[I2C_SMBUS_BLOCK_MAX + 2] = {request.command};
    bool answered = true;
    if (slave < 0) {
        error = EINVAL;
    } else if (failCount_ > 0) {
        --failCount_;
        error = failErrno_;
    } else if (request.size != I2C_SMBUS_QUICK && value == nullptr) {
        error = EINVAL;
    } else {
        // Built from plain messages, as the kernel does for an adapter without SMBus.
        switch (request.size) {
            case I2C_SMBUS_QUICK:
                answered = busWrite(address, nullptr, 0);
                break;
            case I2C_SMBUS_BYTE:
                answered = read ? busRead(address, &value->byte, 1) : busWrite(address, bytes, 1);
                break;
            case I2C_SMBUS_BYTE_DATA:
                if (read) {
                    answered = busWrite(address, bytes, 1) && busRead(address, &value->byte, 1);
                } else {
                    bytes[1] = value->byte;
                    answered = busWrite(address, bytes, 2);
                }
                break;
            case I2C_SMBUS_WORD_DATA:
                if (read) {
                    answered = busWrite(address, bytes, 1) && busRead(address, bytes, 2);
                    value->word = static_cast<__u16>(bytes[0] | (bytes[1] << 8));
                } else {
                    bytes[1] = static_cast<std::uint8_t>(value->word & 0xFF);
                    bytes[2] = static_cast<std::uint8_t>(value->word >> 8);
                    answered = busWrite(address, bytes, 3);
                }
                break;
            case I2C_SMBUS_PROC_CALL:
                bytes[1] = static_cast<std::uint8_t>(value->word & 0xFF);
                bytes[2] = static_cast<std::uint8_t>(value->word >> 8);
                answered = busWrite(address, bytes, 3) && busRead(address, bytes, 2);
                value->word = static_cast<__u16>(bytes[0] | (bytes[1] << 8));
                break;
            case I2C_SMBUS_BLOCK_PROC_CALL:
            case I2C_SMBUS_BLOCK_DATA:
                if (read || request.size == I2C_SMBUS_BLOCK_PROC_CALL) {
                    // A block process call writes its block first; then the target sends the
                    // count and the bytes, as a register file holds them.
                    std::size_t written = 1;
                    if (!read) {
                        written += std::min<std::size_t>(value->block[0], I2C_SMBUS_BLOCK_MAX) + 1;
                        std::memcpy(bytes + 1, value->block, written - 1);
                    }
                    std::uint8_t block[1 + I2C_SMBUS_BLOCK_MAX] = {};
                    answered =
                        busWrite(address, bytes, written) && busRead(address, block, sizeof block);
                    // The kernel refuses a count of 0 or over 32, as the target sent it.
                    if (answered && (block[0] == 0 || block[0] > I2C_SMBUS_BLOCK_MAX)) {
                        error = EPROTO;
                    }
                    const std::size_t length = std::min<std::size_t>(block[0], I2C_SMBUS_BLOCK_MAX);
                    std::memcpy(value->block, block, 1 + length);
                } else {
                    const std::size_t length =
                        std::min<std::size_t>(value->block[0], I2C_SMBUS_BLOCK_MAX);
                    std::memcpy(bytes + 1, value->block, 1 + length);
                    answered = busWrite(address, bytes, 2 + length);
                }
                break;
            case I2C_SMBUS_I2C_BLOCK_DATA: {
                const std::size_t length =
                    std::min<std::size_t>(value->block[0], I2C_SMBUS_BLOCK_MAX);
                if (read) {
                    answered =
                        busWrite(address, bytes, 1) && busRead(address, value->block + 1, length);
                } else {
                    std::memcpy(bytes + 1, value->block + 1, length);
                    answered = busWrite(address, bytes, 1 + length);
                }
                break;
            }
            default:
                error = EOPNOTSUPP;
                break;
        }
        if (error == 0 && !answered) {
            error = EREMOTEIO;
        }
    }
    if (payload != nullptr) {
        g_object_unref(payload);
    }
    g_object_unref(data);
    return error != 0 ? -1 : 0;
}

bool EmulatedI2cAdapter::busWrite(std::uint16_t address7, const std::uint8_t* bytes,
                                  std::size_t length) {
    const auto address = static_cast<std::uint8_t>(address7 << 1);
    // A byte the target does not acknowledge ends the message, as the kernel reports it.
    return bus_.write(address, std::span<const std::uint8_t>(bytes, length)).count == length + 1;
}

bool EmulatedI2cAdapter::busRead(std::uint16_t address7, std::uint8_t* bytes, std::size_t length) {
    const auto address = static_cast<std::uint8_t>((address7 << 1) | 1);
    return bus_.writeRead(address, {}, std::span<std::uint8_t>(bytes, length)).count > 0;
}
