// Runs one velmorix-i2c command (detect, get, set, dump) on the bridge board it names.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "tools/i2c/I2cRequest.h"

namespace tools {

// Asked before set writes; true goes on. Empty = no question.
using I2cConfirm = std::function<bool(const std::string& question)>;

// Runs the request: results on out (text or one JSON object), errors as one line on err, and
// returns the exit status (I2cExit). Nothing is thrown.
int runI2cCommand(const I2cRequest& request, std::ostream& out, std::ostream& err,
                  const I2cConfirm& confirm);

}  // namespace tools
