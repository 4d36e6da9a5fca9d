// Texts of the statuses of a Linux I2C adapter bridge; each names the adapter's node.
#pragma once

#include <cstdint>
#include <string>

namespace wdu {

// Remembers the node the texts name (the adapter chosen last).
void rememberI2cDevNode(const std::string& node);
// The text of an i2cdev status, valid for the rest of the run; nullptr for any other status.
const char* i2cdevStatusText(std::uint32_t status);

}  // namespace wdu
