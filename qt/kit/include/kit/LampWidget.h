// A lamp: a small solid shape, circle or rectangle, filled with a palette colour and outlined.
#pragma once

#include <QColor>
#include <QWidget>

namespace kit {

class LampWidget : public QWidget {
  public:
    // A black lamp; `circle` picks the round shape of the register grid.
    LampWidget(bool circle, QWidget* parent);
    // Repaints only when the colour changes.
    void setFill(const QColor& fill);
    const QColor& fill() const { return fill_; }
    bool circle() const { return circle_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool circle_;
    QColor fill_{Qt::black};
};

}  // namespace kit
