// One exchange at a time: views send every user event that may move data through the gate.
// While a handler runs, further user events are dropped; calls that one operation makes to
// another go straight to the model and never meet the gate.
#pragma once

#include <functional>

namespace form {

class UserEventGate {
  public:
    // Runs the handler unless another one is running; returns false when the event was dropped.
    bool dispatch(const std::function<void()>& handler);
    // True while a dispatched handler runs (views disable data controls then).
    bool busy() const { return depth_ > 0; }
    // Events dropped so far.
    long dropped() const { return dropped_; }

  private:
    int depth_ = 0;
    long dropped_ = 0;
};

}  // namespace form
