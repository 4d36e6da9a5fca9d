// One I2C transaction as the program put it on the bus: its messages in order and how it ended.
// Built from a command packet on the I2C endpoint and the reply that answered it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/Reply.h"

namespace board {

// How a transaction ended.
enum class I2cOutcome {
    Acknowledged,  // every byte acknowledged, every byte asked for read
    AddressNak,    // the target did not acknowledge its address
    Short,         // a write acknowledged only part of its bytes, or a read returned fewer
    TimedOut,      // the bridge or the bus did not answer in time
    BoardGone,     // no bridge board: not connected, or it left
    Failed,        // any other failure of the transfer
};

// One message: the address byte (8-bit, bit 0 set for a read) and the bytes that went over the
// bus after it, up to the one that was not acknowledged.
struct I2cMessage {
    std::uint8_t addressByte = 0;
    std::vector<std::uint8_t> data;
    bool read() const { return (addressByte & 1) != 0; }
    bool operator==(const I2cMessage&) const = default;
};

struct I2cTransaction {
    std::vector<I2cMessage> messages;
    I2cOutcome outcome = I2cOutcome::Acknowledged;
    // Bytes acknowledged or read, and bytes meant, of the last message (for a short one).
    int done = 0;
    int meant = 0;

    // The text a capture shows for the outcome: empty when acknowledged, else "NAK",
    // "short: 1 of 3 bytes", "timed out", "board gone" or "failed".
    std::string outcomeText() const;
    bool operator==(const I2cTransaction&) const = default;
};

// The transaction that the command packet for the I2C endpoint ([count, address, bytes...]) and
// its transfers gave: `status` is the first failing transfer's status (0 when both ran), `reply`
// what the reply transfer read ([count, data...]). A packet too short to name an address gives
// no messages.
I2cTransaction decodeI2cExchange(const std::vector<std::uint8_t>& packet, std::uint32_t status,
                                 const Reply& reply);

}  // namespace board
