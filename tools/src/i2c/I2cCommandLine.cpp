#include "tools/i2c/I2cCommandLine.h"

#include <CLI/CLI.hpp>
#include <algorithm>

#include "board/BridgeForms.h"
#include "board/HexText.h"
#include "board/Version.h"
#include "client/CaptureEncoder.h"
#include "regmap/MapFormats.h"
#include "wd_utils.h"

namespace tools {

namespace {

constexpr std::uint32_t kMaxReadCount = 255;

// A usage error in the words of this program; CLI11 reports it like its own.
[[noreturn]] void refuse(const std::string& reason) {
    throw CLI::ValidationError(reason);
}

std::uint32_t hexArgument(const std::string& what, const std::string& text, std::uint32_t max,
                          int digits, const std::string& hint = "") {
    auto value = parseHexNumber(text);
    if (!value) {
        refuse(what + " \"" + text + "\" is not a hex number");
    }
    if (*value > max) {
        refuse(what + " " + text + " is out of range (" + board::hexDigits(0, digits) + " to " +
               board::hexDigits(max, digits) + hint + ")");
    }
    return *value;
}

// An 8-bit write address: the program names a device by its write address everywhere.
std::uint8_t writeAddress(const std::string& what, const std::string& text) {
    const std::uint32_t value = hexArgument(what, text, 0xFE, 2);
    if ((value & 1) != 0) {
        refuse(what + " " + text + " is a read address; give the write address " +
               board::HexByteText(static_cast<std::uint8_t>(value - 1)));
    }
    return static_cast<std::uint8_t>(value);
}

int countArgument(const std::string& text) {
    std::optional<std::uint32_t> value;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        value = parseHexNumber(text);
    } else if (!text.empty() && text.size() <= 9 &&
               text.find_first_not_of("0123456789") == std::string::npos) {
        value = static_cast<std::uint32_t>(std::stoul(text));
    }
    if (!value) {
        refuse("count \"" + text + "\" is not a number");
    }
    if (*value < 1 || *value > kMaxReadCount) {
        refuse("count " + text + " is out of range (1 to " + std::to_string(kMaxReadCount) + ")");
    }
    return static_cast<int>(*value);
}

const char* kFooter = R"(
Common options (--bridge, --reg16, --json, --trace, --capture, -y) go before or after the command.
Addresses are 8-bit write addresses (60, not 30), registers and bytes hex, with or without 0x.
Exit status: 0 success; 1 the device did not acknowledge, or a read-back differed; 2 usage;
3 no bridge board. See velmorix-i2c(1).
)";

}  // namespace

std::optional<std::uint32_t> parseHexNumber(const std::string& text) {
    std::size_t start = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        start = 2;
    }
    if (start >= text.size()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (std::size_t i = start; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        value =
            std::min<std::uint64_t>(value * 16 + static_cast<std::uint64_t>(digit), 0xFFFFFFFFu);
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<I2cRequest> parseI2cCommandLine(const std::vector<std::string>& args,
                                              std::ostream& out, std::ostream& err,
                                              int& exitStatus) {
    // The bridge forms of this build, one a line: for the shell completion and the man page.
    if (args.size() == 1 && args[0] == "--bridge-forms") {
        out << board::bridgeFormLines();
        exitStatus = kI2cOk;
        return std::nullopt;
    }
    I2cRequest request;
    std::string bridge;
    std::string addressText, regText, countText, firstText, lastText;
    std::vector<std::string> byteTexts;

    CLI::App app("Talks to the I2C devices behind a bridge board, in the habits of i2c-tools.",
                 "velmorix-i2c");
    app.footer(kFooter);
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("velmorix-i2c ") + velmorix::kVersionText);
    app.add_option("--bridge", bridge,
                   std::string(WDU_BridgeForms()) + " (default: VELMORIX_BRIDGE, else usb)")
        ->type_name("BRIDGE");
    app.add_flag("--reg16", request.reg16, "two-byte register addresses, most significant first");
    app.add_flag("--json", request.json, "one JSON object on stdout instead of text");
    app.add_flag("--trace", request.trace, "every USB transfer on stderr");
    app.add_flag("-f,--force", request.force,
                 "i2cdev: reach addresses a kernel driver holds, as i2c-tools' -f");
    app.add_option("--capture", request.capture,
                   "the I2C messages to FILE: pcapng, .pcap or .vcd; - for stdout")
        ->type_name("FILE");
    app.add_option("--capture-rate", request.captureRate, "bus clock of a .vcd (default 100000)")
        ->check(CLI::Range(client::kMinCaptureRateHz, client::kMaxCaptureRateHz))
        ->type_name("HZ");
    app.add_flag("-y,--yes", request.yes, "do not ask before set writes (asked on a terminal)");
    app.add_option("--map", request.mapFile, "register map: " + regmap::mapFormatNames() + " file")
        ->type_name("FILE");
    app.add_option("--byte-order", request.byteOrder,
                   "order of a wider register's bytes (default: the map's, else big)")
        ->check(CLI::IsMember({"big", "little"}))
        ->type_name("big|little");
    app.add_flag("!--no-verify", request.verify, "set with --map: no read-back after the write");

    CLI::App* detect = app.add_subcommand("detect", "grid of the addresses that answer");
    detect->add_flag("-7", request.sevenBit, "show and take 7-bit addresses");
    detect->add_flag("-a,--all", request.all,
                     "probe the general-call address and the reserved ones too");
    detect->add_option("--first", firstText, "first address to probe (hex)")->type_name("XX");
    detect->add_option("--last", lastText, "last address to probe (hex)")->type_name("XX");

    CLI::App* get = app.add_subcommand("get", "read COUNT bytes from register REG");
    get->add_option("ADDR", addressText, "8-bit write address (hex)")->type_name("HEX")->required();
    get->add_option("REG", regText, "register address (hex)")->type_name("HEX")->required();
    get->add_option("COUNT", countText, "bytes to read, 1 to 255 (default 1)")->type_name("N");

    CLI::App* set = app.add_subcommand(
        "set", "write bytes from register REG on, or with --map fields: NAME.FIELD=VALUE...");
    set->add_flag("-r,--read-back", request.readBack, "read the bytes back and compare");
    set->add_option("ADDR", addressText, "8-bit write address (hex)")->type_name("HEX")->required();
    set->add_option("REG", regText, "register address (hex)")->type_name("HEX")->required();
    set->add_option("BYTE", byteTexts, "bytes to write (hex)")->type_name("HEX")->expected(0, -1);

    CLI::App* dump = app.add_subcommand("dump", "grid of registers, 16 a line, hex and text");
    dump->add_option("ADDR", addressText, "8-bit write address (hex)")
        ->type_name("HEX")
        ->required();
    dump->add_option("--first", firstText, "first register (hex, default 00)")->type_name("XX");
    dump->add_option("--last", lastText, "last register (hex, default FF)")->type_name("XX");

    CLI::App* map = app.add_subcommand("map", "list the --map file's registers and fields");

    for (CLI::App* command : {detect, get, set, dump, map}) {
        command->fallthrough();
        command->footer(kFooter);
    }

    try {
        // CLI11's overload for a vector of arguments takes them last first, as argv[] would be
        // popped; so the arguments are handed over reversed.
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
        if (!bridge.empty() || app.count("--bridge") > 0) {
            request.bridge = bridge;
        }
        const int regDigits = request.reg16 ? 4 : 2;
        const std::uint32_t regMax = request.reg16 ? 0xFFFF : 0xFF;
        const std::string regHint = request.reg16 ? "" : "; --reg16 for two-byte registers";
        if (map->parsed()) {
            if (request.mapFile.empty()) {
                refuse("map needs --map FILE");
            }
            request.command = I2cCommand::Map;
            exitStatus = kI2cOk;
            return request;
        }
        if (detect->parsed()) {
            request.command = I2cCommand::Detect;
            const std::uint32_t top = request.sevenBit ? 0x7F : 0xFE;
            auto bound = [&](const std::string& name, const std::string& text) {
                return request.sevenBit ? hexArgument(name, text, 0x7F, 2)
                                        : static_cast<std::uint32_t>(writeAddress(name, text));
            };
            request.first = firstText.empty() ? 0 : bound("--first", firstText);
            request.last = lastText.empty() ? top : bound("--last", lastText);
        } else {
            request.address = writeAddress("address", addressText);
        }
        const bool fields = set->parsed() && regText.find('=') != std::string::npos;
        if (fields && request.mapFile.empty()) {
            refuse("NAME.FIELD=VALUE needs --map FILE");
        }
        if (!request.mapFile.empty() && (get->parsed() || fields)) {
            // A name (or NAME.FIELD=VALUE) is looked up once the map is read.
            request.regText = regText;
        } else if (get->parsed() || set->parsed()) {
            request.reg = hexArgument("register", regText, regMax, regDigits, regHint);
        }
        if (fields) {
            request.command = I2cCommand::Set;
            request.assignments.push_back(regText);
            request.assignments.insert(request.assignments.end(), byteTexts.begin(),
                                       byteTexts.end());
            exitStatus = kI2cOk;
            return request;
        }
        if (set->parsed() && byteTexts.empty()) {
            refuse(request.mapFile.empty() ? "BYTE is required"
                                           : "give BYTE... or NAME.FIELD=VALUE...");
        }
        if (get->parsed()) {
            request.command = I2cCommand::Get;
            request.count = countText.empty() ? 1 : countArgument(countText);
        }
        if (set->parsed()) {
            request.command = I2cCommand::Set;
            // The acknowledge count (address, register and data bytes) must fit in one byte.
            const std::size_t maxBytes = 254 - static_cast<std::size_t>(regDigits / 2);
            if (byteTexts.size() > maxBytes) {
                refuse("at most " + std::to_string(maxBytes) + " bytes can be written at once");
            }
            for (const std::string& text : byteTexts) {
                request.data.push_back(
                    static_cast<std::uint8_t>(hexArgument("byte", text, 0xFF, 2)));
            }
        }
        if (dump->parsed()) {
            request.command = I2cCommand::Dump;
            request.first = firstText.empty()
                                ? 0
                                : hexArgument("--first", firstText, regMax, regDigits, regHint);
            request.last = lastText.empty()
                               ? 0xFF
                               : hexArgument("--last", lastText, regMax, regDigits, regHint);
        }
        if ((detect->parsed() || dump->parsed()) && request.first > request.last) {
            refuse("--first " + firstText + " is after --last " + lastText);
        }
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        exitStatus = kI2cOk;
        return std::nullopt;
    } catch (const CLI::CallForAllHelp&) {
        out << app.help("", CLI::AppFormatMode::All);
        exitStatus = kI2cOk;
        return std::nullopt;
    } catch (const CLI::CallForVersion& e) {
        out << e.what() << '\n';
        exitStatus = kI2cOk;
        return std::nullopt;
    } catch (const CLI::ParseError& e) {
        std::string reason = e.what();
        for (char& c : reason) {
            if (c == '\n' || c == '\r') {
                c = ' ';
            }
        }
        err << "velmorix-i2c: " << reason << '\n';
        exitStatus = kI2cUsage;
        return std::nullopt;
    }
    exitStatus = kI2cOk;
    return request;
}

}  // namespace tools
