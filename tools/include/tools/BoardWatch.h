// Follows a script run as the script window's row observer and notes the first row at whose end
// the bridge board could not be reached: missing from the start ("no board") or gone since it
// was reached ("board left", also when it came back as a new attachment). It tells a bench fault
// from a device that answers wrongly. Every row is passed on to the observer behind it, if any.
#pragma once

#include <optional>
#include <string>

#include "board/BoardLink.h"
#include "script/RowObserver.h"
#include "script/ScriptGrid.h"
#include "wd_utils.h"

namespace tools {

class BoardWatch : public script::RowObserver {
  public:
    // link and grid must outlive the watch; next (may be null) hears every row after it.
    BoardWatch(const board::BoardLink& link, const script::ScriptGrid& grid,
               script::RowObserver* next);

    // script::RowObserver: the board is checked at the end of every row.
    void rowStarted(int row) override;
    void rowCompared(int row, bool passed, const std::string& expected,
                     const std::string& actual) override;
    void rowEnded(int row) override;

    // After the run: a run whose last transfer (or connect, when no row ran) found no board
    // counts as one without a board, as no row may have noticed.
    void runEnded();
    // True once the board was found missing.
    bool missed() const { return fault_.has_value(); }
    // True once a row reached the board: a fault after that is a board that left.
    bool reached() const { return reached_ != 0; }
    // When and how: "Line 003: board left", "Line 001: no board", or, found only after the run,
    // "board left" or "no board".
    const std::string& fault() const;

  private:
    void check(int row);

    const board::BoardLink& link_;
    const script::ScriptGrid& grid_;
    script::RowObserver* next_;
    WDU_DEVICE_HANDLE reached_ = 0;       // the attachment the rows reached, 0 before the first
    WDU_DRIVER_HANDLE registration_ = 0;  // the registration it was reached through
    std::optional<std::string> fault_;
};

}  // namespace tools
