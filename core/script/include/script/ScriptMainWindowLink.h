// What a script window needs of the main window: its connect and disconnect buttons and the
// address its I2C address box names. The application implements it on the one main window; a
// headless runner may implement it on the board link alone.
#pragma once

#include "board/I2cAddress.h"

namespace script {

class ScriptMainWindowLink {
  public:
    virtual ~ScriptMainWindowLink() = default;
    // The main window's "USB Connect" button: opens the board connection; failures are logged.
    virtual void cmdUSBConnect_Click() = 0;
    // The main window's "USB Disconnect" button: closes the board connection.
    virtual void cmdUSBDisconnect_Click() = 0;
    // The device address the main window's "I2C Addr" box names.
    virtual board::I2cAddress consoleAddress() = 0;
};

}  // namespace script
