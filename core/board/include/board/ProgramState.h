// The program-wide state that every window and the board link share, for the whole run.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "form/Controls.h"
#include "form/Window.h"
#include "wd_utils.h"

namespace board {

// Flags are 16-bit with False = 0 and True = -1; any nonzero value tests as true.
using Flag = std::int16_t;
inline constexpr Flag False = 0;
inline constexpr Flag True = -1;

// Handed to the USB layer as the event table's user data; the attach and detach handlers get it
// back. The board link that owns it is reachable through `link`.
struct AttachContextRecord {
    std::uint32_t InterfaceNum = 0;
    std::uint32_t AlternateSetting = 0;
    WDU_DEVICE_HANDLE AttachedDevice = 0;
    std::uint32_t SetInterfaceStatus = 0;
    class BoardLink* link = nullptr;
};

struct ProgramState {
    // Connection flags.
    Flag UsbOpened = False;
    Flag ManualUsbConnect = False;
    Flag CommError = False;

    // Transfer state: callers re-dimension TransferBuffer to TransferLength zero bytes before
    // each transfer.
    std::vector<std::uint8_t> TransferBuffer;
    std::int32_t TransferLength = 0;
    std::uint32_t TransferPipe = 0;
    std::uint32_t BytesTransferred = 0;
    std::int16_t OutPipeNum = 0;

    // Driver state.
    std::uint32_t LastStatus = 0;
    WDU_DRIVER_HANDLE DriverHandle = 0;
    AttachContextRecord AttachContext;
    WDU_DEVICE_HANDLE DeviceHandle = 0;
    WDU_MATCH_TABLE MatchTable{};
    WDU_EVENT_TABLE EventTable{};
    WDU_DEVICE DeviceInfo{};

    // I2C and GPIO request state.
    std::uint8_t I2CWriteAddr = 0;
    std::uint8_t I2CReadAddr = 0;
    std::int16_t ReadQty = 0;
    std::int16_t WriteQty = 0;
    // 0 port B enables, 1 port C enables, 2 port B data, 3 port C data.
    std::array<std::uint8_t, 4> GpioState{};

    // The window loaded or focused last; its hWnd goes to the driver in the GPIO-window connect.
    form::Window* ActiveWindow = nullptr;

    // Lamp colours (palette indices); ColorBlack is never assigned.
    form::PaletteIndex ColorBlack = 0;
    form::PaletteIndex ColorGreen = 0;
    form::PaletteIndex ColorLightGreen = 0;
    form::PaletteIndex ColorLightRed = 0;

    // Flips a success lamp between the light and the dark green, so that a success after a
    // success still shows as a change; any other colour turns light green.
    void toggleLamp(form::Lamp& lamp) const;

    // Re-dimensions TransferBuffer to TransferLength zero bytes (none when it is 0 or less).
    void redimTransferBuffer();
};

}  // namespace board
