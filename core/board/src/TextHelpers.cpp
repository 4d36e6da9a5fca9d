#include "board/TextHelpers.h"

#include <cstdio>

namespace board {

std::string upperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

std::string dateText(const form::LocalDateTime& t) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", t.month, t.day, t.year);
    return buf;
}

std::string timeText(const form::LocalDateTime& t) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return buf;
}

std::string fileTitle(std::string_view path) {
#if defined(_WIN32)
    const std::size_t slash = path.find_last_of("/\\:");
#else
    const std::size_t slash = path.find_last_of('/');
#endif
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace board
