// The board link: program-wide state, the log procedures, the board connection with its attach
// and detach handlers, and the two pipe transfers. One instance lives for the whole run; every
// window holds a reference to it. No failure is raised: each is logged, and callers see it in
// the returned reply's status and count byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "board/BusObserver.h"
#include "board/MainWindowLink.h"
#include "board/ProgramState.h"
#include "board/Reply.h"
#include "bridgeproto/Codec.h"
#include "form/Host.h"

namespace board {

// The log keeps its newest entries within these budgets, whichever is reached first; when it
// drops older ones, the notice line stands at its top.
inline constexpr std::size_t kLogMaxBytes = 8 * 1024 * 1024;
inline constexpr std::size_t kLogMaxLines = 100000;
inline constexpr const char* kLogDroppedNotice = "older entries removed";

class BoardLink {
  public:
    BoardLink(form::Host& host, MainWindowLink& mainWindow);
    ~BoardLink();
    BoardLink(const BoardLink&) = delete;
    BoardLink& operator=(const BoardLink&) = delete;

    form::Host& host() { return host_; }
    MainWindowLink& mainWindow() { return main_; }

    // The program-wide state the windows share. The transfer and driver state is the link's own:
    // windows read what they need of it through these calls.
    bool usbOpened() const { return s.UsbOpened != False; }
    bool manualConnect() const { return s.ManualUsbConnect != False; }
    void setManualConnect(bool manual) { s.ManualUsbConnect = manual ? True : False; }
    // The state the register console starts from: closed, automatic connection, no error, and
    // the GPIO state 00 00 FF FF.
    void resetForStart();
    // The status of the last driver call or transfer, and the handles it left.
    std::uint32_t lastStatus() const { return s.LastStatus; }
    WDU_DRIVER_HANDLE driverHandle() const { return s.DriverHandle; }
    bool deviceOpen() const { return s.DeviceHandle != 0; }
    // The device the last transfer went to, for the layer's calls beyond the two pipes.
    WDU_DEVICE_HANDLE deviceHandle() const { return s.DeviceHandle; }
    // The device the last attach event delivered (0 after a detach), as the layer knows it.
    WDU_DEVICE_HANDLE attachedDevice() const { return s.AttachContext.AttachedDevice; }
    // The window loaded or focused last; its hWnd goes to the driver in the GPIO-window connect.
    form::Window* activeWindow() const { return s.ActiveWindow; }
    void setActiveWindow(form::Window* window) { s.ActiveWindow = window; }
    // The current I2C address: the 8-bit write address, its read address one above.
    void setI2cAddress(std::uint8_t writeAddress);
    std::uint8_t i2cWriteAddress() const { return s.I2CWriteAddr; }
    std::uint8_t i2cReadAddress() const { return s.I2CReadAddr; }
    // The byte counts of the last request; a later I2C write's reply length still follows the
    // last WriteQty, whoever set it.
    void setReadQty(std::int16_t count) { s.ReadQty = count; }
    std::int16_t readQty() const { return s.ReadQty; }
    void setWriteQty(std::int16_t count) { s.WriteQty = count; }
    std::int16_t writeQty() const { return s.WriteQty; }
    // 0 port B enables, 1 port C enables, 2 port B data, 3 port C data.
    std::array<std::uint8_t, 4>& gpioState() { return s.GpioState; }
    // The lamp colours, and the success flip between the two greens.
    form::PaletteIndex colorBlack() const { return s.ColorBlack; }
    form::PaletteIndex colorLightGreen() const { return s.ColorLightGreen; }
    form::PaletteIndex colorLightRed() const { return s.ColorLightRed; }
    void toggleLamp(form::Lamp& lamp) const { s.toggleLamp(lamp); }

    // Chooses the I2C OUT pipe: 2. I2C commands go to the pipe it chose last (0 before it
    // ever ran, which the driver refuses).
    void InitPipes();
    // Assigns the lamp colour constants.
    void InitColors();
    // The driver's text for a status, cut at its first NUL.
    std::string StatusText(std::uint32_t status);

    // Appends message, " :", date, blank, time and the terminator twice to a box; moves the
    // caret to the end.
    void AppendLogText(form::TextBox& box, std::string_view message, std::string_view terminator,
                       bool clearFirst);
    // Appends to Txtlog (kept to the log budget) and shows CommError on shpLogStatus.
    void LogAppend(std::string_view message, std::string_view terminator);
    // Sets CommError, turns shpLogStatus red and appends the message.
    void LogError(std::string_view message);
    // Appends the message without touching any lamp.
    void LogNote(std::string_view message);

    // Opens the board connection (registration, 10,000-yield attach wait, device check).
    void Connect_Usb();
    // Closes it: reset, unregistration, indicators.
    void Disconnect_USB();
    // The GPIO window's variants: the same steps without indicators and without InitPipes; the
    // driver gets ActiveWindow's handle.
    void Connect_Usb_Gpio();
    void Disconnect_USB_Gpio();
    // Closes it as Disconnect_USB does but without the reset, so that another connection to the
    // same board keeps working.
    void closeWithoutReset();

    // The driver's attach and detach handlers (also called directly by tests).
    bool DeviceAttach(WDU_DEVICE_HANDLE device, const WDU_DEVICE& info);
    void DeviceDetach(WDU_DEVICE_HANDLE device);

    // Sends TransferLength bytes of TransferBuffer (zeros where it is shorter) to TransferPipe.
    void writePipe();
    // Reads up to TransferLength bytes from TransferPipe into TransferBuffer.
    void readPipe();

    // One command and its reply: the packet goes out (an I2C command on the pipe InitPipes
    // chose), then, when the command asks for one, the reply is read. Returns the first failing
    // status, or the reply's; the reply bytes are replyLength long, zeros where nothing arrived.
    // Every failure is logged.
    Reply exchange(const bridgeproto::Command& command);
    // The halves of an exchange, each on a buffer of its own: sendPacket returns the status and
    // the bytes it handed to the driver, receiveReply the status and `length` bytes (zeros on a
    // failure, so the count byte reads 0). Both record TransferPipe and TransferLength.
    Reply sendPacket(std::uint32_t pipe, const std::vector<std::uint8_t>& packet);
    Reply receiveReply(std::uint32_t pipe, std::int32_t length);

    // Tells the observer of every I2C transaction from now on, until it is removed; an observer
    // added twice is told once. It must outlive its time here.
    void addBusObserver(BusObserver& observer);
    // Stops telling the observer; harmless when it is not there.
    void removeBusObserver(BusObserver& observer);
    // Hands a transaction that went past the packets (an adapter's own SMBus block transfer) to
    // the observers, as one of the I2C endpoint's would be.
    void tellBusObservers(const I2cTransaction& transaction);

  private:
    // The main window's log box, put under the log budget on first use.
    form::TextBox& logBox();
    // An exchange or a device check succeeded: CommError clears and shpLogStatus shows it, so
    // the lamp recovers even when the success writes no log line.
    void clearCommError();
    // What the last connect or attach event found about the board, on ShpAttach.
    void showAttached(bool attached);
    // The steps both connect variants share, in the order they run: connectOnce runs the
    // connect unless the link is open or a connect runs already ("Already Opened");
    // describeEvents fills the match and event tables, logs and yields; registerForEvents
    // registers the handlers for the window handle and says whether the driver accepted them;
    // reportInitFailure logs a refused registration; awaitAttach yields while the board
    // attaches and checks the device.
    void connectOnce(const std::function<void()>& connect);
    void describeEvents();
    bool registerForEvents(std::uintptr_t hWnd);
    void reportInitFailure();
    void awaitAttach();
    // The steps both disconnect variants share; false, and nothing done, when nothing is open.
    bool closeConnection(bool reset = true);
    // A transfer of `buffer` (sent, or filled in place) on `pipe`, with what it moved as the
    // result; logged as the pipe procedures log.
    Reply writeTransfer(std::uint32_t pipe, std::vector<std::uint8_t> buffer);
    Reply readTransfer(std::uint32_t pipe, std::vector<std::uint8_t> buffer);
    // The steps both transfers share once the connection is open; `name` starts their log
    // texts. Only a write yields before its transfer.
    Reply pipeTransfer(bool read, std::string_view name, std::uint32_t pipe,
                       std::vector<std::uint8_t> buffer);

    // Hands an I2C command and what its transfers gave to the observers as one transaction.
    void tellObservers(const std::vector<std::uint8_t>& packet, std::uint32_t status,
                       const Reply& reply);

    // Tests and benchmarks look at the whole state through this; nothing else may.
    friend struct ProgramStateAccess;

    ProgramState s;
    form::Host& host_;
    MainWindowLink& main_;
    std::vector<BusObserver*> observers_;
    // The I2C command sent whose reply has not been read yet (empty for none).
    std::vector<std::uint8_t> pendingI2c_;
    // The driver registration that is live right now (0 for none), so that none is leaked and
    // the destructor can end it before the handlers lose their target.
    WDU_DRIVER_HANDLE registration_ = 0;
    // True while a connect runs, so that one re-entered at its yields does not register twice.
    bool connecting_ = false;
};

}  // namespace board
