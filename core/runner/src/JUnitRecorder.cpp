#include "runner/JUnitRecorder.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>

namespace runner {

namespace {

constexpr int kLine = static_cast<int>(script::Column::Line);
constexpr int kOperation = static_cast<int>(script::Column::Operation);
constexpr int kComment = static_cast<int>(script::Column::Comment);

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::int16_t tableValue(const std::vector<std::int16_t>& table, int row) {
    return row >= 0 && static_cast<std::size_t>(row) < table.size()
               ? table[static_cast<std::size_t>(row)]
               : std::int16_t{0};
}

double secondsOf(std::chrono::steady_clock::duration time) {
    return std::chrono::duration<double>(time).count();
}

}  // namespace

JUnitRecorder::JUnitRecorder(const script::frmScriptOps& window, const form::TextBox& log,
                             form::Host& host, std::string scriptTitle)
    : window_(window), log_(log), host_(host), title_(std::move(scriptTitle)) {
    report_.name = title_;
    passStarted_ = Clock::now();
    passTimestamp_ = host_.now();
}

void JUnitRecorder::rowStarted(int row) {
    open_.push_back({row, Clock::now(), logPosition(), log_.textGeneration()});
    ++result(row).runs;
    passActive_ = true;
}

void JUnitRecorder::rowCompared(int row, bool passed, const std::string& expected,
                                const std::string& actual) {
    RowResult& done = result(row);
    ++done.comparisons;
    passActive_ = true;
    // A row that ran more than once fails with its first failure's data.
    if (done.failed) {
        return;
    }
    done.failed = !passed;
    done.expected = expected;
    done.actual = actual;
}

void JUnitRecorder::rowEnded(int row) {
    // The innermost open run of that row: a service row runs nested in the row that detected
    // the interrupt.
    const auto open = std::find_if(open_.rbegin(), open_.rend(),
                                   [row](const OpenRow& o) { return o.row == row; });
    if (open == open_.rend()) {
        return;
    }
    closeRow(*open, Clock::now());
    open_.erase(std::next(open).base());
}

void JUnitRecorder::endPass() {
    const Clock::time_point now = Clock::now();
    // Rows still open when the pass ends (the run stopped inside them) end with it.
    for (const OpenRow& open : open_) {
        closeRow(open, now);
    }
    open_.clear();

    JUnitReport::Suite suite;
    suite.name = title_ + " pass " + std::to_string(report_.suites.size() + 1);
    suite.started = passTimestamp_;
    suite.seconds = secondsOf(now - passStarted_);
    const script::ScriptGrid& grid = window_.vbalGrid1;
    for (int row = 1; row <= window_.TotalLines; ++row) {
        if (!isComparisonRow(row)) {
            continue;
        }
        JUnitReport::Case c;
        c.name =
            "Line " + grid.CellText(row, kLine) + ": " + trimmed(grid.CellText(row, kOperation));
        const std::string& comment = grid.CellText(row, kComment);
        if (!comment.empty()) {
            c.name += " " + comment;
        }
        const RowResult done = static_cast<std::size_t>(row) < rows_.size()
                                   ? rows_[static_cast<std::size_t>(row)]
                                   : RowResult{};
        if (done.comparisons > 0) {
            c.outcome = done.failed ? JUnitReport::Outcome::Failed : JUnitReport::Outcome::Passed;
            c.expected = done.expected;
            c.actual = done.actual;
            // The window fails a row whose reply came back short even when the bytes it shows
            // happen to match.
            if (done.failed && c.actual == c.expected) {
                c.actual += " (no complete reply)";
            } else if (done.failed && c.actual.empty()) {
                c.actual = "nothing";
            }
        } else {
            c.outcome = JUnitReport::Outcome::Skipped;
            c.skipReason = done.runs > 0 ? "ran without a comparison" : "not run in this pass";
        }
        c.output = done.output;
        c.seconds = secondsOf(done.time);
        suite.cases.push_back(std::move(c));
    }
    report_.suites.push_back(std::move(suite));

    rows_.clear();
    passActive_ = false;
    passStarted_ = now;
    passTimestamp_ = host_.now();
}

JUnitReport JUnitRecorder::finish() {
    if (passActive_ || report_.suites.empty()) {
        endPass();
    }
    return report_;
}

void JUnitRecorder::closeRow(const OpenRow& open, Clock::time_point now) {
    RowResult& done = result(open.row);
    done.time += now - open.started;
    // Positions count everything ever appended, so old entries the log dropped meanwhile do not
    // shift the row's start; should the log have been cleared, all of it is the row's.
    const std::string& text = log_.Text();
    std::size_t start = 0;
    if (open.logGeneration == log_.textGeneration()) {
        const std::uint64_t dropped = log_.droppedBytes();
        start = open.logStart >= dropped
                    ? log_.noticeSize() + static_cast<std::size_t>(open.logStart - dropped)
                    : log_.noticeSize();
    }
    done.output += text.substr(std::min(start, text.size()));
}

std::uint64_t JUnitRecorder::logPosition() const {
    return log_.droppedBytes() + (log_.Text().size() - log_.noticeSize());
}

bool JUnitRecorder::isComparisonRow(int row) const {
    return tableValue(window_.RowReadCount, row) > 0 && tableValue(window_.RowDelay, row) == 0;
}

JUnitRecorder::RowResult& JUnitRecorder::result(int row) {
    if (static_cast<std::size_t>(row) >= rows_.size()) {
        rows_.resize(static_cast<std::size_t>(row) + 1);
    }
    return rows_[static_cast<std::size_t>(row)];
}

}  // namespace runner
