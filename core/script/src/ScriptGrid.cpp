#include "script/ScriptGrid.h"

#include <algorithm>
#include <utility>

namespace script {

namespace {

const GridCell kNoCell{};
const std::string kNoText;

}  // namespace

void ScriptGrid::setRows(int count) {
    if (count < 0) {
        count = 0;
    }
    rows_.resize(static_cast<std::size_t>(count));
    if (selectedRow_ > count) {
        selectedRow_ = 0;
    }
    ++revision_;
}

void ScriptGrid::replaceRows(std::vector<RowCells> rows) {
    rows_.clear();
    rows_.reserve(rows.size());
    for (auto& cells : rows) {
        rows_.push_back(Row{std::move(cells), 0});
    }
    selectedRow_ = 0;
    ++revision_;
}

int ScriptGrid::RowValue(int row) const {
    return row >= 1 && row <= Rows() ? rows_[static_cast<std::size_t>(row - 1)].value : 0;
}

void ScriptGrid::setRowValue(int row, int value) {
    if (row >= 1 && row <= Rows()) {
        rows_[static_cast<std::size_t>(row - 1)].value = value;
        ++revision_;
    }
}

bool ScriptGrid::validCell(int row, int column) const {
    return row >= 1 && row <= Rows() && column >= 1 && column <= kColumnCount;
}

const GridCell& ScriptGrid::cell(int row, int column) const {
    if (!validCell(row, column)) {
        return kNoCell;
    }
    return rows_[static_cast<std::size_t>(row - 1)].cells[static_cast<std::size_t>(column - 1)];
}

void ScriptGrid::setCellText(int row, int column, std::string text) {
    if (validCell(row, column)) {
        rows_[static_cast<std::size_t>(row - 1)].cells[static_cast<std::size_t>(column - 1)].text =
            std::move(text);
        ++revision_;
    }
}

void ScriptGrid::appendCellText(int row, int column, std::string_view more) {
    if (validCell(row, column)) {
        rows_[static_cast<std::size_t>(row - 1)].cells[static_cast<std::size_t>(column - 1)].text +=
            more;
        ++revision_;
    }
}

void ScriptGrid::setCellBackColor(int row, int column, CellColor color) {
    if (validCell(row, column)) {
        rows_[static_cast<std::size_t>(row - 1)]
            .cells[static_cast<std::size_t>(column - 1)]
            .background = color;
        ++revision_;
    }
}

void ScriptGrid::setCellCode(int row, int column, int code) {
    if (validCell(row, column)) {
        rows_[static_cast<std::size_t>(row - 1)].cells[static_cast<std::size_t>(column - 1)].code =
            code;
        ++revision_;
    }
}

void ScriptGrid::setSelectedRow(int row) {
    selectedRow_ = row >= 1 && row <= Rows() ? row : 0;
    ++revision_;
}

void ScriptGrid::moveSelection(GridMove move, int pageRows) {
    if (Rows() == 0) {
        return;
    }
    const int page = std::max(1, pageRows);
    const int from = selectedRow_;
    int to = from;
    switch (move) {
        case GridMove::Up:
            to = from - 1;
            break;
        case GridMove::Down:
            to = from + 1;
            break;
        case GridMove::PageUp:
            to = from - page;
            break;
        case GridMove::PageDown:
            to = from + page;
            break;
        case GridMove::Home:
            to = 1;
            break;
        case GridMove::End:
            to = Rows();
            break;
    }
    setSelectedRow(std::clamp(to, 1, Rows()));
}

void ScriptGrid::addColumn(std::string key) {
    if (columnCount_ < kColumnCount) {
        columns_[static_cast<std::size_t>(columnCount_)] = ColumnInfo{std::move(key), {}, 64, 0};
        ++columnCount_;
        ++revision_;
    }
}

const std::string& ScriptGrid::ColumnKey(int column) const {
    return validColumn(column) ? columns_[static_cast<std::size_t>(column - 1)].key : kNoText;
}

const std::string& ScriptGrid::ColumnHeader(int column) const {
    return validColumn(column) ? columns_[static_cast<std::size_t>(column - 1)].header : kNoText;
}

void ScriptGrid::setColumnHeader(int column, std::string text) {
    if (validColumn(column)) {
        columns_[static_cast<std::size_t>(column - 1)].header = std::move(text);
        ++revision_;
    }
}

int ScriptGrid::ColumnWidth(int column) const {
    return validColumn(column) ? columns_[static_cast<std::size_t>(column - 1)].width : 0;
}

void ScriptGrid::setColumnWidth(int column, int pixels) {
    if (validColumn(column)) {
        columns_[static_cast<std::size_t>(column - 1)].width = pixels;
        ++revision_;
    }
}

int ScriptGrid::ColumnCode(int column) const {
    return validColumn(column) ? columns_[static_cast<std::size_t>(column - 1)].code : 0;
}

void ScriptGrid::setColumnCode(int column, int code) {
    if (validColumn(column)) {
        columns_[static_cast<std::size_t>(column - 1)].code = code;
        ++revision_;
    }
}

}  // namespace script
