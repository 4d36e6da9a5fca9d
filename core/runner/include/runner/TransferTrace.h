// `--trace` of the command-line programs: every USB transfer as one line on a stream.
#pragma once

#include <cstdint>

namespace runner {

// A WDU_TRANSFER_TRACE that writes "OUT 02: 01 61 02" or "IN  82: 01 7A", with the status text
// after a failure, to the std::ostream that `user` points to. Never fails.
void traceTransfer(std::uint32_t pipe, std::uint32_t read, const std::uint8_t* bytes,
                   std::uint32_t length, std::uint32_t status, void* user) noexcept;

}  // namespace runner
