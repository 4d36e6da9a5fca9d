// Edits a field's value in the register-map tree: a list of the field's enumerated names (which
// also takes a number typed in; a name picked is written at once) or a plain box for a number.
// The text chosen goes to the window's handler only when it differs from the one the editor
// opened with; the tree's own item is not written, the next paint shows the value read back.
#pragma once

#include <QStyledItemDelegate>
#include <functional>

namespace regmap {

class FieldEditDelegate : public QStyledItemDelegate {
  public:
    // The enumerated names of the field at an index (empty for none).
    using NamesOf = std::function<QStringList(const QModelIndex&)>;
    // Runs the edit: the index edited and the text given.
    using Commit = std::function<void(const QModelIndex&, const QString&)>;

    // enumColumn: the tree's column that shows a field's enumerated name.
    FieldEditDelegate(NamesOf names, Commit commit, int enumColumn, QObject* parent);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

  private:
    NamesOf names_;
    Commit commit_;
    int enumColumn_;
};

}  // namespace regmap
