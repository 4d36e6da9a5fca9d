#include "win32kit/Guard.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace win32kit {

void reportFailure(const char* where, const char* what) noexcept {
    try {
        const std::string line = std::string(where) + ": " + what + "\n";
        std::fputs(line.c_str(), stderr);
        std::fflush(stderr);
        OutputDebugStringA(line.c_str());
    } catch (...) {
        std::fputs("a handler failed and its report could not be made\n", stderr);
    }
}

}  // namespace win32kit
