// What a script window needs of the GPIO panel: its two write-and-read operations and the
// read-back boxes they fill. The application implements it on the one GPIO panel (loading it
// hidden on first use).
#pragma once

#include <string>

namespace script {

class ScriptGpioLink {
  public:
    virtual ~ScriptGpioLink() = default;
    // Writes enables and data from GpioState and reads the ports back; failures are logged and
    // leave "--" in the read-back boxes.
    virtual void cmdGPIO_Write_Click() = 0;
    // Writes the data bytes only and reads the ports back.
    virtual void cmdWrite_GPIO_Data_Click() = 0;
    // True when the last of those two got its reply: only then do the read-back boxes hold the
    // ports' state.
    virtual bool exchangeAnswered() = 0;
    // The text of txtPCHexData(index): 1 = port B data read back, 3 = port C data read back.
    virtual std::string txtPCHexData(int index) = 0;
    // The text of txtPCHex(index): 1 = port B enables read back, 3 = port C enables read back.
    virtual std::string txtPCHex(int index) = 0;
};

}  // namespace script
