// A single-line text box that costs little more than a painted rectangle until it is used: it
// paints itself through a shared, never shown QLineEdit (the look), and makes a QLineEdit of its
// own (the editor, covering it exactly) the first time it takes the focus or an input event, or
// gets a text too long to show whole; from then on the editor is the box. A grid of a hundred
// boxes builds and shows in a fraction of the time its QLineEdits would take, and looks the same.
#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace kit {

class TextCell : public QWidget {
  public:
    // `look` paints the cell while it has no editor; the cells of a window share it, and a cell
    // whose look has gone paints nothing.
    TextCell(QLineEdit* look, QWidget* parent);

    // Runs `bind` on the editor as soon as it is made (at once when it exists already).
    void onEditor(std::function<void(QLineEdit*)> bind);
    // The editor, made on the first call.
    QLineEdit* editor();
    bool hasEditor() const { return editor_ != nullptr; }

    // The QLineEdit calls, kept by the cell until its editor exists.
    QString text() const;
    void setText(const QString& text);
    bool isReadOnly() const;
    void setReadOnly(bool readOnly);
    Qt::Alignment alignment() const { return alignment_; }
    void setAlignment(Qt::Alignment alignment);
    QMargins textMargins() const { return margins_; }
    void setTextMargins(const QMargins& margins);
    // Selects the whole text in the editor (made for it).
    void selectAll();

  protected:
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    // Whether `text` shows whole in the cell without scrolling.
    bool fits(const QString& text) const;

    QPointer<QLineEdit> look_;
    QLineEdit* editor_ = nullptr;
    std::function<void(QLineEdit*)> bind_;
    QString text_;
    bool readOnly_ = false;
    bool forwarding_ = false;
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignVCenter;
    QMargins margins_;
};

}  // namespace kit
