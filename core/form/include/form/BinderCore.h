// The toolkit-free part of a control binder: runs the user's events through the application's
// gate, tells when the busy looks show, and keeps the painters of the bound controls, which
// paint each control from its model with the busy flag of the round.
#pragma once

#include <functional>
#include <vector>

#include "form/BinderHost.h"
#include "form/ControlTable.h"
#include "form/UserEventGate.h"

namespace form {

class BinderCore {
  public:
    BinderCore(UserEventGate& gate, BinderHost& host) : gate_(gate), host_(host) {}

    // Runs a user event through the gate and repaints every window after it; false when the
    // event was dropped because another handler runs.
    bool dispatch(const std::function<void()>& handler);
    // Runs a click through the gate (Data) or directly and repaints after it (Live).
    void runClick(const std::function<void()>& run, Role role);
    // The click of a check box the user ticked: stores `value` (0, 1 or 2 for greyed) in the
    // model, then runs the entry's click handler when it has one.
    static std::function<void()> tick(CheckBox& box, int value, std::function<void()> onClick);
    // True while a dispatched handler runs: the data controls refuse input.
    bool busy() const { return gate_.busy(); }
    // True when the data controls are painted disabled: an operation runs and has run for the
    // host's delay.
    bool busyLooks() const;
    // Adds the painter of one bound control; painters run in the order they were added.
    void addPainter(std::function<void(bool busy)> paint);
    // Paints every bound control; returns the busy flag it painted with.
    bool render();

  private:
    UserEventGate& gate_;
    BinderHost& host_;
    std::vector<std::function<void(bool busy)>> painters_;
};

}  // namespace form
