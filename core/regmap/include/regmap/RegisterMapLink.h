// What the "Register Map" window needs of the application: the console's address and its
// connection buttons, so that the window opens and closes the board connection exactly as the
// console's own operations do.
#pragma once

#include "board/I2cAddress.h"

namespace regmap {

class RegisterMapLink {
  public:
    virtual ~RegisterMapLink() = default;
    // The device address the console's "I2C Addr" box names.
    virtual board::I2cAddress consoleAddress() = 0;
    // The console's "USB Connect" and "USB Disconnect"; failures go to the program log.
    virtual void connectBoard() = 0;
    virtual void disconnectBoard() = 0;
};

}  // namespace regmap
