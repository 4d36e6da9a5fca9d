// The board link: program-wide state, the log procedures, the board connection with its attach
// and detach handlers, and the two pipe transfers. One instance lives for the whole run; every
// window holds a reference to it. No failure is raised: each is logged, and callers see it in
// the returned reply's status and count byte.
#pragma once

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

    ProgramState s;

    form::Host& host() { return host_; }
    MainWindowLink& mainWindow() { return main_; }

    // Sets OutPipeNum to 2.
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

    // Sends TransferLength bytes of TransferBuffer to TransferPipe.
    void writePipe();
    // Reads up to TransferLength bytes from TransferPipe into TransferBuffer.
    void readPipe();

    // One half of an exchange: sets TransferPipe and TransferLength, fills TransferBuffer with
    // the packet (zero-padded to its length) and runs writePipe. Returns the transfer's status
    // and the bytes it handed to the driver; a failure is also logged.
    Reply sendPacket(std::uint32_t pipe, const std::vector<std::uint8_t>& packet);
    // The other half: re-dimensions TransferBuffer to `length` zeros and runs readPipe. Returns
    // the status and the `length` bytes read; on a failure they stay zero (count byte 0) and the
    // failure is logged.
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
    // writePipe and readPipe, with what they moved as the result.
    Reply writeTransfer();
    Reply readTransfer();
    // The steps both pipe transfers share once the connection is open; `name` starts their log
    // texts. Only a write yields before its transfer.
    Reply pipeTransfer(bool read, std::string_view name);

    // Hands an I2C command and what its transfers gave to the observers as one transaction.
    void tellObservers(const std::vector<std::uint8_t>& packet, std::uint32_t status,
                       const Reply& reply);

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
