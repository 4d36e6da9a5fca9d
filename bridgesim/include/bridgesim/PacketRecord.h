// One transfer as the board saw it, for the packet log.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

namespace bridgesim {

enum class PacketDirection : std::uint8_t { Out, In };

struct PacketRecord {
    std::uint8_t endpoint = 0;  // an endpoint of the bridge's table (BridgeIds.h)
    PacketDirection direction = PacketDirection::Out;
    std::vector<std::uint8_t> bytes;  // bytes written, or bytes returned by a read
    bool operator==(const PacketRecord&) const = default;
};

// "OUT 02 [01 A1 10]": one record as traces and test failures show it.
std::ostream& operator<<(std::ostream& os, const PacketRecord& packet);

}  // namespace bridgesim
