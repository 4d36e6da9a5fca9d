#include "kit/WrapCheckBox.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace kit {

WrapCheckBox::WrapCheckBox(QWidget* parent) : QCheckBox(parent) {}

QRect WrapCheckBox::captionRect() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    return style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);
}

void WrapCheckBox::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    p.drawControl(QStyle::CE_CheckBox, option);
    p.drawItemText(captionRect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
                   option.palette, isEnabled(), caption, QPalette::WindowText);
}

bool WrapCheckBox::hitButton(const QPoint& pos) const {
    return rect().contains(pos);
}

}  // namespace kit
