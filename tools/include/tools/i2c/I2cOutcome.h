// What one velmorix-i2c command gives: the text or JSON object for stdout, and its failure.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tools/i2c/I2cRequest.h"

namespace tools {

struct I2cOutcome {
    nlohmann::json object;
    // Several objects, one a line, printed instead of `object` when there are any.
    std::vector<nlohmann::json> objects;
    std::string text;
    std::string error;  // one line, without the program's name
    int status = kI2cOk;

    void fail(int exitStatus, const std::string& why) {
        status = exitStatus;
        error = why;
    }
};

}  // namespace tools
