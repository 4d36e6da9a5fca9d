#include "KeptText.h"

#include <mutex>
#include <set>

namespace wdu {

const char* keptText(const std::string& text) {
    static std::mutex mutex;
    static auto* const kept = new std::set<std::string>();
    std::lock_guard lock(mutex);
    return kept->insert(text).first->c_str();
}

}  // namespace wdu
