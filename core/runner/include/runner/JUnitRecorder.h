// Follows a script run in a script window as the window's row observer and collects what a
// JUnit report needs: which rows ran in each pass, how their comparisons came out, how long they
// took and what they wrote to the log. It only listens: the run is the window's own.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "form/Controls.h"
#include "form/Host.h"
#include "runner/JUnitReport.h"
#include "script/frmScriptOps.h"

namespace runner {

class JUnitRecorder : public script::RowObserver {
  public:
    // Every reference must outlive the recorder; the first pass starts now. scriptTitle names
    // the report and, with the pass number, each suite.
    JUnitRecorder(const script::frmScriptOps& window, const form::TextBox& log, form::Host& host,
                  std::string scriptTitle);

    // script::RowObserver: the engine's rows as they start, compare and end.
    void rowStarted(int row) override;
    void rowCompared(int row, bool passed, const std::string& expected,
                     const std::string& actual) override;
    void rowEnded(int row) override;
    // The current pass is over: its rows become a suite and the next pass starts.
    void endPass();
    // The report so far; a pass in which something ran and that was not ended yet is ended
    // first, as is the only pass of a run that ran nothing.
    JUnitReport finish();

  private:
    using Clock = std::chrono::steady_clock;

    // What one row did in the current pass (a service row may run more than once).
    struct RowResult {
        int runs = 0;
        int comparisons = 0;
        bool failed = false;
        std::string expected;
        std::string actual;
        std::string output;
        Clock::duration time{};
    };
    // A row the window has started and not yet ended.
    struct OpenRow {
        int row = 0;
        Clock::time_point started;
        std::uint64_t logStart = 0;  // counted over all text appended since the last clear
        std::uint64_t logGeneration = 0;
    };

    void closeRow(const OpenRow& open, Clock::time_point now);
    // Where the log ends now, counted over all text appended since it was last replaced.
    std::uint64_t logPosition() const;
    bool isComparisonRow(int row) const;
    RowResult& result(int row);

    const script::frmScriptOps& window_;
    const form::TextBox& log_;
    form::Host& host_;
    std::string title_;
    JUnitReport report_;

    std::vector<RowResult> rows_;
    std::vector<OpenRow> open_;
    bool passActive_ = false;
    Clock::time_point passStarted_;
    form::LocalDateTime passTimestamp_;
};

}  // namespace runner
