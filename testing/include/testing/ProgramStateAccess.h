// The whole program state of a board link, for tests and benchmarks that set up or check what no
// window may touch. Never used by a program.
#pragma once

#include "board/BoardLink.h"

namespace board {

struct ProgramStateAccess {
    static ProgramState& of(BoardLink& link) { return link.s; }
};

}  // namespace board
