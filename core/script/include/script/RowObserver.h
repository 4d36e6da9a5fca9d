// Hears what a script window's engine does with each row, for reports such as a JUnit file. The
// engine calls it on its own thread at the moments named; rows nest when the interrupt service
// runs inside the row that detected it.
#pragma once

#include <string>

namespace script {

class RowObserver {
  public:
    virtual ~RowObserver() = default;
    // Row `row` starts executing.
    virtual void rowStarted(int row) = 0;
    // The row compared its data and was counted as passed or failed; expected and actual are
    // the Data_Rd and Act_Rd texts (a failed read may show the same text in both).
    virtual void rowCompared(int row, bool passed, const std::string& expected,
                             const std::string& actual) = 0;
    // The row has ended, normally or by a run-time error.
    virtual void rowEnded(int row) = 0;
};

}  // namespace script
