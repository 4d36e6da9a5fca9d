// What the board link tells about the I2C traffic it puts on the bus: one call per transaction.
#pragma once

#include "board/I2cTransaction.h"

namespace board {

class BusObserver {
  public:
    virtual ~BusObserver() = default;
    // Takes one finished transaction; must not fail or reach the board link.
    virtual void onTransaction(const I2cTransaction& transaction) = 0;
};

}  // namespace board
