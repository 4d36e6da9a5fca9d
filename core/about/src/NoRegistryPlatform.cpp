#include "about/NoRegistryPlatform.h"

#include <filesystem>
#include <system_error>

namespace about {

bool NoRegistryPlatform::openKey(std::int32_t, const std::string&, std::uint32_t, std::uint32_t&) {
    return false;
}

bool NoRegistryPlatform::queryValue(std::uint32_t, const std::string&, std::size_t, std::string&,
                                    std::uint32_t&) {
    return false;
}

void NoRegistryPlatform::closeKey(std::uint32_t) {}

bool NoRegistryPlatform::fileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

bool NoRegistryPlatform::startProgram(const std::string&) {
    return false;
}

}  // namespace about
