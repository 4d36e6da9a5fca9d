// The About box's platform where there is no registry (Linux): no key opens, so "System Info"
// always reports that the tool is unavailable; no program is ever started from here.
#pragma once

#include "about/SystemInfoPlatform.h"

namespace about {

class NoRegistryPlatform : public SystemInfoPlatform {
  public:
    // Always false: there are no keys.
    bool openKey(std::int32_t root, const std::string& keyName, std::uint32_t access,
                 std::uint32_t& key) override;
    // Always false: no key is ever open.
    bool queryValue(std::uint32_t key, const std::string& valueName, std::size_t capacity,
                    std::string& data, std::uint32_t& type) override;
    // Nothing to close.
    void closeKey(std::uint32_t key) override;
    // Asks the file system; false on any error.
    bool fileExists(const std::string& path) override;
    // Always false: the system-information tool exists only on Windows.
    bool startProgram(const std::string& path) override;
};

}  // namespace about
