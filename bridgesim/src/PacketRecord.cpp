#include "bridgesim/PacketRecord.h"

#include <cstdio>

namespace bridgesim {

std::ostream& operator<<(std::ostream& os, const PacketRecord& packet) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(packet.endpoint));
    os << (packet.direction == PacketDirection::Out ? "OUT " : "IN ") << buf << " [";
    for (std::size_t i = 0; i < packet.bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(packet.bytes[i]));
        os << (i == 0 ? "" : " ") << buf;
    }
    return os << "]";
}

}  // namespace bridgesim
