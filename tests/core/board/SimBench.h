// The simulated bridge board as the board-link tests drive it: a fresh board per test, the
// packet log, and the faults the tests need. Keeps the tests apart from the simulation's API.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace boardtest {

// One transfer as the board saw it.
struct Packet {
    std::uint32_t endpoint = 0;
    bool in = false;  // device to host
    std::vector<std::uint8_t> bytes;
    bool operator==(const Packet&) const = default;
};

// Targets: A0 (1-byte registers, 10 = 3C), 60 (02 = 7A read-only), B0 (2-byte registers).
extern const char* const kTestBench;

class SimBench {
  public:
    // Resets the USB layer and installs a fresh board read from the JSON text; aborts the test
    // program when the text is refused (a broken test, not a result).
    explicit SimBench(const std::string& json = kTestBench);
    // Resets the USB layer again.
    ~SimBench();
    SimBench(const SimBench&) = delete;
    SimBench& operator=(const SimBench&) = delete;

    void attachNow();
    void detachNow();
    std::vector<Packet> packets() const;
    void clearPackets();
    // The packets sent to the board (host to device) only.
    std::vector<Packet> sent() const;

    void failRegistration();
    void failInterfaceSelection();
    void noEndpoints();
    // Transfers on this endpoint time out; the wait is cut short so tests stay fast.
    void timeOutOn(std::uint32_t endpoint);
    // Every reply comes this many bytes shorter than the command asks for.
    void shortReplies(std::uint32_t bytesFewer);

    std::uint8_t peek(std::uint8_t address, std::uint32_t reg) const;
    void poke(std::uint8_t address, std::uint32_t reg, std::uint8_t value);
};

}  // namespace boardtest
