#include "LayoutCheck.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTabWidget>
#include <algorithm>

#include "kit/CaptionButton.h"
#include "kit/TextCell.h"
#include "kit/WrapCheckBox.h"

namespace viewtest {

namespace {

QString describe(const QWidget& w, const QString& text, const QRect& need, const QRect& have) {
    return QStringLiteral("%1 \"%2\": needs %3x%4, has %5x%6")
        .arg(w.objectName(), text)
        .arg(need.width())
        .arg(need.height())
        .arg(have.width())
        .arg(have.height());
}

// Whether wrapped text fits in `area`; `need` receives the rectangle it takes.
bool fitsWrapped(const QWidget& w, const QString& text, const QRect& area, QRect& need) {
    const QFontMetrics fm(w.font());
    need = fm.boundingRect(area, Qt::AlignCenter | Qt::TextWordWrap, text);
    return need.width() <= area.width() && need.height() <= area.height();
}

// Whether a single-line box (a QLineEdit or a TextCell) shows its text whole in the text area
// inside the frame (Fusion's frame and the text margins); `need` and `area` receive both.
template <class Box>
bool boxFits(const Box& box, QRect& need, QRect& area) {
    const QFontMetrics fm(box.font());
    const QMargins m = box.textMargins();
    const int width = box.width() - 4 - m.left() - m.right() - 2;
    area = QRect(0, 0, width, box.height() - 4);
    need = QRect(0, 0, fm.horizontalAdvance(box.text()), fm.ascent() + fm.descent());
    return need.width() <= area.width() && need.height() <= area.height();
}

bool shown(const QWidget& w, const QWidget& window) {
    return w.isVisibleTo(&window);
}

}  // namespace

QStringList clippedTexts(const QWidget& window) {
    QStringList problems;
    for (const QWidget* w : window.findChildren<QWidget*>()) {
        if (!shown(*w, window)) {
            continue;
        }
        QRect need;
        QRect boxArea;
        if (const auto* label = qobject_cast<const QLabel*>(w)) {
            const QRect area = label->contentsRect();
            if (!label->text().isEmpty() && !fitsWrapped(*label, label->text(), area, need)) {
                problems << describe(*label, label->text(), need, area);
            }
        } else if (const auto* check = dynamic_cast<const kit::WrapCheckBox*>(w)) {
            const QRect area = check->captionRect();
            if (!fitsWrapped(*check, check->text(), area, need)) {
                problems << describe(*check, check->text(), need, area);
            }
        } else if (const auto* button = dynamic_cast<const kit::CaptionButton*>(w)) {
            const QRect area = button->captionRect();
            if (!fitsWrapped(*button, button->text(), area, need)) {
                problems << describe(*button, button->text(), need, area);
            }
        } else if (const auto* box = qobject_cast<const QLineEdit*>(w)) {
            if (!boxFits(*box, need, boxArea)) {
                problems << describe(*box, box->text(), need, boxArea);
            }
        } else if (const auto* cell = dynamic_cast<const kit::TextCell*>(w)) {
            // A cell with an editor is checked as its editor.
            if (!cell->hasEditor() && !boxFits(*cell, need, boxArea)) {
                problems << describe(*cell, cell->text(), need, boxArea);
            }
        } else if (const auto* frame = qobject_cast<const QGroupBox*>(w)) {
            const QFontMetrics fm(frame->font());
            const QRect area(0, 0, frame->width() - 8, frame->height());
            need = QRect(0, 0, fm.horizontalAdvance(frame->title()), fm.height());
            if (need.width() > area.width()) {
                problems << describe(*frame, frame->title(), need, area);
            }
        }
    }
    return problems;
}

QStringList overlaps(const QWidget& window, const QStringList& allowed) {
    QStringList problems;
    QList<const QWidget*> containers{&window};
    for (const QWidget* w : window.findChildren<QWidget*>()) {
        containers << w;
    }
    for (const QWidget* parent : containers) {
        QList<const QWidget*> kids;
        for (const QObject* o : parent->children()) {
            const auto* w = qobject_cast<const QWidget*>(o);
            // Only the controls the window places itself; Qt's own parts (scroll bars, tab
            // bars, viewports) are laid out by Qt.
            if (w != nullptr && !w->isWindow() && shown(*w, window) &&
                w->property("controlKind").isValid()) {
                kids << w;
            }
        }
        for (int a = 0; a < kids.size(); ++a) {
            for (int b = a + 1; b < kids.size(); ++b) {
                if (allowed.contains(kids[a]->objectName()) ||
                    allowed.contains(kids[b]->objectName())) {
                    continue;
                }
                if (kids[a]->geometry().intersects(kids[b]->geometry())) {
                    problems << QStringList{kids[a]->objectName(), kids[b]->objectName()}.join(
                        " overlaps ");
                }
            }
        }
    }
    return problems;
}

QStringList outsideFrames(const QWidget& window) {
    QStringList problems;
    for (const QGroupBox* frame : window.findChildren<QGroupBox*>()) {
        if (!shown(*frame, window)) {
            continue;
        }
        QStyleOptionGroupBox option;
        option.initFrom(frame);
        option.text = frame->title();
        option.lineWidth = 1;
        option.midLineWidth = 0;
        option.textAlignment = frame->alignment();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        QRect border = frame->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                      QStyle::SC_GroupBoxFrame, frame);
        // The style draws the top line under the caption.
        const QRect caption = frame->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                             QStyle::SC_GroupBoxLabel, frame);
        if (!frame->title().isEmpty()) {
            border.setTop(std::max(border.top(), caption.bottom()));
        }
        // Strictly inside, so that no control covers the line itself.
        const QRect inside = border.adjusted(1, 1, -1, -1);
        for (const QObject* o : frame->children()) {
            const auto* w = qobject_cast<const QWidget*>(o);
            if (w == nullptr || !shown(*w, window) || !w->property("controlKind").isValid()) {
                continue;
            }
            if (!inside.contains(w->geometry())) {
                problems << QStringLiteral(
                                "%1 crosses the border of %2 (%3,%4 %5x%6 vs %7,%8 "
                                "%9x%10)")
                                .arg(w->objectName(), frame->objectName())
                                .arg(w->x())
                                .arg(w->y())
                                .arg(w->width())
                                .arg(w->height())
                                .arg(inside.x())
                                .arg(inside.y())
                                .arg(inside.width())
                                .arg(inside.height());
            }
        }
    }
    return problems;
}

QStringList missingWidgets(const QWidget& window, const form::ControlTable& table) {
    QStringList missing;
    for (const form::ControlEntry& e : table) {
        QString name = QString::fromUtf8(e.name.data(), static_cast<qsizetype>(e.name.size()));
        if (e.index >= 0) {
            name += QStringLiteral("_%1").arg(e.index);
        }
        if (window.findChild<QWidget*>(name) == nullptr) {
            missing << name;
        }
    }
    return missing;
}

}  // namespace viewtest
