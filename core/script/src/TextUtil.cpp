#include "TextUtil.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace script::detail {

double numericValue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    std::string number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        number.push_back(text[i++]);
    }
    bool point = false;
    while (i < text.size() && number.size() < 40 &&
           ((text[i] >= '0' && text[i] <= '9') || (text[i] == '.' && !point))) {
        point = point || text[i] == '.';
        number.push_back(text[i++]);
    }
    double value = std::strtod(number.c_str(), nullptr);
    return std::isfinite(value) ? value : 0;
}

std::string countText(double value) {
    char buf[64];
    if (value == std::floor(value) && std::fabs(value) < 1e15) {
        std::snprintf(buf, sizeof buf, "%.0f", value);
    } else {
        std::snprintf(buf, sizeof buf, "%.15g", value);
    }
    return buf;
}

}  // namespace script::detail
