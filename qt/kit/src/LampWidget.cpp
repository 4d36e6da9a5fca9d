#include "kit/LampWidget.h"

#include <QPainter>

namespace kit {

LampWidget::LampWidget(bool circle, QWidget* parent) : QWidget(parent), circle_(circle) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LampWidget::setFill(const QColor& fill) {
    if (fill == fill_) {
        return;
    }
    fill_ = fill;
    update();
}

void LampWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, circle_);
    p.setPen(QPen(QColor(64, 64, 64), 1));
    p.setBrush(fill_);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (circle_) {
        p.drawEllipse(r);
    } else {
        p.drawRect(r);
    }
}

}  // namespace kit
