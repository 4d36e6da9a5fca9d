// velmorix-i2c: detect, get, set and dump on the I2C bus behind the bridge board, from a shell.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "tools/i2c/I2cCommandLine.h"
#include "tools/i2c/I2cTool.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    int exitStatus = 0;
    auto request = tools::parseI2cCommandLine(std::vector<std::string>(argv + 1, argv + argc),
                                              std::cout, std::cerr, exitStatus);
    if (!request) {
        return exitStatus;
    }
    tools::I2cConfirm confirm;
    if (!request->yes && isatty(STDIN_FILENO) != 0) {
        confirm = [](const std::string& question) {
            std::cerr << question << " [y/N] " << std::flush;
            std::string answer;
            std::getline(std::cin, answer);
            return answer == "y" || answer == "Y" || answer == "yes";
        };
    }
    return tools::runI2cCommand(*request, std::cout, std::cerr, confirm);
}
