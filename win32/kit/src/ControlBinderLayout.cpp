#include "win32kit/ControlBinder.h"

#include <utility>

#include "BinderLooks.h"
#include "win32kit/Screen.h"

namespace win32kit {

RECT ControlBinder::pixels(const form::ControlGeometry& g) {
    const int left = win32kit::pixels(g.left);
    const int top = win32kit::pixels(g.top);
    return {left, top, left + win32kit::pixels(g.width), top + win32kit::pixels(g.height)};
}

RECT ControlBinder::placeOf(const form::ControlGeometry& g) const {
    const int left = scale_->pixels(g.left);
    const int top = scale_->pixels(g.top);
    return {left, top, left + scale_->pixels(g.width), top + scale_->pixels(g.height)};
}

void ControlBinder::setDpi(int dpi) {
    if (dpi == scale_->dpi()) {
        return;
    }
    // The controls still hold the old fonts until the rescales below replace them.
    auto old = std::exchange(scale_, std::make_unique<Scale>(dpi));
    ++scaleGeneration_;
    for (const auto& rescale : rescales_) {
        rescale();
    }
    render();
}

void ControlBinder::placeHeadings(HWND row, const std::vector<HWND>& words,
                                  const std::vector<const form::Control*>& columns) {
    const RECT area = childRect(row);
    const int width = area.right - area.left;
    std::vector<RECT> boxes;
    for (const form::Control* c : columns) {
        HWND column = window(*c);
        RECT r = column != nullptr ? childRect(column) : RECT{};
        OffsetRect(&r, -area.left, 0);
        boxes.push_back(r);
    }
    // Each word spans its box and half of the gaps beside it.
    const int height = scale_->scaled(kHeadingPixels);
    for (std::size_t k = 0; k < boxes.size() && k < words.size(); ++k) {
        const RECT box = boxes[k];
        const int before = k == 0 ? box.left : (box.left - boxes[k - 1].right) / 2;
        const int after =
            k + 1 == boxes.size() ? width - box.right : (boxes[k + 1].left - box.right) / 2;
        const int left = box.left - std::max(0, before - 1);
        const int right = box.right + std::max(0, after - 1);
        MoveWindow(words[k], left, 0, right - left, height, TRUE);
        setFont(words[k], scale_->messageFont());
    }
}

}  // namespace win32kit
