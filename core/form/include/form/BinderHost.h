// What the control binders need of their front end's host: the painters of its windows with the
// round that runs them, and the clock of the running operation that tells when the busy looks
// show. The Qt and Win32 hosts derive from it.
#pragma once

#include <chrono>
#include <functional>

#include "form/PaintRegistry.h"

namespace form {

class BinderHost {
  public:
    virtual ~BinderHost() = default;

    // Adds a painter that renders one window from its model; returns an id for removeRenderer.
    int addRenderer(std::function<void()> render) { return painters_.add(std::move(render)); }
    // Forgets a painter; unknown ids are ignored.
    void removeRenderer(int id) { painters_.remove(id); }
    // Paints every window from its model now; a call from within a paint does nothing.
    void renderAll();

    // A user event's handler starts: the clock for busyPaintDelayMs.
    void operationStarts() { operationStart_ = std::chrono::steady_clock::now(); }
    // Milliseconds since the last operationStarts() (since the host was made before the first).
    long long operationAgeMs() const;
    // True once the last operationStarts() is busyPaintDelayMs old.
    bool busyLooksDue() const { return operationAgeMs() >= busyPaintDelayMs; }
    // Data controls look disabled only once an operation has run this long, so the quick
    // automatic exchanges do not flicker; they refuse input from the first moment either way.
    long long busyPaintDelayMs = 100;

  protected:
    // A paint round has run: the host's clock for its repaint interval.
    virtual void painted() {}

  private:
    PaintRegistry painters_;
    std::chrono::steady_clock::time_point operationStart_ = std::chrono::steady_clock::now();
};

}  // namespace form
