// The script grid as a Qt table model: the cells, backgrounds and column headers of a
// ScriptGrid. It reads the grid at paint time and tells the table what changed only when the
// grid's revision moved, so a run that edits cells costs one repaint per render, whatever the
// number of rows.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <array>
#include <cstdint>
#include <string>

#include "script/ScriptGrid.h"

namespace script {

class ScriptGridModel : public QAbstractTableModel {
  public:
    // `buttonFace` and `windowBackground` are the platform colours the two system cell
    // backgrounds stand for.
    ScriptGridModel(const ScriptGrid& grid, QColor buttonFace, QColor windowBackground,
                    QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Tells the attached views what changed since the last call; false when the grid did not
    // change. Never fails.
    bool sync();

    // The colour a cell background stands for; invalid for CellColor::Default.
    QColor colourOf(CellColor colour) const;

  private:
    const ScriptGrid& grid_;
    QColor buttonFace_;
    QColor windowBackground_;
    int rows_ = 0;
    int columns_ = 0;
    std::uint64_t revision_ = ~std::uint64_t{0};
    std::array<std::string, kColumnCount> headers_;
};

}  // namespace script
