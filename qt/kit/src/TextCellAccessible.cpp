#include "kit/TextCellAccessible.h"

#include "kit/TextCell.h"

namespace kit {

TextCellAccessible::TextCellAccessible(TextCell* cell)
    : QAccessibleWidget(cell, QAccessible::EditableText) {}

TextCell* TextCellAccessible::cell() const {
    return static_cast<TextCell*>(widget());
}

QString TextCellAccessible::text(QAccessible::Text t) const {
    QString text;
    if (t == QAccessible::Value) {
        text = cell()->text();
    }
    return text.isEmpty() ? QAccessibleWidget::text(t) : text;
}

QAccessible::State TextCellAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    if (cell()->isReadOnly()) {
        state.readOnly = true;
    } else {
        state.editable = true;
    }
    state.selectableText = true;
    return state;
}

QAccessibleInterface* TextCellAccessible::create(const QString&, QObject* object) {
    auto* cell = dynamic_cast<TextCell*>(object);
    return cell != nullptr ? new TextCellAccessible(cell) : nullptr;
}

}  // namespace kit
