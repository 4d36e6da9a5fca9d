// The Qt host's painters: a window closed by a paint is not painted again in the same round.
#include <gtest/gtest.h>

#include <memory>

#include "kit/QtHost.h"

namespace viewtest {
namespace {

TEST(QtHostTest, RenderAll_ViewClosedByAnEarlierPaint_IsNotPaintedAgain) {
    kit::QtHost host;
    // Stands for a view: the first paint closes it and removes its painter, as a window that an
    // operation unloads does.
    auto view = std::make_unique<int>(0);
    int viewPainter = 0;
    bool paintedAfterClose = false;
    int added = 0;
    host.addRenderer([&] {
        host.removeRenderer(viewPainter);
        view.reset();
        // A painter added during the round waits for the next one.
        host.addRenderer([&] { ++added; });
    });
    viewPainter = host.addRenderer([&] {
        if (view == nullptr) {
            paintedAfterClose = true;
        } else {
            ++*view;
        }
    });
    host.renderAll();
    EXPECT_FALSE(paintedAfterClose);
    EXPECT_EQ(added, 0);
}

}  // namespace
}  // namespace viewtest
