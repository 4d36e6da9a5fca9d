// Feeds arbitrary bytes to the register-map readers, starting from CMSIS-SVD devices, and traps
// when an accepted map breaks the map's rules or a refusal names no line.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "MapInvariants.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzmap::checkMap(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
