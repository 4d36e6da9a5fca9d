#include "board/BoardLink.h"

#include <algorithm>

#include "board/HexText.h"
#include "board/TextHelpers.h"
#include "bridgeproto/BridgeIds.h"

namespace board {

namespace {

constexpr std::uint32_t kTransferTimeoutMs = 1000;
constexpr int kAttachWaitYields = 10000;

// The USB layer calls these with the AttachContext it was given; they hand over to the link.
// Nothing thrown may unwind into the C layer: it is logged, and the device counts as refused.
void logEscaped(BoardLink& link, std::string_view handler) noexcept {
    try {
        link.LogNote(std::string(handler) + ": stopped by an unexpected error");
    } catch (...) {
    }
}

int attachHandler(WDU_DEVICE_HANDLE device, const WDU_DEVICE* info, void* userData) noexcept {
    auto* context = static_cast<AttachContextRecord*>(userData);
    if (context == nullptr || context->link == nullptr || info == nullptr) {
        return 0;
    }
    try {
        return context->link->DeviceAttach(device, *info) ? 1 : 0;
    } catch (...) {
        logEscaped(*context->link, "DeviceAttach");
        return 0;
    }
}

void detachHandler(WDU_DEVICE_HANDLE device, void* userData) noexcept {
    auto* context = static_cast<AttachContextRecord*>(userData);
    if (context == nullptr || context->link == nullptr) {
        return;
    }
    try {
        context->link->DeviceDetach(device);
    } catch (...) {
        logEscaped(*context->link, "DeviceDetach");
    }
}

}  // namespace

BoardLink::BoardLink(form::Host& host, MainWindowLink& mainWindow)
    : host_(host), main_(mainWindow) {
    s.AttachContext.link = this;
}

BoardLink::~BoardLink() {
    // No handler may reach this object once it is gone.
    if (registration_ != 0) {
        WDU_VB_Uninit(registration_);
    }
}

void BoardLink::resetForStart() {
    s.GpioState = {0x00, 0x00, 0xFF, 0xFF};
    s.ManualUsbConnect = False;
    s.UsbOpened = False;
    s.CommError = False;
}

void BoardLink::setI2cAddress(std::uint8_t writeAddress) {
    s.I2CWriteAddr = writeAddress;
    s.I2CReadAddr = static_cast<std::uint8_t>(writeAddress + 1);
}

void BoardLink::InitPipes() {
    s.OutPipeNum = 2;
}

void BoardLink::InitColors() {
    s.ColorLightGreen = 10;
    s.ColorLightRed = 12;
    s.ColorGreen = 2;
}

std::string BoardLink::StatusText(std::uint32_t status) {
    const char* text = VB_Stat2Str(status);
    return text == nullptr ? std::string() : std::string(text);
}

void BoardLink::AppendLogText(form::TextBox& box, std::string_view message,
                              std::string_view terminator, bool clearFirst) {
    if (clearFirst) {
        box.setText(std::string());
    }
    form::LocalDateTime t = host_.now();
    std::string entry;
    entry.reserve(message.size() + 24 + 2 * terminator.size());
    entry.append(message);
    entry.append(" :").append(dateText(t)).append(" ").append(timeText(t));
    entry.append(terminator).append(terminator);
    box.appendText(entry);
    box.SelStart = box.characters();
}

form::TextBox& BoardLink::logBox() {
    form::TextBox& box = main_.Txtlog();
    if (!box.budgeted()) {
        box.keepNewest({kLogMaxBytes, kLogMaxLines, std::string(kLogDroppedNotice) + kCrLf});
    }
    return box;
}

void BoardLink::clearCommError() {
    s.CommError = False;
    main_.shpLogStatus().FillColor = s.ColorLightGreen;
}

void BoardLink::showAttached(bool attached) {
    main_.ShpAttach().FillColor = attached ? s.ColorLightGreen : s.ColorLightRed;
}

void BoardLink::LogAppend(std::string_view message, std::string_view terminator) {
    AppendLogText(logBox(), message, terminator, false);
    main_.shpLogStatus().FillColor = s.CommError != False ? s.ColorLightRed : s.ColorLightGreen;
}

void BoardLink::LogError(std::string_view message) {
    s.CommError = True;
    main_.shpLogStatus().FillColor = s.ColorLightRed;
    AppendLogText(logBox(), message, "\r\n", false);
}

void BoardLink::LogNote(std::string_view message) {
    AppendLogText(logBox(), message, "\r\n", false);
}

void BoardLink::Connect_Usb() {
    connectOnce([this] {
        describeEvents();
        const bool registered = registerForEvents(main_.mainHWnd());
        main_.txthDriver().setText(DecimalWithSign(static_cast<std::int32_t>(s.DriverHandle)));
        if (!registered) {
            main_.cbNoc().Caption = "USB Board won't intialize";
            reportInitFailure();
            return;
        }
        awaitAttach();
        main_.shpUSBCon(0).FillColor = s.ColorLightGreen;
        main_.shpUSBCon(1).FillColor = s.ColorBlack;
        host_.doEvents();
        s.UsbOpened = True;
        InitPipes();
        host_.doEvents();
        main_.cbNoc().Visible = false;
        main_.ShpHandleStatus().FillColor = s.ColorLightGreen;
    });
}

void BoardLink::Disconnect_USB() {
    if (closeConnection()) {
        main_.shpUSBCon(1).FillColor = s.ColorLightGreen;
        main_.shpUSBCon(0).FillColor = s.ColorBlack;
    }
}

void BoardLink::Connect_Usb_Gpio() {
    connectOnce([this] {
        describeEvents();
        // Read after describeEvents' yield: the window in front then gets the events.
        const std::uintptr_t hWnd =
            s.ActiveWindow != nullptr ? s.ActiveWindow->hWnd() : main_.mainHWnd();
        if (!registerForEvents(hWnd)) {
            reportInitFailure();
            return;
        }
        awaitAttach();
        host_.doEvents();
        s.UsbOpened = True;
        host_.doEvents();
    });
}

void BoardLink::Disconnect_USB_Gpio() {
    closeConnection();
}

void BoardLink::closeWithoutReset() {
    if (closeConnection(false)) {
        main_.shpUSBCon(1).FillColor = s.ColorLightGreen;
        main_.shpUSBCon(0).FillColor = s.ColorBlack;
    }
}

void BoardLink::connectOnce(const std::function<void()>& connect) {
    // A connect that re-enters during the yields of a running one counts as already open.
    if (s.UsbOpened != False || connecting_) {
        LogAppend("Already Opened", "\r\n");
        return;
    }
    connecting_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{connecting_};
    connect();
}

void BoardLink::describeEvents() {
    s.MatchTable = WDU_MATCH_TABLE{};
    s.MatchTable.wVendorId = velmorix::kBridgeVendorId;
    s.MatchTable.wProductId = velmorix::kBridgeProductId;
    s.AttachContext.InterfaceNum = 0;
    s.AttachContext.AlternateSetting = 0;
    s.EventTable = WDU_EVENT_TABLE{};
    s.EventTable.pfDeviceAttach = &attachHandler;
    s.EventTable.pfDeviceDetach = &detachHandler;
    s.EventTable.pfPowerChange = nullptr;
    s.EventTable.pUserData = &s.AttachContext;

    s.CommError = False;
    LogAppend("Setting eventable up,  verifing that the device is attached...\r\n", "\r\n");
    host_.doEvents();
}

bool BoardLink::registerForEvents(std::uintptr_t hWnd) {
    if (registration_ != 0) {
        // The flags were reset while a registration stayed live: end it, or its handlers would
        // run twice for every event.
        WDU_VB_Uninit(registration_);
        registration_ = 0;
    }
    s.LastStatus = WDU_VB_Init(&s.DriverHandle, &s.MatchTable, 1, &s.EventTable, 1, hWnd);
    if (s.LastStatus != 0) {
        return false;
    }
    registration_ = s.DriverHandle;
    s.CommError = False;
    return true;
}

void BoardLink::reportInitFailure() {
    LogError("Form_Activate(): Failed to initialize USB driver: error &H" + HexText(s.LastStatus) +
             "\r\n" + "(" + StatusText(s.LastStatus) + ")");
    showAttached(false);
}

void BoardLink::awaitAttach() {
    // The attach handler runs during one of these yields when the bridge board is present.
    for (int i = 1; i <= kAttachWaitYields; ++i) {
        host_.doEvents();
    }

    s.DeviceHandle = s.AttachContext.AttachedDevice;
    s.LastStatus = WDU_GetDeviceInfo(s.DeviceHandle, &s.DeviceInfo);
    if (s.LastStatus != 0) {
        LogError("WriteGPIOPipe: WDU_GetDeviceInfo() failed:\r\nerror &H" + HexText(s.LastStatus) +
                 " (" + StatusText(s.LastStatus) + ")" + "\r\n");
    } else {
        clearCommError();
    }
    showAttached(s.LastStatus == 0);
}

bool BoardLink::closeConnection(bool reset) {
    if (s.UsbOpened == False || static_cast<std::int32_t>(s.DriverHandle) <= 0) {
        return false;
    }
    if (reset) {
        WDU_ResetDevice(s.DeviceHandle, 0);
        host_.doEvents();
    }
    WDU_VB_Uninit(s.DriverHandle);
    if (registration_ == s.DriverHandle) {
        registration_ = 0;
    }
    host_.doEvents();
    s.UsbOpened = False;
    host_.doEvents();
    return true;
}

bool BoardLink::DeviceAttach(WDU_DEVICE_HANDLE device, const WDU_DEVICE& info) {
    AttachContextRecord& context = s.AttachContext;
    context.AttachedDevice = device;
    std::uint32_t status = WDU_SetInterface(device, context.InterfaceNum, context.AlternateSetting);
    context.SetInterfaceStatus = status;
    bool accepted;
    if (status != 0) {
        LogError("DeviceAttach: WDU_SetInterface failed\r\n(num. " +
                 DecimalWithSign(static_cast<std::int32_t>(context.InterfaceNum)) + " alternate " +
                 DecimalWithSign(static_cast<std::int32_t>(context.AlternateSetting)) + ")\r\n" +
                 "device &H" + HexText(device) + ": error &H" + HexText(status) + "\r\n" + "(" +
                 StatusText(status) + ")");
        context.AttachedDevice = 0;
        accepted = false;
        showAttached(false);
    } else {
        LogNote("DeviceAttach: Received and accepted attach for \r\nvendor ID &H" +
                HexText(info.wVendorId) + " product ID &H" + HexText(info.wProductId) +
                "\r\ndevice handle &H" + HexText(device));
        accepted = true;
        showAttached(true);
    }
    LogAppend("", "\r\n");
    return accepted;
}

void BoardLink::DeviceDetach(WDU_DEVICE_HANDLE device) {
    showAttached(false);
    s.AttachContext.AttachedDevice = 0;
    LogNote("DeviceDetach: Received detach for device handle &H" + HexText(device));
}

void BoardLink::writePipe() {
    std::vector<std::uint8_t> packet = s.TransferBuffer;
    // Bytes the buffer does not hold go out as zeros, as after a re-dimension.
    packet.resize(s.TransferLength > 0 ? static_cast<std::size_t>(s.TransferLength) : 0, 0);
    writeTransfer(s.TransferPipe, std::move(packet));
}

void BoardLink::readPipe() {
    std::vector<std::uint8_t> buffer = s.TransferBuffer;
    buffer.resize(s.TransferLength > 0 ? static_cast<std::size_t>(s.TransferLength) : 0, 0);
    s.TransferBuffer = readTransfer(s.TransferPipe, std::move(buffer)).bytes;
}

Reply BoardLink::writeTransfer(std::uint32_t pipe, std::vector<std::uint8_t> buffer) {
    if (s.UsbOpened == False) {
        LogAppend("Write GPIOPipe .. USB Not opened", "\r\n");
        return {WD_DEVICE_NOT_FOUND, {}};
    }
    return pipeTransfer(false, "WritePipe", pipe, std::move(buffer));
}

Reply BoardLink::readTransfer(std::uint32_t pipe, std::vector<std::uint8_t> buffer) {
    if (s.UsbOpened == False) {
        LogAppend("ReadPipe .. USB Not opened", "\r\n");
        host_.doEvents();
        return {WD_DEVICE_NOT_FOUND, std::move(buffer)};
    }
    return pipeTransfer(true, "ReadPipe", pipe, std::move(buffer));
}

Reply BoardLink::pipeTransfer(bool read, std::string_view name, std::uint32_t pipe,
                              std::vector<std::uint8_t> buffer) {
    const std::string who(name);
    // A failed read hands back its buffer as it is: the zeros it was sized with.
    auto notTransferred = [&buffer, read](std::uint32_t status) {
        return Reply{status, read ? std::move(buffer) : std::vector<std::uint8_t>{}, 0};
    };
    s.DeviceHandle = s.AttachContext.AttachedDevice;
    s.LastStatus = WDU_GetDeviceInfo(s.DeviceHandle, &s.DeviceInfo);
    if (s.LastStatus != 0) {
        LogError(who + ": WDU_GetDeviceInfo() failed:\r\nerror &H" + HexText(s.LastStatus) + " (" +
                 StatusText(s.LastStatus) + ")" + "\r\n");
        return notTransferred(s.LastStatus);
    }
    clearCommError();
    if (s.DeviceInfo.dwNumEndpoints == 0) {
        LogAppend(
            "  No pipes are defined for this device \r\nother than the default pipe (number 0)",
            "\r\n");
        return notTransferred(WD_NO_ENDPOINT);
    }
    if (!read) {
        host_.doEvents();
    }
    const auto length = static_cast<std::uint32_t>(buffer.size());
    s.LastStatus =
        WDU_Transfer(s.DeviceHandle, pipe, read ? 1 : 0, 0, length > 0 ? buffer.data() : nullptr,
                     length, &s.BytesTransferred, nullptr, kTransferTimeoutMs);
    const std::uint32_t moved = s.LastStatus == 0 ? s.BytesTransferred : 0;
    if (s.LastStatus != 0) {
        LogError(who + ": WDU_Transfer() failed: error &H" + HexText(s.LastStatus) + " (" +
                 StatusText(s.LastStatus) + ")");
    } else {
        clearCommError();
    }
    return Reply{s.LastStatus, std::move(buffer), moved};
}

Reply BoardLink::sendPacket(std::uint32_t pipe, const std::vector<std::uint8_t>& packet) {
    s.TransferPipe = pipe;
    s.TransferLength = static_cast<std::int32_t>(packet.size());
    Reply sent = writeTransfer(pipe, packet);
    if (!observers_.empty() && pipe == static_cast<std::uint32_t>(velmorix::kI2cOutEndpoint)) {
        pendingI2c_.clear();
        if (sent.ok()) {
            pendingI2c_ = packet;
        } else {
            tellObservers(packet, sent.status, Reply{});
        }
    }
    return sent;
}

Reply BoardLink::receiveReply(std::uint32_t pipe, std::int32_t length) {
    s.TransferPipe = pipe;
    s.TransferLength = length;
    Reply reply = readTransfer(
        pipe, std::vector<std::uint8_t>(length > 0 ? static_cast<std::size_t>(length) : 0, 0));
    if (!pendingI2c_.empty() && pipe == velmorix::kI2cInEndpoint) {
        const std::vector<std::uint8_t> packet = std::move(pendingI2c_);
        pendingI2c_.clear();
        tellObservers(packet, reply.status, reply);
    }
    return reply;
}

Reply BoardLink::exchange(const bridgeproto::Command& command) {
    const std::uint32_t pipe =
        command.isI2c() ? static_cast<std::uint32_t>(s.OutPipeNum) : command.endpoint;
    Reply sent = sendPacket(pipe, command.packet);
    if (command.replyLength <= 0) {
        return sent;
    }
    // The reply is read even after a failed send, as the program always did: its log shows both
    // halves failing, and the zero-filled reply reads as a failure.
    Reply reply = receiveReply(bridgeproto::replyPipe(pipe), command.replyLength);
    if (!sent.ok()) {
        reply.status = sent.status;
    }
    return reply;
}

void BoardLink::addBusObserver(BusObserver& observer) {
    if (std::ranges::find(observers_, &observer) == observers_.end()) {
        observers_.push_back(&observer);
    }
}

void BoardLink::removeBusObserver(BusObserver& observer) {
    std::erase(observers_, &observer);
    if (observers_.empty()) {
        pendingI2c_.clear();
    }
}

void BoardLink::tellObservers(const std::vector<std::uint8_t>& packet, std::uint32_t status,
                              const Reply& reply) {
    const I2cTransaction transaction = decodeI2cExchange(packet, status, reply);
    if (!transaction.messages.empty()) {
        tellBusObservers(transaction);
    }
}

void BoardLink::tellBusObservers(const I2cTransaction& transaction) {
    // A copy: an observer may remove itself.
    for (BusObserver* observer : std::vector<BusObserver*>(observers_)) {
        observer->onTransaction(transaction);
    }
}

}  // namespace board
