#include "form/BinderCore.h"

namespace form {

bool BinderCore::dispatch(const std::function<void()>& handler) {
    if (!gate_.busy()) {
        host_.operationStarts();
    }
    const bool ran = gate_.dispatch(handler);
    host_.renderAll();
    return ran;
}

void BinderCore::runClick(const std::function<void()>& run, Role role) {
    if (role == Role::Data) {
        dispatch(run);
    } else {
        run();
        host_.renderAll();
    }
}

std::function<void()> BinderCore::tick(CheckBox& box, int value, std::function<void()> onClick) {
    return [&box, value, onClick = std::move(onClick)] {
        box.Value = value;
        if (onClick) {
            onClick();
        }
    };
}

bool BinderCore::busyLooks() const {
    return gate_.busy() && host_.busyLooksDue();
}

void BinderCore::addPainter(std::function<void(bool busy)> paint) {
    painters_.push_back(std::move(paint));
}

bool BinderCore::render() {
    const bool busy = busyLooks();
    for (auto& paint : painters_) {
        paint(busy);
    }
    return busy;
}

}  // namespace form
