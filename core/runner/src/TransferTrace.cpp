#include "runner/TransferTrace.h"

#include <ostream>

#include "board/HexText.h"
#include "wd_utils.h"

namespace runner {

void traceTransfer(std::uint32_t pipe, std::uint32_t read, const std::uint8_t* bytes,
                   std::uint32_t length, std::uint32_t status, void* user) noexcept {
    auto& err = *static_cast<std::ostream*>(user);
    // A stream that throws on failure loses the line, not the program.
    try {
        err << (read ? "IN  " : "OUT ") << board::HexByteText(static_cast<std::uint8_t>(pipe))
            << ':';
        for (std::uint32_t i = 0; i < length; ++i) {
            err << ' ' << board::HexByteText(bytes[i]);
        }
        if (status != WD_STATUS_SUCCESS) {
            err << "  (" << VB_Stat2Str(status) << ')';
        }
        err << '\n';
    } catch (...) {
    }
}

}  // namespace runner
