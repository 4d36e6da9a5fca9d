// The painters of a front end's windows, each repainting one window from its model, and the
// round that runs them all. A painter may close a window (and so remove its own painter or
// another's) or open one: a removed painter is not called again in the same round, an added one
// waits for the next.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

namespace form {

class PaintRegistry {
  public:
    // Adds a painter; returns its id for remove(). Never fails.
    int add(std::function<void()> paint);
    // Forgets a painter, also in the middle of a round; unknown ids are ignored.
    void remove(int id);
    // Runs every painter once, in the order they were added; false, painting nothing, when
    // called from within a painter (a toolkit call inside a paint may run events: no nesting).
    bool paintAll();
    // Painters registered now.
    std::size_t size() const { return painters_.size(); }

  private:
    struct Painter {
        int id;
        std::function<void()> paint;
    };
    std::vector<Painter> painters_;
    int nextId_ = 1;
    bool painting_ = false;
};

}  // namespace form
