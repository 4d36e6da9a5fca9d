// The About box's platform on Windows: the registry through RegOpenKeyExA / RegQueryValueExA /
// RegCloseKey, and the system-information tool started with CreateProcessA. Key handles are
// given out as small numbers, since a registry handle is wider than 32 bits on 64-bit Windows.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "about/SystemInfoPlatform.h"

namespace about {

class WindowsRegistryPlatform : public SystemInfoPlatform {
  public:
    WindowsRegistryPlatform() = default;
    WindowsRegistryPlatform(const WindowsRegistryPlatform&) = delete;
    WindowsRegistryPlatform& operator=(const WindowsRegistryPlatform&) = delete;
    // Closes every key still open.
    ~WindowsRegistryPlatform() override;

    // Opens the key; false when the registry refuses (no such key, access denied).
    bool openKey(std::int32_t root, const std::string& keyName, std::uint32_t access,
                 std::uint32_t& key) override;
    // Reads the value; false when it is missing, larger than capacity or the key is not open.
    bool queryValue(std::uint32_t key, const std::string& valueName, std::size_t capacity,
                    std::string& data, std::uint32_t& type) override;
    // Closes the key; an unknown key is ignored.
    void closeKey(std::uint32_t key) override;
    // True for an existing file (not a folder); false on any error.
    bool fileExists(const std::string& path) override;
    // Starts the program in a normal, focused window without waiting for it; false when
    // CreateProcessA fails.
    bool startProgram(const std::string& path) override;

  private:
    std::map<std::uint32_t, void*> open_;  // our number -> HKEY
    std::uint32_t nextKey_ = 1;
};

}  // namespace about
