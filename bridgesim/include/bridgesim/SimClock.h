// The simulated board's time: a steady clock counted from the board's start, or, for tests, a
// clock that moves only when told, so that no test sleeps. Not thread-safe: its owner locks.
#pragma once

#include <chrono>

namespace bridgesim {

class SimClock {
  public:
    SimClock() : start_(std::chrono::steady_clock::now()) {}

    // Time since the board started.
    std::chrono::microseconds now() const {
        if (manual_) {
            return manualNow_;
        }
        return std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - start_);
    }
    // Manual: the clock stops where it is and moves only by advance.
    void setManual(bool manual) {
        if (manual && !manual_) {
            manualNow_ = now();
        } else if (!manual && manual_) {
            start_ = std::chrono::steady_clock::now() - manualNow_;
        }
        manual_ = manual;
    }
    // Moves a manual clock on; a negative step is ignored.
    void advance(std::chrono::microseconds by) {
        if (manual_ && by.count() > 0) {
            manualNow_ += by;
        }
    }

  private:
    std::chrono::steady_clock::time_point start_;
    bool manual_ = false;
    std::chrono::microseconds manualNow_{0};
};

}  // namespace bridgesim
