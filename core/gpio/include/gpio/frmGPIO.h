// The GPIO panel as a model without any toolkit: the output enables and levels of the bridge's
// twelve port lines and two LEDs, edited bit by bit in the shared GpioState, and the two
// write-and-read operations that send the state to the bridge and show what it reports back.
// Controls are public members named as the controls; handlers are member functions named as the
// handlers. One instance exists for the program; the application loads it on first use.
//
// Layout for the view (twips, 15 to a pixel): kClientWidth x kClientHeight is the client area;
// controls() lists every control with its container ("" for the window, or "Frame1", "FrOutEn",
// "frameGPIO_Data", "Frame_GPIOOUTEN", "frame_GPIOData", "FrGPIOIo") and its rectangle relative
// to that container. shpGpioWr has no element 1: it stays hidden and is absent from the table.
// The click handlers run when a box's checked state changes, by the user or by another window;
// a view that renders a Value the model set must not call them.
#pragma once

#include <array>
#include <span>

#include "board/BoardLink.h"
#include "bridgeproto/Codec.h"
#include "form/ControlTable.h"
#include "form/Controls.h"
#include "form/Window.h"

namespace gpio {

class frmGPIO : public form::Window {
  public:
    static constexpr int kClientWidth = 9000;
    static constexpr int kClientHeight = 4920;
    static constexpr const char* kTitle = "GPIO Control";

    // Sets every control to its design state; the window is not loaded yet.
    explicit frmGPIO(board::BoardLink& link);

    // Every control with its design place and the handlers its events run; refers to this
    // window's members.
    form::ControlTable controls();

    // ---- Left: usage names, enables, data -------------------------------------------------
    form::Frame Frame1;  // "GPIO Usage"
    std::array<form::TextBox, 12> txtGPIOUserName;
    form::Frame FrOutEn;                       // "Enable"
    std::array<form::CheckBox, 8> chkOutEn;    // PB0..PB7 enables, bits 0..7 of byte 0
    std::array<form::CheckBox, 4> chkOutEnc;   // PC4..PC7 enables, bits 4..7 of byte 1
    std::array<form::CheckBox, 2> ChLed1;      // red, green LED enables, bits 0, 1 of byte 1
    form::Frame frameGPIO_Data;                // "Data"
    std::array<form::CheckBox, 8> ChkBData;    // PB0..PB7 data, bits 0..7 of byte 2
    std::array<form::CheckBox, 4> ChkCData;    // PC4..PC7 data, bits 4..7 of byte 3
    std::array<form::CheckBox, 2> ChKLedData;  // red, green LED data, bits 0, 1 of byte 3

    // ---- Right: hex boxes, lamps, buttons -----------------------------------------------------
    form::Frame Frame_GPIOOUTEN;  // "GPIO Output Enables"
    // 0 port B written (W), 1 port B read back (R), 2 port C W, 3 port C R.
    std::array<form::TextBox, 4> txtPCHex;
    form::Label lblGPIOOutEn;
    form::Label Label1;
    form::Label Label4;
    form::Frame frame_GPIOData;                 // "GPIO Data"
    std::array<form::TextBox, 4> txtPCHexData;  // same order as txtPCHex, for the data bytes
    form::Label Label2;
    form::Label Label3;
    // 0 "Update Enables"; 2, 3 enable checks of ports B and C; 4, 5 data activity. No 1.
    std::array<form::Lamp, 6> shpGpioWr;
    form::Frame FrGPIOIo;  // "GPIO Execute"
    form::Button cmdGPIO_Write;
    form::Button cmdWrite_GPIO_Data;

    // Shows GpioState in the four W boxes and ticks every check box whose bit is set, so the
    // boxes agree with what the next write sends. Never fails.
    void Form_Load();
    // Closing: the controls return to their design state and the window counts as unloaded;
    // GpioState is kept.
    void Form_Unload();

    // A box's checked state changed (index into its array): sets or clears its bit in GpioState
    // and shows the byte in its W box; an enable box also enables or disables its data box.
    // Nothing is sent.
    void ChkBData_Click(int index);
    void ChkCData_Click(int index);
    void ChKLedData_Click(int index);
    void chkOutEn_Click(int index);
    void chkOutEnc_Click(int index);
    void ChLed1_Click(int index);

    // Sends enables and data (GpioWriteCommand) and shows the 25-byte status reply: R boxes,
    // enable check lamps, activity lamps. Connects and disconnects itself in automatic mode.
    // A failed transfer is logged by the board link; the R boxes then show "--" and every lamp
    // of the operation turns red.
    void cmdGPIO_Write_Click();
    // Sends the data bytes only (GpioDataCommand) and shows the data read-back; a failed
    // transfer shows "--" in the data R boxes and red activity lamps.
    void cmdWrite_GPIO_Data_Click();
    // True when the last write-and-read got its reply, so the R boxes hold the ports' state;
    // false before the first one.
    bool lastExchangeAnswered() const { return answered_; }

  private:
    void initControls();
    void ensureLoaded();
    void yield();
    void setBit(int byteIndex, int bit, bool on);
    // Sets or clears the bit of boxes[index] (bit firstBit + index of GpioState[byteIndex]) and
    // shows that byte in hexBox; false, and nothing changed, for an index outside boxes.
    bool lineClicked(std::span<form::CheckBox> boxes, int index, int byteIndex, int firstBit,
                     form::TextBox& hexBox);
    // lineClicked for an enable box, which also enables or disables the data box of its line.
    void enableClicked(std::span<form::CheckBox> enables, std::span<form::CheckBox> data, int index,
                       int byteIndex, int firstBit, form::TextBox& hexBox);
    void exchange(bool withEnables);
    // The reply in the R boxes, the enable checks against the bytes sent, the activity lamps.
    void showReadBack(const bridgeproto::GpioStatusReply& reply,
                      const std::array<std::uint8_t, 4>& sent, bool withEnables);
    // "--" in the R boxes and red lamps: nothing was read back, so zeros must not pass for it.
    void showFailedExchange(bool withEnables);

    board::BoardLink& link_;
    bool answered_ = false;
};

}  // namespace gpio
