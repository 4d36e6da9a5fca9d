#include "runner/PassTally.h"

#include <cstdlib>

#include "script/ScriptRow.h"

namespace runner {

PassTally::PassTally(const script::ScriptGrid& grid, script::RowObserver* next)
    : grid_(grid), next_(next) {}

void PassTally::rowStarted(int row) {
    if (next_ != nullptr) {
        next_->rowStarted(row);
    }
}

void PassTally::rowCompared(int row, bool passed, const std::string& expected,
                            const std::string& actual) {
    auto cell = [&](script::Column column) -> const std::string& {
        return grid_.CellText(row, static_cast<int>(column));
    };
    current_.push_back({std::atoi(cell(script::Column::Line).c_str()),
                        cell(script::Column::Operation), cell(script::Column::Comment), expected,
                        actual, passed});
    if (next_ != nullptr) {
        next_->rowCompared(row, passed, expected, actual);
    }
}

void PassTally::rowEnded(int row) {
    if (next_ != nullptr) {
        next_->rowEnded(row);
    }
}

void PassTally::endPass(int passedSoFar, int failedSoFar) {
    passes_.push_back({passedSoFar - passed(), failedSoFar - failed(), std::move(current_)});
    current_.clear();
}

int PassTally::passed() const {
    int sum = 0;
    for (const PassResult& pass : passes_) {
        sum += pass.passed;
    }
    return sum;
}

int PassTally::failed() const {
    int sum = 0;
    for (const PassResult& pass : passes_) {
        sum += pass.failed;
    }
    return sum;
}

}  // namespace runner
