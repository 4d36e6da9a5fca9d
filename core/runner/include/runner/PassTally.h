// The per-pass tally of a script run: follows the script window as a row observer, keeps every
// comparing row of the current pass with its texts, and closes a pass with the counts the window
// showed for it. It only listens: the run is the window's own.
#pragma once

#include <string>
#include <vector>

#include "script/RowObserver.h"
#include "script/ScriptGrid.h"

namespace runner {

// One row that compared data in a pass.
struct ComparedRow {
    int line = 0;  // the script line, as the grid's Line column shows it
    std::string operation;
    std::string comment;
    std::string expected;  // Data_Rd
    std::string actual;    // Act_Rd
    bool passed = false;
};

// One pass: the window's pass and fail counts and its comparing rows in the order they ran.
struct PassResult {
    int passed = 0;
    int failed = 0;
    std::vector<ComparedRow> rows;
};

class PassTally : public script::RowObserver {
  public:
    // grid must outlive the tally; next (may be null) hears every row after it.
    PassTally(const script::ScriptGrid& grid, script::RowObserver* next);

    // script::RowObserver: a comparing row is kept in the current pass.
    void rowStarted(int row) override;
    void rowCompared(int row, bool passed, const std::string& expected,
                     const std::string& actual) override;
    void rowEnded(int row) override;
    // The current pass is over; the window's counts add up over the passes of a loop, so they
    // are given as totals so far and the pass keeps its share. The next pass starts.
    void endPass(int passedSoFar, int failedSoFar);

    const std::vector<PassResult>& passes() const { return passes_; }
    // Sums over the passes ended so far.
    int passed() const;
    int failed() const;

  private:
    const script::ScriptGrid& grid_;
    script::RowObserver* next_;
    std::vector<ComparedRow> current_;
    std::vector<PassResult> passes_;
};

}  // namespace runner
