// A check box whose caption wraps inside its design rectangle instead of being cut.
#pragma once

#include <QCheckBox>

namespace kit {

class WrapCheckBox : public QCheckBox {
  public:
    explicit WrapCheckBox(QWidget* parent);
    // The rectangle the caption is drawn in.
    QRect captionRect() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};

}  // namespace kit
