// Looking things up by name as map users type them: the exact name first, then any case.
#pragma once

#include <algorithm>
#include <cctype>
#include <string_view>

namespace regmap {

inline bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The element of `items` whose `name` member is `name` (exact case first, then any case);
// nullptr when none is.
template <typename Items>
auto findByName(const Items& items, std::string_view name) -> decltype(&*items.begin()) {
    for (const auto& item : items) {
        if (item.name == name) {
            return &item;
        }
    }
    for (const auto& item : items) {
        if (sameIgnoringCase(item.name, name)) {
            return &item;
        }
    }
    return nullptr;
}

}  // namespace regmap
