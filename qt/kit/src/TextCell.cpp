#include "kit/TextCell.h"

#include <QAccessible>
#include <QApplication>
#include <QFocusEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

#include "kit/TextCellAccessible.h"

namespace kit {

namespace {

// QLineEdit's gap between its text area and its text, on each side.
constexpr int kLineEditSideMargin = 2;

// The palette a widget paints with right now, as its Active group: the look is never shown, so
// Qt paints it with that group.
QPalette paintedPalette(const QWidget& w) {
    QPalette colours = w.palette();
    const QPalette::ColorGroup group = colours.currentColorGroup();
    if (group == QPalette::Inactive) {
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto r = static_cast<QPalette::ColorRole>(role);
            if (r != QPalette::NoRole) {
                colours.setBrush(QPalette::Active, r, colours.brush(group, r));
            }
        }
    }
    return colours;
}

}  // namespace

TextCell::TextCell(QLineEdit* look, QWidget* parent) : QWidget(parent), look_(look) {
    [[maybe_unused]] static const bool accessible = [] {
        QAccessible::installFactory(&TextCellAccessible::create);
        return true;
    }();
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::IBeamCursor);
    setAcceptDrops(true);
}

void TextCell::onEditor(std::function<void(QLineEdit*)> bind) {
    bind_ = std::move(bind);
    if (editor_ != nullptr && bind_) {
        bind_(editor_);
    }
}

QLineEdit* TextCell::editor() {
    if (editor_ == nullptr) {
        editor_ = new QLineEdit(text_, this);
        editor_->setAlignment(alignment_);
        editor_->setTextMargins(margins_);
        editor_->setReadOnly(readOnly_);
        editor_->setGeometry(rect());
        // The editor takes the cell's place in the tab order; the cell leaves it.
        QWidget::setTabOrder(this, editor_);
        setFocusPolicy(Qt::NoFocus);
        setAcceptDrops(false);
        editor_->show();
        if (bind_) {
            bind_(editor_);
        }
    }
    return editor_;
}

QString TextCell::text() const {
    return editor_ != nullptr ? editor_->text() : text_;
}

void TextCell::setText(const QString& text) {
    if (editor_ == nullptr && !fits(text)) {
        // Scrolled text depends on where the box scrolled before: only a box of its own knows.
        editor();
    }
    if (editor_ != nullptr) {
        editor_->setText(text);
    } else if (text_ != text) {
        text_ = text;
        update();
        if (QAccessible::isActive()) {
            QAccessibleValueChangeEvent changed(this, text);
            QAccessible::updateAccessibility(&changed);
        }
    }
}

bool TextCell::isReadOnly() const {
    return editor_ != nullptr ? editor_->isReadOnly() : readOnly_;
}

void TextCell::setReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    if (editor_ != nullptr) {
        editor_->setReadOnly(readOnly);
    } else {
        update();
    }
}

void TextCell::setAlignment(Qt::Alignment alignment) {
    alignment_ = alignment;
    if (editor_ != nullptr) {
        editor_->setAlignment(alignment);
    } else {
        update();
    }
}

void TextCell::setTextMargins(const QMargins& margins) {
    margins_ = margins;
    if (editor_ != nullptr) {
        editor_->setTextMargins(margins);
    } else {
        update();
    }
}

void TextCell::selectAll() {
    editor()->selectAll();
}

bool TextCell::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::DragLeave:
        case QEvent::Drop:
            // An event the editor left unhandled comes back up to the cell on its way to the
            // cell's parents: it goes on from here, once.
            if (forwarding_) {
                return QWidget::event(event);
            }
            forwarding_ = true;
            QApplication::sendEvent(editor(), event);
            forwarding_ = false;
            event->accept();
            return true;
        default:
            return QWidget::event(event);
    }
}

void TextCell::focusInEvent(QFocusEvent* event) {
    editor()->setFocus(event->reason());
}

void TextCell::paintEvent(QPaintEvent*) {
    if (editor_ != nullptr || look_.isNull()) {
        return;
    }
    look_->setPalette(paintedPalette(*this));
    look_->setFont(font());
    look_->setEnabled(isEnabled());
    look_->setLayoutDirection(layoutDirection());
    look_->setReadOnly(readOnly_);
    look_->setAlignment(alignment_);
    look_->setTextMargins(margins_);
    look_->setText(text_);
    look_->resize(size());
    // Drawn into a pixmap first (a widget that is not shown does not render into another's
    // paint event), over the colour the cell lies on, so that the frame's softened corners blend
    // with it as they would on the window.
    const qreal ratio = devicePixelRatio();
    QPixmap shot(size() * ratio);
    shot.setDevicePixelRatio(ratio);
    const QWidget* under = parentWidget() != nullptr ? parentWidget() : this;
    shot.fill(under->palette().color(under->backgroundRole()));
    look_->render(&shot, QPoint(), QRegion(), QWidget::RenderFlags());
    QPainter painter(this);
    painter.drawPixmap(0, 0, shot);
}

void TextCell::resizeEvent(QResizeEvent*) {
    if (editor_ != nullptr) {
        editor_->setGeometry(rect());
    }
}

bool TextCell::fits(const QString& text) const {
    if (text.isEmpty()) {
        return true;
    }
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    const int room =
        width() - 2 * frame - margins_.left() - margins_.right() - 2 * kLineEditSideMargin;
    // The caret's pixel, and one to spare for rounding.
    return QFontMetrics(font()).horizontalAdvance(text) + 2 <= room;
}

}  // namespace kit
