// The "Operation" cell texts: the loader writes them and the engine dispatches on them, so both
// take them from this one table. A kind named wrongly fails to compile; a text written wrongly
// fails the loader's tests, which pin every text.
#pragma once

#include <algorithm>
#include <array>
#include <string_view>

#include "script/ScriptRow.h"

namespace script {

struct OperationName {
    RowKind kind;
    std::string_view text;
};

// Every kind whose "Operation" text is fixed. A blank line shows "NOP" as well; a data row, a
// delay and a GPIO row build theirs from the line's values.
inline constexpr std::array kOperationNames{
    OperationName{RowKind::Nop, "NOP"},
    OperationName{RowKind::SetAddress, "Cmd:Set I2C Adr"},
    OperationName{RowKind::KeyPause, "Cmd: Delay Keypress"},
    OperationName{RowKind::SaveFile, "Cmd: Save File"},
    OperationName{RowKind::IntEnable, "Cmd: Int Enable"},
    OperationName{RowKind::IntDisable, "Cmd: Int Disable"},
    OperationName{RowKind::EndMain, "Cmd: End Main"},
    OperationName{RowKind::IntStart, "Cmd: Int Start"},
    OperationName{RowKind::IntEnd, "Cmd: Int End"},
    OperationName{RowKind::OtherCommand, "Cmd:"},
    OperationName{RowKind::DataError, "Error Byte_Count"},
    OperationName{RowKind::AddressError, "Error I2C_Adr"},
    OperationName{RowKind::DelayError, "Error Delay_Time"},
};

// The fixed "Operation" text of kind; a kind without one fails to compile.
consteval std::string_view operationText(RowKind kind) {
    for (const OperationName& name : kOperationNames) {
        if (name.kind == kind) {
            return name.text;
        }
    }
    throw "this kind has no fixed operation text";
}

// The start of a GPIO row's "Operation" text; its digits follow.
inline constexpr std::string_view kGpioOperationPrefix = "Cmd: GPIO:";
// The "I2C Adr" text of a GPIO row, which the engine sends to the GPIO port, not to a device.
inline constexpr std::string_view kGpioAddressText = "GPIO";

static_assert(
    [] {
        for (std::size_t i = 0; i < kOperationNames.size(); ++i) {
            for (std::size_t j = i + 1; j < kOperationNames.size(); ++j) {
                if (kOperationNames[i].text == kOperationNames[j].text ||
                    kOperationNames[i].kind == kOperationNames[j].kind) {
                    return false;
                }
            }
        }
        return true;
    }(),
    "two kinds must never share an operation text, nor one kind have two");

}  // namespace script
