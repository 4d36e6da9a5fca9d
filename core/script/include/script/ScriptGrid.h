// The script window's grid as a model: rows of eight text cells with a background colour and a
// cell code each, the selected row, and per-column header, width and code. Rows and columns are
// numbered from 1 as the grid numbers them. Reading outside the grid gives an empty cell and
// writing outside it does nothing, so a bad row number never crashes a run.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "form/Controls.h"
#include "script/ScriptRow.h"

namespace script {

// A key that walks the grid's rows: it moves the selection and runs nothing.
enum class GridMove { Up, Down, PageUp, PageDown, Home, End };

class ScriptGrid : public form::Control {
  public:
    using RowCells = std::array<GridCell, kColumnCount>;

    // ---- Rows ---------------------------------------------------------------------------------
    int Rows() const { return static_cast<int>(rows_.size()); }
    // Grows with empty rows or drops rows from the end; the selected row is cleared when it
    // falls off.
    void setRows(int count);
    // Replaces every row at once (a script load); the selected row is cleared.
    void replaceRows(std::vector<RowCells> rows);
    // The per-row value (set to 15 for the design rows at window load).
    int RowValue(int row) const;
    void setRowValue(int row, int value);

    // ---- Cells ----------------------------------------------------------------------------------
    const GridCell& cell(int row, int column) const;
    const std::string& CellText(int row, int column) const { return cell(row, column).text; }
    void setCellText(int row, int column, std::string text);
    // Appends to a cell's text.
    void appendCellText(int row, int column, std::string_view more);
    CellColor CellBackColor(int row, int column) const { return cell(row, column).background; }
    void setCellBackColor(int row, int column, CellColor color);
    int CellCode(int row, int column) const { return cell(row, column).code; }
    void setCellCode(int row, int column, int code);

    // ---- Selection ------------------------------------------------------------------------------
    // 0 when no row is selected.
    int SelectedRow() const { return selectedRow_; }
    // Selects a row; a number outside the grid clears the selection.
    void setSelectedRow(int row);
    // Moves the selection as the key does, `pageRows` rows for a page key, and keeps it within
    // the grid; without a selection Up and Down start at the first row. Nothing in an empty grid.
    void moveSelection(GridMove move, int pageRows);

    // ---- Columns --------------------------------------------------------------------------------
    int Columns() const { return columnCount_; }
    // Adds a column at the end (at most eight); the key is the column's name ("1" to "8").
    void addColumn(std::string key);
    const std::string& ColumnKey(int column) const;
    const std::string& ColumnHeader(int column) const;
    void setColumnHeader(int column, std::string text);
    // Width in pixels.
    int ColumnWidth(int column) const;
    void setColumnWidth(int column, int pixels);
    // The per-column setting: 2 for the seven data columns, 0 for "Comment".
    int ColumnCode(int column) const;
    void setColumnCode(int column, int code);

    // ---- Geometry and drawing -------------------------------------------------------------------
    // Position and size in twips; the window moves and sizes the grid when it is resized.
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    // Drawing is off while the window sets the columns up.
    bool Redraw = true;

    // Changes at every change of rows, cells, selection or columns, so a view can tell when to
    // render again.
    std::uint64_t revision() const { return revision_; }

  private:
    struct ColumnInfo {
        std::string key;
        std::string header;
        int width = 64;
        int code = 0;
    };
    struct Row {
        RowCells cells;
        int value = 0;
    };

    bool validCell(int row, int column) const;
    bool validColumn(int column) const { return column >= 1 && column <= columnCount_; }

    std::vector<Row> rows_;
    std::array<ColumnInfo, kColumnCount> columns_;
    int columnCount_ = 0;
    int selectedRow_ = 0;
    std::uint64_t revision_ = 0;
};

}  // namespace script
