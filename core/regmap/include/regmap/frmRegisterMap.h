// The "Register Map" window's model: a register map read from a file, the value last read of
// each register, the device address and the filter. "Read All" reads every readable register;
// editing a field runs the masked read-modify-write through the board link, with the automatic
// or manual connection as the console has it, and writes its lines into the program log. No
// failure is raised: bad input gets a message box, a failed exchange a log line and a mark.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "board/BoardLink.h"
#include "regmap/RegisterMap.h"
#include "regmap/RegisterMapLink.h"

namespace regmap {

class frmRegisterMap {
  public:
    static constexpr const char* kTitle = "Register Map";

    // What the window knows of one register.
    struct RegisterState {
        std::optional<std::uint32_t> value;  // last value read or written and read back
        bool failed = false;                 // the last exchange with it failed
        bool notRead = false;  // left out of "Read All": a read changes it (clears, pops)
    };

    frmRegisterMap(board::BoardLink& link, RegisterMapLink& calls);

    bool Loaded = false;
    bool Visible = false;
    // "Register Map", or "NAME - Register Map" once a map is open.
    std::string Caption = kTitle;
    // The device's 8-bit write address as hex text, and the filter on register and field names.
    std::string address;
    std::string filter;
    // The file that remembers the last map between runs ("" remembers nothing); the front end
    // sets it before the load.
    std::string memoryFile;

    // Takes the console's address and opens the remembered map (a failure only logs).
    void Form_Load();
    // Asks for a map file and opens it; a file that cannot be read gets the reader's message in
    // a message box and the previous map stays.
    void cmdOpen_Click();
    // Opens the map file; false (and a message box unless `quiet`) when it is refused.
    bool openMap(const std::string& path, bool quiet = false);
    // Reads every readable register of the map but those a read changes (they show as not
    // read).
    void cmdReadAll_Click();
    // Reads one register by name (row), also one a read changes; false when it failed.
    bool readRegister(std::size_t index);
    // Sets a field (of register `index`) to the value a text gives: a number or an enumerated
    // name. A read-only field, an unknown name or a value too wide gets a message box and
    // nothing is sent, as for a write that would change a bit nobody named; otherwise the masked
    // write (a read unless every bit is named, the write, a read-back of the bits the chip
    // keeps).
    // False when refused or when an exchange failed.
    bool writeField(std::size_t index, const Field& field, std::string_view valueText);

    const std::optional<RegisterMap>& map() const { return map_; }
    const std::string& mapPath() const { return mapPath_; }
    const std::vector<RegisterState>& states() const { return states_; }
    // Counts every change of map or values, so that a view repaints only what changed.
    std::uint64_t revision() const { return revision_; }
    // Counts the maps opened, so that a view builds its tree again only for a new map.
    std::uint64_t mapGeneration() const { return mapGeneration_; }
    // True when the register or one of its fields matches the filter (any case).
    bool registerMatches(std::size_t index) const;
    bool fieldMatches(const Field& field) const;
    // True when the name holds the filter (any case), or the filter is empty.
    bool nameMatches(std::string_view name) const;

  private:
    // Shows a map just read: values forgotten, caption named after the file.
    void adopt(RegisterMap map, const std::string& path);
    // The address box as a write address; nothing (after a message box) when it is not one.
    std::optional<std::uint8_t> deviceAddress();
    // Runs the body between the console's connect and disconnect when in automatic mode.
    template <typename Body>
    void withConnection(Body body);
    // One read of the register's bytes; nothing when it failed (logged).
    std::optional<std::vector<std::uint8_t>> readBytes(std::uint8_t device, const Register& reg);
    bool writeBytes(std::uint8_t device, const Register& reg,
                    const std::vector<std::uint8_t>& bytes);
    void log(const std::string& line);
    std::string registerText(const Register& reg) const;

    board::BoardLink& link_;
    RegisterMapLink& calls_;
    std::optional<RegisterMap> map_;
    std::string mapPath_;
    std::vector<RegisterState> states_;
    std::uint64_t revision_ = 0;
    std::uint64_t mapGeneration_ = 0;
};

}  // namespace regmap
