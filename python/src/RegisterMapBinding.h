// The register maps of core/regmap for Python: RegisterMap.load, its registers and fields, and
// RegisterDevice, which reads registers with their fields decoded and writes fields by name as
// velmorix-i2c set does. Holds no parsing or masking of its own: the readers and MaskedWrite do it.
#pragma once

#include <pybind11/pybind11.h>

#include <functional>

#include "BridgeSession.h"

namespace pyvelmorix {

// Runs fn on the session of a bridge object (velmorix.Bridge or velmorix.SMBus) without the GIL,
// writing its packet trace; throws TypeError for any other object and TransferError when closed.
using SessionCall =
    std::function<void(const pybind11::handle& bridge, const std::function<void(BridgeSession&)>&)>;

// What the register maps need of the module's bridges: the call above and the module's check of a
// 7-bit address (ValueError when out of range).
struct BridgeAccess {
    SessionCall call;
    std::function<int(long)> checkAddress;
};

// Adds RegisterMap, Register, Field, RegisterValue, FieldValue and RegisterDevice to the module.
void addRegisterMaps(pybind11::module_& m, BridgeAccess access);

}  // namespace pyvelmorix
