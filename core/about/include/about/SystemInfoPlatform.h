// What the About box's "System Info" needs of the platform: reading the registry, testing
// whether a file exists and starting a program. Windows offers all of it; elsewhere
// NoRegistryPlatform stands in. Implementations report failures by their results and never
// throw.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace about {

class SystemInfoPlatform {
  public:
    // Registry roots and value types, with the numbers the registry itself uses.
    static constexpr std::int32_t kLocalMachine = static_cast<std::int32_t>(0x80000002u);
    static constexpr std::uint32_t kStringValue = 1;
    static constexpr std::uint32_t kNumberValue = 4;  // a 32-bit number, low byte first

    virtual ~SystemInfoPlatform() = default;

    // Opens `keyName` under `root` with the access mask; false when there is no such key or
    // access is refused, and `key` is then left alone.
    virtual bool openKey(std::int32_t root, const std::string& keyName, std::uint32_t access,
                         std::uint32_t& key) = 0;
    // Reads value `valueName` of an open key: at most `capacity` bytes into `data` (its length
    // is the size the registry returned) and the value's type. False when the value is missing,
    // larger than `capacity` or the key is not open.
    virtual bool queryValue(std::uint32_t key, const std::string& valueName, std::size_t capacity,
                            std::string& data, std::uint32_t& type) = 0;
    // Closes a key that openKey opened; an unknown key is ignored.
    virtual void closeKey(std::uint32_t key) = 0;
    // True when `path` names an existing file.
    virtual bool fileExists(const std::string& path) = 0;
    // Starts the program at `path` in a normal, focused window; false when it could not start.
    virtual bool startProgram(const std::string& path) = 0;
};

}  // namespace about
