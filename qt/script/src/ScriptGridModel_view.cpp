#include "script/ScriptGridModel_view.h"

#include <utility>

namespace script {

ScriptGridModel::ScriptGridModel(const ScriptGrid& grid, QColor buttonFace, QColor windowBackground,
                                 QObject* parent)
    : QAbstractTableModel(parent),
      grid_(grid),
      buttonFace_(std::move(buttonFace)),
      windowBackground_(std::move(windowBackground)) {
    sync();
}

int ScriptGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int ScriptGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_;
}

QColor ScriptGridModel::colourOf(CellColor colour) const {
    switch (colour) {
        case CellColor::Red:
            return {255, 0, 0};
        case CellColor::Green:
            return {0, 255, 0};
        case CellColor::ButtonFace:
            return buttonFace_;
        case CellColor::WindowBackground:
            return windowBackground_;
        case CellColor::Default:
            break;
    }
    return {};
}

QVariant ScriptGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    // Rows and columns of the grid count from 1; a cell outside the grid reads empty.
    const GridCell& cell = grid_.cell(index.row() + 1, index.column() + 1);
    switch (role) {
        case Qt::ToolTipRole:
            if (!cell.tip.empty()) {
                return QString::fromStdString(cell.tip);
            }
            [[fallthrough]];
        case Qt::DisplayRole:
            if (cell.text.empty()) {
                return {};
            }
            return QString::fromStdString(cell.text);
        case Qt::BackgroundRole: {
            const QColor colour = colourOf(cell.background);
            return colour.isValid() ? QVariant(colour) : QVariant();
        }
        case Qt::ForegroundRole:
            // Red and green cells keep black text whatever the palette's text colour is.
            if (cell.background == CellColor::Red || cell.background == CellColor::Green) {
                return QColor(Qt::black);
            }
            return {};
        case Qt::TextAlignmentRole:
            // The data columns centre their short hex texts; "Comment" reads from the left.
            return grid_.ColumnCode(index.column() + 1) == 0
                       ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                       : QVariant(Qt::AlignCenter);
        default:
            return {};
    }
}

QVariant ScriptGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= columns_) {
            return {};
        }
        return QString::fromStdString(headers_[static_cast<std::size_t>(section)]);
    }
    return section + 1;
}

bool ScriptGridModel::sync() {
    if (grid_.revision() == revision_) {
        return false;
    }
    revision_ = grid_.revision();
    const int rows = grid_.Rows();
    const int columns = grid_.Columns();
    if (rows != rows_ || columns != columns_) {
        // A load replaces every row at once; so does the table.
        beginResetModel();
        rows_ = rows;
        columns_ = columns;
        for (int c = 0; c < kColumnCount; ++c) {
            headers_[static_cast<std::size_t>(c)] = c < columns ? grid_.ColumnHeader(c + 1) : "";
        }
        endResetModel();
        return true;
    }
    bool headersChanged = false;
    for (int c = 0; c < columns_; ++c) {
        auto& header = headers_[static_cast<std::size_t>(c)];
        if (header != grid_.ColumnHeader(c + 1)) {
            header = grid_.ColumnHeader(c + 1);
            headersChanged = true;
        }
    }
    if (headersChanged) {
        emit headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
    }
    if (rows_ > 0 && columns_ > 0) {
        // One range for the whole grid: the table repaints what it shows, in one pass.
        emit dataChanged(index(0, 0), index(rows_ - 1, columns_ - 1));
    }
    return true;
}

}  // namespace script
