// What a screen reader finds in a TextCell that has no editor yet: an editable text whose value is
// the cell's text and that is read-only when the cell is, as its QLineEdit will be.
#pragma once

#include <QAccessibleWidget>

namespace kit {

class TextCell;

class TextCellAccessible : public QAccessibleWidget {
  public:
    explicit TextCellAccessible(TextCell* cell);

    // The cell's text as the value; the rest as for any widget.
    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;

    // Qt's factory hook: the interface of a TextCell, none for other objects.
    static QAccessibleInterface* create(const QString& key, QObject* object);

  private:
    TextCell* cell() const;
};

}  // namespace kit
