#include "board/ProgramState.h"

namespace board {

void ProgramState::redimTransferBuffer() {
    TransferBuffer.assign(TransferLength > 0 ? static_cast<std::size_t>(TransferLength) : 0, 0);
}

void ProgramState::toggleLamp(form::Lamp& lamp) const {
    lamp.FillColor = form::paletteRgb(lamp.FillColor) == form::paletteRgb(ColorLightGreen)
                         ? ColorGreen
                         : ColorLightGreen;
}

}  // namespace board
