#include "tools/BoardWatch.h"

#include "script/ScriptRow.h"

namespace tools {

BoardWatch::BoardWatch(const board::BoardLink& link, const script::ScriptGrid& grid,
                       script::RowObserver* next)
    : link_(link), grid_(grid), next_(next) {}

void BoardWatch::rowStarted(int row) {
    if (next_ != nullptr) {
        next_->rowStarted(row);
    }
}

void BoardWatch::rowCompared(int row, bool passed, const std::string& expected,
                             const std::string& actual) {
    if (next_ != nullptr) {
        next_->rowCompared(row, passed, expected, actual);
    }
}

void BoardWatch::rowEnded(int row) {
    check(row);
    if (next_ != nullptr) {
        next_->rowEnded(row);
    }
}

void BoardWatch::check(int row) {
    if (fault_) {
        return;
    }
    // Asked of the layer, not of the link's flags: the detach of a board that left during the
    // row may not have been delivered yet.
    const WDU_DEVICE_HANDLE attached = link_.attachedDevice();
    WDU_DEVICE info{};
    const bool reachable = attached != 0 && WDU_GetDeviceInfo(attached, &info) == WD_STATUS_SUCCESS;
    // A new registration (a connect between passes) brings a new handle for the same board;
    // within one registration a new handle means the board left and came back.
    if (reachable &&
        (reached_ == 0 || reached_ == attached || registration_ != link_.driverHandle())) {
        reached_ = attached;
        registration_ = link_.driverHandle();
        return;
    }
    const std::string line = "Line " + grid_.CellText(row, static_cast<int>(script::Column::Line));
    fault_ = line + (reached_ != 0 ? ": board left" : ": no board");
}

void BoardWatch::runEnded() {
    // The last transfer (or the connect, when no row ran) found no board.
    if (!fault_ && !link_.deviceOpen()) {
        fault_ = reached_ != 0 ? "board left" : "no board";
    }
}

const std::string& BoardWatch::fault() const {
    static const std::string none;
    return fault_ ? *fault_ : none;
}

}  // namespace tools
