#include "runner/CaptureOption.h"

#include "board/Version.h"

namespace runner {

std::unique_ptr<client::BusCapture> openCaptureOption(const std::string& path, int rateHz,
                                                      const std::optional<std::string>& bridge,
                                                      const std::string& program, std::ostream& err,
                                                      bool& failed) {
    failed = false;
    if (path.empty()) {
        return nullptr;
    }
    const client::CaptureSource source{
        program + " " + velmorix::kVersionText,
        client::BusCapture::bridgeName(bridge ? bridge->c_str() : nullptr), rateHz};
    std::string error;
    std::unique_ptr<client::BusCapture> capture = client::BusCapture::open(path, source, error);
    if (!capture) {
        err << program << ": cannot write capture " << error << '\n';
        failed = true;
    }
    return capture;
}

}  // namespace runner
