#include "about/WindowsRegistryPlatform.h"

#include <windows.h>

#include <vector>

namespace about {

namespace {

// The predefined roots (HKEY_LOCAL_MACHINE = 0x80000002) are sign-extended to a handle.
HKEY rootHandle(std::int32_t root) {
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(root));
}

}  // namespace

WindowsRegistryPlatform::~WindowsRegistryPlatform() {
    for (const auto& [number, handle] : open_) {
        ::RegCloseKey(static_cast<HKEY>(handle));
    }
}

bool WindowsRegistryPlatform::openKey(std::int32_t root, const std::string& keyName,
                                      std::uint32_t access, std::uint32_t& key) {
    HKEY handle = nullptr;
    if (::RegOpenKeyExA(rootHandle(root), keyName.c_str(), 0, static_cast<REGSAM>(access),
                        &handle) != ERROR_SUCCESS) {
        return false;
    }
    key = nextKey_++;
    open_[key] = handle;
    return true;
}

bool WindowsRegistryPlatform::queryValue(std::uint32_t key, const std::string& valueName,
                                         std::size_t capacity, std::string& data,
                                         std::uint32_t& type) {
    const auto found = open_.find(key);
    if (found == open_.end()) {
        return false;
    }
    std::vector<BYTE> buffer(capacity);
    DWORD size = static_cast<DWORD>(capacity);
    DWORD valueType = 0;
    if (::RegQueryValueExA(static_cast<HKEY>(found->second), valueName.c_str(), nullptr, &valueType,
                           buffer.data(), &size) != ERROR_SUCCESS) {
        return false;
    }
    data.assign(reinterpret_cast<const char*>(buffer.data()), size);
    type = valueType;
    return true;
}

void WindowsRegistryPlatform::closeKey(std::uint32_t key) {
    const auto found = open_.find(key);
    if (found != open_.end()) {
        ::RegCloseKey(static_cast<HKEY>(found->second));
        open_.erase(found);
    }
}

bool WindowsRegistryPlatform::fileExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool WindowsRegistryPlatform::startProgram(const std::string& path) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    // CreateProcessA may write into the command line, so it gets a copy; quoted for blanks.
    std::string commandLine = "\"" + path + "\"";
    if (!::CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process)) {
        return false;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

}  // namespace about
