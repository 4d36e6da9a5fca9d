#include "tools/TransferTrace.h"

#include <ostream>

#include "board/HexText.h"
#include "wd_utils.h"

namespace tools {

void traceTransfer(std::uint32_t pipe, std::uint32_t read, const std::uint8_t* bytes,
                   std::uint32_t length, std::uint32_t status, void* user) {
    auto& err = *static_cast<std::ostream*>(user);
    err << (read ? "IN  " : "OUT ") << board::HexByteText(static_cast<std::uint8_t>(pipe)) << ':';
    for (std::uint32_t i = 0; i < length; ++i) {
        err << ' ' << board::HexByteText(bytes[i]);
    }
    if (status != WD_STATUS_SUCCESS) {
        err << "  (" << VB_Stat2Str(status) << ')';
    }
    err << '\n';
}

}  // namespace tools
