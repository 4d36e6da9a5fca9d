#include "regmap/frmRegisterMap.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "board/AtomicFile.h"
#include "board/HexText.h"
#include "board/I2cAddress.h"
#include "bridgeproto/Codec.h"
#include "regmap/MapFormats.h"
#include "regmap/MapReader.h"
#include "regmap/MaskedWrite.h"

namespace regmap {

namespace {

constexpr const char* kCrLf = "\r\n";

bool containsIgnoringCase(std::string_view text, std::string_view part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           }) != text.end();
}

}  // namespace

frmRegisterMap::frmRegisterMap(board::BoardLink& link, RegisterMapLink& calls)
    : link_(link), calls_(calls) {}

void frmRegisterMap::Form_Load() {
    Loaded = true;
    address = calls_.consoleAddress().text();
    if (map_ || memoryFile.empty()) {
        return;
    }
    std::ifstream remembered(memoryFile);
    std::string path;
    if (remembered && std::getline(remembered, path) && !path.empty()) {
        const MapReadResult read = readRegisterMapFile(path);
        if (!read.ok()) {
            log("Register Map: the last map was not opened: " + read.error);
            return;
        }
        adopt(std::move(*read.map), path);
    }
}

void frmRegisterMap::adopt(RegisterMap map, const std::string& path) {
    map_ = std::move(map);
    mapPath_ = path;
    states_.assign(map_->registers.size(), {});
    Caption = std::filesystem::path(path).filename().string() + " - " + kTitle;
    ++revision_;
    ++mapGeneration_;
}

bool frmRegisterMap::openMap(const std::string& path, bool quiet) {
    MapReadResult read = readRegisterMapFile(path);
    if (!read.ok()) {
        if (!quiet) {
            link_.host().messageBox(read.error, form::MsgButtons::Ok, kTitle);
        }
        return false;
    }
    adopt(std::move(*read.map), path);
    log("Register Map: opened " + path + " (" + std::to_string(map_->registers.size()) +
        " registers)");
    if (!memoryFile.empty() && board::replaceFileAtomically(memoryFile, path + "\n") != 0) {
        log("Register Map: could not remember the map in " + memoryFile);
    }
    return true;
}

void frmRegisterMap::cmdOpen_Click() {
    form::FileDialogRequest request;
    request.title = "Open Register Map";
    request.fileName = mapPath_;
    request.filters = {regmap::mapFileFilter(), "All files (*)"};
    if (request.filters.front().empty()) {
        request.filters.erase(request.filters.begin());
    }
    const form::FileDialogResult chosen = link_.host().openFileDialog(request);
    if (!chosen.cancelled) {
        openMap(chosen.path);
    }
}

std::optional<std::uint8_t> frmRegisterMap::deviceAddress() {
    // The console's rule, and a write address only: a map's reads and writes name registers,
    // and an odd address would turn each write into a read.
    const auto value = board::I2cAddress::parse(address);
    if (!value || !value->isWriteAddress()) {
        link_.host().messageBox(board::kIllegalI2cAddress, form::MsgButtons::Ok, kTitle);
        return std::nullopt;
    }
    return value->write();
}

template <typename Body>
void frmRegisterMap::withConnection(Body body) {
    // Decided once, as the console does: a body that switches the mode still gets its close.
    const bool automatic = !link_.manualConnect();
    if (automatic) {
        calls_.connectBoard();
        link_.host().doEvents();
    }
    body();
    if (automatic) {
        calls_.disconnectBoard();
        link_.host().doEvents();
    }
}

std::optional<std::vector<std::uint8_t>> frmRegisterMap::readBytes(std::uint8_t device,
                                                                   const Register& reg) {
    const auto count = static_cast<int>(reg.byteCount());
    const board::Reply reply = link_.exchange(bridgeproto::i2cRead(
        static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(device + 1),
        map_->addressBytes(reg.address)));
    if (!reply.ok() || !bridgeproto::I2cReadData(reply.bytes, count)) {
        log("Register Map: device " + board::HexByteText(device) + " " + registerText(reg) +
            ": read failed (" + std::to_string(reply.byteAt(0)) + " of " + std::to_string(count) +
            " bytes)");
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(reply.bytes.begin() + 1, reply.bytes.begin() + 1 + count);
}

bool frmRegisterMap::writeBytes(std::uint8_t device, const Register& reg,
                                const std::vector<std::uint8_t>& bytes) {
    const std::vector<std::uint8_t> where = map_->addressBytes(reg.address);
    const board::Reply reply = link_.exchange(bridgeproto::i2cWrite(
        static_cast<std::uint8_t>(where.size() + bytes.size()), device, where, bytes));
    if (!reply.ok() || !bridgeproto::I2cWriteStatus(reply.bytes, static_cast<int>(where.size()),
                                                    static_cast<int>(bytes.size()))) {
        log("Register Map: device " + board::HexByteText(device) + " " + registerText(reg) +
            ": write not acknowledged");
        return false;
    }
    return true;
}

void frmRegisterMap::cmdReadAll_Click() {
    if (!map_) {
        return;
    }
    const auto device = deviceAddress();
    if (!device) {
        return;
    }
    int read = 0, failed = 0, differ = 0, skipped = 0;
    withConnection([&] {
        for (std::size_t i = 0; i < map_->registers.size(); ++i) {
            const Register& reg = map_->registers[i];
            if (!readable(reg.access)) {
                continue;
            }
            // A read would clear or pop what it returns: only a read by name takes that.
            if (reg.readChanges()) {
                states_[i] = RegisterState{std::nullopt, false, true};
                ++skipped;
                continue;
            }
            const auto bytes = readBytes(*device, reg);
            // A failed read forgets the old value, so that no field shows it as current.
            states_[i] = RegisterState{};
            states_[i].failed = !bytes;
            if (bytes) {
                states_[i].value = map_->decode(reg, *bytes);
                ++read;
                differ += reg.differsFromReset(*states_[i].value) ? 1 : 0;
            } else {
                ++failed;
            }
        }
    });
    ++revision_;
    log("Register Map: device " + board::HexByteText(*device) + ": read " + std::to_string(read) +
        " registers, " + std::to_string(differ) + " differ from reset" +
        (failed > 0 ? ", " + std::to_string(failed) + " failed" : "") +
        (skipped > 0 ? ", " + std::to_string(skipped) + " not read (a read changes them)" : ""));
}

bool frmRegisterMap::readRegister(std::size_t index) {
    if (!map_ || index >= map_->registers.size() || !readable(map_->registers[index].access)) {
        return false;
    }
    const auto device = deviceAddress();
    if (!device) {
        return false;
    }
    const Register& reg = map_->registers[index];
    std::optional<std::vector<std::uint8_t>> bytes;
    withConnection([&] { bytes = readBytes(*device, reg); });
    states_[index] = RegisterState{};
    states_[index].failed = !bytes;
    if (bytes) {
        states_[index].value = map_->decode(reg, *bytes);
        log("Register Map: device " + board::HexByteText(*device) + " " + reg.name + " = " +
            board::hexDigits(*states_[index].value, reg.width / 4));
    }
    ++revision_;
    return bytes.has_value();
}

namespace {

// The window's exchanges as a masked write asks for them.
class WindowRegisterIo : public RegisterIo {
  public:
    template <typename Read, typename Write>
    WindowRegisterIo(Read read, Write write) : read_(read), write_(write) {}
    int read(const Register& reg, std::vector<std::uint8_t>& bytes) override {
        const auto got = read_(reg);
        if (!got) {
            return 1;
        }
        bytes = *got;
        return 0;
    }
    int write(const Register& reg, const std::vector<std::uint8_t>& bytes) override {
        return write_(reg, bytes) ? 0 : 1;
    }

  private:
    std::function<std::optional<std::vector<std::uint8_t>>(const Register&)> read_;
    std::function<bool(const Register&, const std::vector<std::uint8_t>&)> write_;
};

}  // namespace

bool frmRegisterMap::writeField(std::size_t index, const Field& field, std::string_view valueText) {
    if (!map_ || index >= map_->registers.size()) {
        return false;
    }
    const Register& reg = map_->registers[index];
    const auto value = field.parseValue(valueText);
    MaskedWrite write(reg);
    std::string refusal = value ? write.assign(field, *value)
                                : reg.name + "." + field.name + ": \"" + std::string(valueText) +
                                      "\" is not a number" +
                                      (field.values.empty() ? "" : " nor an enumerated name");
    if (refusal.empty()) {
        refusal = write.blocked();
    }
    if (!refusal.empty()) {
        link_.host().messageBox(refusal, form::MsgButtons::Ok, kTitle);
        return false;
    }
    const auto device = deviceAddress();
    if (!device) {
        return false;
    }
    WindowRegisterIo io([&](const Register& r) { return readBytes(*device, r); },
                        [&](const Register& r, const std::vector<std::uint8_t>& bytes) {
                            return writeBytes(*device, r, bytes);
                        });
    MaskedWriteOutcome done;
    withConnection([&] { done = runMaskedWrite(*map_, write, io, true); });
    const auto text = [&](std::uint32_t v) { return board::hexDigits(v, reg.width / 4); };
    if (done.ok()) {
        std::string line = "Register Map: device " + board::HexByteText(*device) + " " + reg.name +
                           "." + field.name + " = " + std::to_string(*value) + ": " +
                           (done.before ? "read " + text(*done.before) + ", " : "") + "wrote " +
                           text(done.written);
        if (done.after) {
            line += ", read back " + text(*done.after) + (done.verified ? "" : " (differs)");
        }
        log(line);
        for (const std::string& note : write.notes()) {
            log("Register Map: " + note);
        }
    }
    // What the window shows: the read-back, else what was written where the chip keeps it.
    states_[index] = RegisterState{};
    if (done.after) {
        states_[index].value = done.after;
    } else if (done.ok() && !reg.readChanges()) {
        states_[index].value = done.written;
    }
    const bool ok = done.ok() && done.verified;
    states_[index].failed = !ok;
    ++revision_;
    return ok;
}

bool frmRegisterMap::nameMatches(std::string_view name) const {
    return filter.empty() || containsIgnoringCase(name, filter);
}

bool frmRegisterMap::fieldMatches(const Field& field) const {
    return nameMatches(field.name);
}

bool frmRegisterMap::registerMatches(std::size_t index) const {
    if (filter.empty()) {
        return true;
    }
    if (!map_ || index >= map_->registers.size()) {
        return false;
    }
    const Register& reg = map_->registers[index];
    return nameMatches(reg.name) ||
           std::any_of(reg.fields.begin(), reg.fields.end(),
                       [&](const Field& field) { return fieldMatches(field); });
}

void frmRegisterMap::log(const std::string& line) {
    link_.LogAppend(line, kCrLf);
}

std::string frmRegisterMap::registerText(const Register& reg) const {
    return reg.name + " (" + board::hexDigits(reg.address, map_->registerAddressBytes() * 2) + ")";
}

}  // namespace regmap
