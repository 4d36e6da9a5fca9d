#include "form/PaintRegistry.h"

#include <algorithm>

namespace form {

int PaintRegistry::add(std::function<void()> paint) {
    painters_.push_back({nextId_, std::move(paint)});
    return nextId_++;
}

void PaintRegistry::remove(int id) {
    std::erase_if(painters_, [id](const Painter& p) { return p.id == id; });
}

bool PaintRegistry::paintAll() {
    if (painting_) {
        return false;
    }
    painting_ = true;
    // The round's ids are taken first and each painter looked up afresh, so a painter removed
    // by an earlier one is never called, and one added meanwhile waits for the next round.
    std::vector<int> round;
    round.reserve(painters_.size());
    for (const Painter& p : painters_) {
        round.push_back(p.id);
    }
    for (int id : round) {
        const auto it = std::ranges::find(painters_, id, &Painter::id);
        if (it == painters_.end()) {
            continue;
        }
        // Called from a copy: the paint may remove its own entry, or add one that moves the list.
        const std::function<void()> paint = it->paint;
        paint();
    }
    painting_ = false;
    return true;
}

}  // namespace form
