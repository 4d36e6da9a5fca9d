// How much a text box that keeps a running record (the program log) may hold: its newest
// appends within a byte and a line budget, whichever is reached first.
#pragma once

#include <cstddef>
#include <string>

namespace form {

struct TextBudget {
    // Bytes and lines ('\n') of the appends kept; the notice is not counted.
    std::size_t maxBytes = 0;
    std::size_t maxLines = 0;
    // The line put at the top, ahead of what is kept, once older appends were dropped.
    std::string notice;
};

}  // namespace form
