// `--capture FILE` of the command-line programs: the capture opened before anything is sent.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "client/BusCapture.h"

namespace runner {

// Opens the capture the options name for `program` ("velmorix-i2c") on the bridge as named
// (unset: VELMORIX_BRIDGE, else usb); nullptr with no output when `path` is empty. A file that
// cannot be written prints "PROGRAM: cannot write capture FILE: REASON" on err, sets `failed` and
// gives nullptr.
std::unique_ptr<client::BusCapture> openCaptureOption(const std::string& path, int rateHz,
                                                      const std::optional<std::string>& bridge,
                                                      const std::string& program, std::ostream& err,
                                                      bool& failed);

}  // namespace runner
