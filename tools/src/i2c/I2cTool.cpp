#include "tools/i2c/I2cTool.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "board/HexText.h"
#include "client/BoardLinkClient.h"
#include "client/BusCapture.h"
#include "runner/CaptureOption.h"
#include "runner/HeadlessHost.h"
#include "runner/TransferTrace.h"
#include "tools/i2c/I2cGrids.h"
#include "tools/i2c/I2cMapTool.h"
#include "wd_utils.h"

namespace tools {

namespace {

using client::BoardLinkClient;
using nlohmann::json;
using runner::HeadlessHost;
using runner::openCaptureOption;
using runner::traceTransfer;

using Result = I2cOutcome;

std::string registerText(std::uint32_t reg, bool reg16) {
    return board::hexDigits(reg, reg16 ? 4 : 2);
}

// The register address as it goes on the wire, most significant byte first.
std::vector<std::uint8_t> registerBytes(std::uint32_t reg, bool reg16) {
    if (reg16) {
        return {static_cast<std::uint8_t>(reg >> 8), static_cast<std::uint8_t>(reg)};
    }
    return {static_cast<std::uint8_t>(reg)};
}

std::uint32_t registerMask(bool reg16) {
    return reg16 ? 0xFFFFu : 0xFFu;
}

std::string bytesText(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (std::uint8_t byte : bytes) {
        text += (text.empty() ? "" : " ") + board::HexByteText(byte);
    }
    return text;
}

json hexArray(const std::vector<std::uint8_t>& bytes) {
    json array = json::array();
    for (std::uint8_t byte : bytes) {
        array.push_back(board::HexByteText(byte));
    }
    return array;
}

// A transfer that did not run means the bridge board is gone or does not answer: no device
// answer can be trusted after it, so the command ends there.
bool bridgeFailed(const BoardLinkClient::Exchange& exchange, BoardLinkClient& bus,
                  std::uint8_t address, Result& result) {
    if (exchange.transferred()) {
        return false;
    }
    result.fail(kI2cNoBridge, "address " + board::HexByteText(address) +
                                  ": bridge board failed: " + bus.statusText(exchange.status));
    return true;
}

// A read that came back short: nothing at all is a missing acknowledge.
std::string shortRead(std::uint8_t address, std::uint32_t reg, bool reg16, int got, int wanted) {
    if (got == 0) {
        return "address " + board::HexByteText(address) + ": no acknowledge";
    }
    return "address " + board::HexByteText(address) + ": register " + registerText(reg, reg16) +
           ": " + std::to_string(got) + " of " + std::to_string(wanted) + " bytes read";
}

// "00 (general call), 02-0E and F0-FE (reserved)" for the addresses detect did not probe.
std::string skippedNote(const std::array<ProbeState, 128>& states, bool sevenBit) {
    const int step = sevenBit ? 1 : 2;
    std::vector<std::string> parts;
    if (states[0] == ProbeState::Skipped) {
        parts.push_back("00 (general call)");
    }
    std::vector<std::string> runs;
    for (int start = 1; start < 128; ++start) {
        if (states[static_cast<std::size_t>(start)] != ProbeState::Skipped) {
            continue;
        }
        int end = start;
        while (end + 1 < 128 && states[static_cast<std::size_t>(end + 1)] == ProbeState::Skipped) {
            ++end;
        }
        std::string run = board::HexByteText(static_cast<std::uint8_t>(start * step));
        if (end > start) {
            run += "-" + board::HexByteText(static_cast<std::uint8_t>(end * step));
        }
        runs.push_back(run);
        start = end;
    }
    if (!runs.empty()) {
        std::string reserved;
        for (std::size_t i = 0; i < runs.size(); ++i) {
            reserved += (i == 0 ? "" : (i + 1 == runs.size() ? " and " : ", ")) + runs[i];
        }
        parts.push_back(reserved + " (reserved)");
    }
    if (parts.empty()) {
        return "";
    }
    std::string note = "Not probed: ";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        note += (i == 0 ? "" : ", ") + parts[i];
    }
    return note + "; -a probes them.\n";
}

void runDetect(const I2cRequest& request, BoardLinkClient& bus, Result& result) {
    const int step = request.sevenBit ? 1 : 2;
    std::array<ProbeState, 128> states{};
    states.fill(ProbeState::OutOfRange);
    json found = json::array();
    json skipped = json::array();
    for (int address = 0; address < 128; ++address) {
        const auto shown = static_cast<std::uint32_t>(address * step);
        if (shown < request.first || shown > request.last) {
            continue;
        }
        const bool reserved =
            BoardLinkClient::isReservedAddress(static_cast<std::uint8_t>(address));
        auto& state = states[static_cast<std::size_t>(address)];
        if (reserved && !request.all) {
            state = ProbeState::Skipped;
            skipped.push_back(board::HexByteText(static_cast<std::uint8_t>(shown)));
            continue;
        }
        const auto writeAddress = static_cast<std::uint8_t>(address * 2);
        const BoardLinkClient::Exchange answer = bus.probe(writeAddress);
        if (bridgeFailed(answer, bus, writeAddress, result)) {
            return;
        }
        state = answer.count == 1 ? ProbeState::Present : ProbeState::Absent;
        if (state == ProbeState::Present) {
            found.push_back(board::HexByteText(static_cast<std::uint8_t>(shown)));
        }
    }
    result.text = detectGrid(states, request.sevenBit) + skippedNote(states, request.sevenBit);
    result.object["address_bits"] = request.sevenBit ? 7 : 8;
    result.object["first"] = board::hexDigits(request.first, 2);
    result.object["last"] = board::hexDigits(request.last, 2);
    result.object["found"] = found;
    result.object["skipped"] = skipped;
}

void runGet(const I2cRequest& request, BoardLinkClient& bus, Result& result) {
    result.object["register"] = registerText(request.reg, request.reg16);
    result.object["count"] = request.count;
    const BoardLinkClient::Exchange answer =
        bus.read(request.address, registerBytes(request.reg, request.reg16), request.count);
    if (bridgeFailed(answer, bus, request.address, result)) {
        return;
    }
    if (answer.count != request.count) {
        result.fail(kI2cNoAcknowledge, shortRead(request.address, request.reg, request.reg16,
                                                 answer.count, request.count));
        return;
    }
    result.object["data"] = hexArray(answer.data);
    result.text = bytesText(answer.data) + "\n";
}

void runSet(const I2cRequest& request, BoardLinkClient& bus, Result& result) {
    const std::vector<std::uint8_t> reg = registerBytes(request.reg, request.reg16);
    const int wanted = 1 + static_cast<int>(reg.size() + request.data.size());
    result.object["register"] = registerText(request.reg, request.reg16);
    result.object["data"] = hexArray(request.data);
    const BoardLinkClient::Exchange answer = bus.write(request.address, reg, request.data);
    if (bridgeFailed(answer, bus, request.address, result)) {
        return;
    }
    result.object["acknowledged"] = answer.count;
    result.object["expected_acknowledged"] = wanted;
    if (answer.count != wanted) {
        result.fail(kI2cNoAcknowledge,
                    answer.count == 0
                        ? "address " + board::HexByteText(request.address) + ": no acknowledge"
                        : "address " + board::HexByteText(request.address) + ": register " +
                              registerText(request.reg, request.reg16) + ": " +
                              std::to_string(answer.count) + " of " + std::to_string(wanted) +
                              " bytes acknowledged");
        return;
    }
    if (!request.readBack) {
        return;
    }
    const int count = static_cast<int>(request.data.size());
    const BoardLinkClient::Exchange back = bus.read(request.address, reg, count);
    if (bridgeFailed(back, bus, request.address, result)) {
        return;
    }
    if (back.count != count) {
        result.fail(kI2cNoAcknowledge,
                    shortRead(request.address, request.reg, request.reg16, back.count, count));
        return;
    }
    result.object["read_back"] = hexArray(back.data);
    for (int i = 0; i < count; ++i) {
        const auto index = static_cast<std::size_t>(i);
        if (back.data[index] != request.data[index]) {
            const std::uint32_t where =
                (request.reg + static_cast<std::uint32_t>(i)) & registerMask(request.reg16);
            result.fail(kI2cNoAcknowledge,
                        "address " + board::HexByteText(request.address) + ": register " +
                            registerText(where, request.reg16) + ": wrote " +
                            board::HexByteText(request.data[index]) + ", read back " +
                            board::HexByteText(back.data[index]));
            return;
        }
    }
    result.text = "read back " + bytesText(back.data) + "\n";
}

void runDump(const I2cRequest& request, const I2cMapPlan* plan, BoardLinkClient& bus,
             Result& result) {
    std::vector<std::optional<std::uint8_t>> values(request.last - request.first + 1);
    // Registers the map says a read changes (a flag it clears, a FIFO it pops) are not read.
    std::vector<bool> notRead(values.size(), false);
    if (plan != nullptr) {
        for (const regmap::Register& reg : plan->map.registers) {
            for (std::uint32_t a = reg.address; reg.readChanges() && a <= reg.lastAddress(); ++a) {
                if (a >= request.first && a <= request.last) {
                    notRead[a - request.first] = true;
                }
            }
        }
    }
    // One read a line; a line that comes back short, or holds a register not to be read, is
    // read register by register, so that only the registers that do not answer show XX.
    for (std::uint32_t row = request.first & ~0xFu; row <= request.last; row += 16) {
        const std::uint32_t from = std::max(row, request.first);
        const std::uint32_t to = std::min(row + 15, request.last);
        const int wanted = static_cast<int>(to - from + 1);
        const bool whole = std::none_of(notRead.begin() + (from - request.first),
                                        notRead.begin() + (to - request.first) + 1,
                                        [](bool skip) { return skip; });
        BoardLinkClient::Exchange line;
        if (whole) {
            line = bus.read(request.address, registerBytes(from, request.reg16), wanted);
            if (bridgeFailed(line, bus, request.address, result)) {
                return;
            }
        }
        const int good = std::min(line.count, wanted);
        for (int i = 0; i < wanted; ++i) {
            const std::uint32_t reg = from + static_cast<std::uint32_t>(i);
            if (notRead[reg - request.first]) {
                continue;
            }
            if (i < good) {
                values[reg - request.first] = line.data[static_cast<std::size_t>(i)];
                continue;
            }
            const BoardLinkClient::Exchange single =
                bus.read(request.address, registerBytes(reg, request.reg16), 1);
            if (bridgeFailed(single, bus, request.address, result)) {
                return;
            }
            if (single.count == 1) {
                values[reg - request.first] = single.data[0];
            }
        }
    }
    json registers = json::object();
    json skipped = json::array();
    std::size_t unreadable = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::string key =
            registerText(request.first + static_cast<std::uint32_t>(i), request.reg16);
        if (values[i]) {
            registers[key] = board::HexByteText(*values[i]);
        } else {
            registers[key] = nullptr;
            if (notRead[i]) {
                skipped.push_back(key);
            } else {
                ++unreadable;
            }
        }
    }
    result.object["first"] = registerText(request.first, request.reg16);
    result.object["last"] = registerText(request.last, request.reg16);
    result.object["registers"] = registers;
    if (!skipped.empty()) {
        result.object["not_read"] = skipped;
    }
    result.text = dumpGrid(request.first, request.last, values, request.reg16, notRead);
    if (unreadable == values.size() - skipped.size() && unreadable > 0) {
        result.fail(kI2cNoAcknowledge,
                    "address " + board::HexByteText(request.address) + ": no acknowledge");
    } else if (unreadable > 0) {
        result.fail(kI2cNoAcknowledge, "address " + board::HexByteText(request.address) + ": " +
                                           std::to_string(unreadable) + " of " +
                                           std::to_string(values.size()) +
                                           " registers not readable");
    }
}

const char* commandName(I2cCommand command) {
    switch (command) {
        case I2cCommand::Detect:
            return "detect";
        case I2cCommand::Get:
            return "get";
        case I2cCommand::Set:
            return "set";
        case I2cCommand::Dump:
            return "dump";
        case I2cCommand::Map:
            return "map";
    }
    return "";
}

void runOnBus(const I2cRequest& request, const I2cMapPlan* plan, client::BusCapture* capture,
              std::ostream& err, Result& result) {
    HeadlessHost host(err);
    BoardLinkClient bus(host);
    if (capture != nullptr) {
        bus.addBusObserver(*capture);
    }
    if (!bus.open()) {
        // The same cause Python gives: an adapter node not there or not ours to open.
        const BoardLinkClient::OpenFailure why = bus.whyNotOpen(
            client::BusCapture::bridgeName(request.bridge ? request.bridge->c_str() : nullptr));
        result.fail(kI2cNoBridge, why.errnoValue == ENODEV ? "no bridge board attached" : why.text);
        return;
    }
    switch (request.command) {
        case I2cCommand::Detect:
            runDetect(request, bus, result);
            break;
        case I2cCommand::Get:
            plan != nullptr && plan->reg != nullptr ? runI2cMapGet(request, *plan, bus, result)
                                                    : runGet(request, bus, result);
            break;
        case I2cCommand::Set:
            plan != nullptr && !plan->writes.empty() ? runI2cMapSet(request, *plan, bus, result)
                                                     : runSet(request, bus, result);
            break;
        case I2cCommand::Dump:
            runDump(request, plan, bus, result);
            if (plan != nullptr) {
                addI2cDumpNames(request, *plan, result);
            }
            break;
        case I2cCommand::Map:
            break;
    }
}

}  // namespace

int runI2cCommand(const I2cRequest& given, std::ostream& stdOut, std::ostream& err,
                  const I2cConfirm& confirm) {
    // A capture on stdout leaves it to the capture; what the command prints goes to stderr.
    std::ostream& out = given.capture == "-" ? err : stdOut;
    // A map is read, and every name in the request looked up, before anything is sent.
    std::optional<I2cMapPlan> plan;
    I2cRequest request = given;
    if (!given.mapFile.empty()) {
        std::string error;
        plan = planI2cMapRequest(given, error);
        if (!plan) {
            err << "velmorix-i2c: " << error << '\n';
            return kI2cUsage;
        }
        request.reg16 = request.reg16 || plan->map.registerAddressBytes() == 2;
    }
    if (request.command == I2cCommand::Map) {
        Result listing;
        listing.object["command"] = "map";
        runI2cMap(*plan, listing);
        listing.object["ok"] = true;
        out << (request.json ? listing.object.dump() + "\n" : listing.text) << std::flush;
        return kI2cOk;
    }
    if (request.command == I2cCommand::Set && confirm && plan && !plan->writes.empty()) {
        if (!confirm(plan->question(request.address))) {
            err << "velmorix-i2c: nothing written\n";
            return kI2cUsage;
        }
    } else if (request.command == I2cCommand::Set && confirm) {
        const std::string question = "Write " + bytesText(request.data) + " to register " +
                                     registerText(request.reg, request.reg16) + " of device " +
                                     board::HexByteText(request.address) + "?";
        if (!confirm(question)) {
            err << "velmorix-i2c: nothing written\n";
            return kI2cUsage;
        }
    }
    // A bridge that cannot be had (a bad simulation file, a name not understood) is a bad
    // argument, as in velmorix-script.
    if (WDU_SelectBridge(request.bridge ? request.bridge->c_str() : nullptr) != WD_STATUS_SUCCESS) {
        err << "velmorix-i2c: " << WDU_BridgeError() << '\n';
        return kI2cUsage;
    }
    WDU_I2cDevForce(request.force ? 1 : 0);
    bool captureFailed = false;
    const std::unique_ptr<client::BusCapture> capture = openCaptureOption(
        request.capture, request.captureRate, request.bridge, "velmorix-i2c", err, captureFailed);
    if (captureFailed) {
        return kI2cUsage;
    }
    if (request.trace) {
        WDU_SetTransferTrace(traceTransfer, &err);
    }
    Result result;
    result.object["command"] = commandName(request.command);
    if (request.command != I2cCommand::Detect) {
        result.object["address"] = board::HexByteText(request.address);
    }
    runOnBus(request, plan ? &*plan : nullptr, capture.get(), err, result);
    WDU_SetTransferTrace(nullptr, nullptr);

    result.object["ok"] = result.status == kI2cOk;
    if (!result.error.empty()) {
        result.object["error"] = result.error;
    }
    if (request.json && !result.objects.empty()) {
        for (const json& object : result.objects) {
            out << object.dump() << '\n';
        }
    } else if (request.json) {
        out << result.object.dump() << '\n';
    } else {
        out << result.text;
    }
    out.flush();
    if (!result.error.empty()) {
        err << "velmorix-i2c: " << result.error << '\n';
    }
    return result.status;
}

}  // namespace tools
