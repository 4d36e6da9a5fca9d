// A script of every line kind, repeated to the given number of lines, for the load benchmarks.
#pragma once

#include <string>

namespace benchscript {

inline std::string mixedScript(int lines) {
    const char* const pattern[] = {
        "10,A5,0A # set gain and read it back\r\n",
        "1020,00112233,44556677\r\n",
        "`w10 # settle\r\n",
        "`G12FE\r\n",
        ",20\r\n",
        "\r\n",
        "# a comment line\r\n",
        "`A62\r\n",
        "11,,01\r\n",
        "`G1234FFFF # all lines\r\n",
    };
    std::string text;
    for (int i = 0; i < lines; ++i) {
        text += pattern[i % 10];
    }
    return text;
}

}  // namespace benchscript
