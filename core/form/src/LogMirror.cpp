#include "form/LogMirror.h"

namespace form {

std::optional<LogMirror::Change> LogMirror::update(const TextBox& box, bool mirrorsDrops) {
    const std::size_t size = box.Text().size();
    const std::size_t notice = box.noticeSize();
    const std::uint64_t dropped = box.droppedBytes();
    const std::uint64_t end = dropped + (size - notice);
    if (generation_ == box.textGeneration() && dropped_ == dropped && end_ == end) {
        return std::nullopt;
    }
    Change change;
    const bool dropsMirrored = mirrorsDrops ? dropped <= end_ : dropped == dropped_;
    change.whole = generation_ != box.textGeneration() || !dropsMirrored || end < end_;
    if (!change.whole) {
        change.hadNotice = notice_;
        change.dropLines = box.droppedLines() - droppedLines_;
        change.addNotice = !notice_ && notice > 0;
        change.appendFrom = notice + static_cast<std::size_t>(end_ - dropped);
    }
    generation_ = box.textGeneration();
    dropped_ = dropped;
    droppedLines_ = box.droppedLines();
    end_ = end;
    notice_ = notice > 0;
    return change;
}

}  // namespace form
