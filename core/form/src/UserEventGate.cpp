#include "form/UserEventGate.h"

namespace form {

bool UserEventGate::dispatch(const std::function<void()>& handler) {
    if (depth_ > 0) {
        ++dropped_;
        return false;
    }
    ++depth_;
    struct Leave {
        int& depth;
        ~Leave() { --depth; }
    } leave{depth_};
    handler();
    return true;
}

}  // namespace form
