#include "regmap/FieldEditDelegate.h"

#include <QComboBox>
#include <QLineEdit>

namespace regmap {

namespace {

// The text the editor opened with: leaving it unchanged sends nothing.
constexpr const char* kOpenedWith = "openedWith";

QString editorText(QWidget* editor) {
    if (auto* list = qobject_cast<QComboBox*>(editor)) {
        return list->currentText().trimmed();
    }
    if (auto* box = qobject_cast<QLineEdit*>(editor)) {
        return box->text().trimmed();
    }
    return {};
}

}  // namespace

FieldEditDelegate::FieldEditDelegate(NamesOf names, Commit commit, int enumColumn, QObject* parent)
    : QStyledItemDelegate(parent),
      names_(std::move(names)),
      commit_(std::move(commit)),
      enumColumn_(enumColumn) {}

QWidget* FieldEditDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                         const QModelIndex& index) const {
    const QStringList names = names_(index);
    if (names.isEmpty()) {
        return new QLineEdit(parent);
    }
    auto* list = new QComboBox(parent);
    list->setEditable(true);
    list->addItems(names);
    // A name picked from the list is written at once, as Enter writes a typed one.
    auto* self = const_cast<FieldEditDelegate*>(this);
    connect(list, &QComboBox::activated, self, [self, list] {
        emit self->commitData(list);
        emit self->closeEditor(list);
    });
    return list;
}

void FieldEditDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    const QString shown = index.data(Qt::EditRole).toString();
    if (auto* list = qobject_cast<QComboBox*>(editor)) {
        const QString named = index.siblingAtColumn(enumColumn_).data().toString();
        const int at = named.isEmpty() ? -1 : list->findText(named);
        list->setCurrentIndex(at);
        if (at < 0) {
            list->setEditText(shown);
        }
    } else if (auto* box = qobject_cast<QLineEdit*>(editor)) {
        box->setText(shown);
        box->selectAll();
    }
    editor->setProperty(kOpenedWith, editorText(editor));
}

void FieldEditDelegate::setModelData(QWidget* editor, QAbstractItemModel*,
                                     const QModelIndex& index) const {
    const QString text = editorText(editor);
    // An editor left without a change (a click elsewhere, focus moving on) writes nothing.
    if (!text.isEmpty() && text != editor->property(kOpenedWith).toString()) {
        commit_(index, text);
    }
}

}  // namespace regmap
