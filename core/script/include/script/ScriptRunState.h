// The run state that every script window shares: one script run at a time, whichever window
// runs it. The application owns one instance and hands it to each window it creates; it
// outlives them all. The section rows of a script belong to the window that loaded it.
#pragma once

#include <cstdint>

#include "board/ProgramState.h"

namespace script {

struct ScriptRunState {
    // True (-1) asks the running loops to stop after the current row; cleared when Run All
    // Steps or Loop Cont starts. "Abort" in any window sets it.
    board::Flag AbortRequested = board::False;
    // The user asked the run to stop ("Abort", or Cancel at a key-press pause), so the run ends
    // showing "Aborted" rather than "Done"; cleared with AbortRequested.
    bool AbortedByUser = false;
    // The window whose Run All Steps or Loop Cont is going (nullptr: none); no other window
    // starts a run or a row meanwhile.
    const void* RunningWindow = nullptr;
    // The row Run All Steps is executing; the interrupt sampler sets it back to the row at
    // which an interrupt was seen.
    std::int16_t CurrentRow = 0;
    // The service row being executed.
    std::int16_t IntServiceRow = 0;
    // The fail count before the row being executed, and after its last failed comparison.
    double FailsBefore = 0;
    double FailsAfter = 0;
    // True while a service section runs: an interrupt seen inside it is recorded but not
    // serviced again, so a line that stays asserted cannot nest services without end.
    bool IntServiceActive = false;
};

}  // namespace script
