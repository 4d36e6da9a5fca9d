#include "regmap/FieldEditDelegate.h"

#include <QComboBox>
#include <QLineEdit>

namespace regmap {

FieldEditDelegate::FieldEditDelegate(NamesOf names, Commit commit, QObject* parent)
    : QStyledItemDelegate(parent), names_(std::move(names)), commit_(std::move(commit)) {}

QWidget* FieldEditDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                         const QModelIndex& index) const {
    const QStringList names = names_(index);
    if (names.isEmpty()) {
        return new QLineEdit(parent);
    }
    auto* list = new QComboBox(parent);
    list->setEditable(true);
    list->addItems(names);
    return list;
}

void FieldEditDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    const QString shown = index.data(Qt::EditRole).toString();
    if (auto* list = qobject_cast<QComboBox*>(editor)) {
        const QString named = index.siblingAtColumn(index.column() + 1).data().toString();
        const int at = list->findText(named);
        if (at >= 0) {
            list->setCurrentIndex(at);
        } else {
            list->setEditText(shown);
        }
    } else if (auto* box = qobject_cast<QLineEdit*>(editor)) {
        box->setText(shown);
        box->selectAll();
    }
}

void FieldEditDelegate::setModelData(QWidget* editor, QAbstractItemModel*,
                                     const QModelIndex& index) const {
    QString text;
    if (auto* list = qobject_cast<QComboBox*>(editor)) {
        text = list->currentText();
    } else if (auto* box = qobject_cast<QLineEdit*>(editor)) {
        text = box->text();
    }
    if (!text.trimmed().isEmpty()) {
        commit_(index, text.trimmed());
    }
}

}  // namespace regmap
