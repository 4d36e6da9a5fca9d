#include "kit/ControlBinder.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QTextCursor>
#include <algorithm>
#include <cstdint>
#include <optional>
#include <variant>

#include "form/HeadingWords.h"
#include "form/LogMirror.h"
#include "form/PaintedCaption.h"
#include "form/PaintedTextBox.h"
#include "kit/CaptionButton.h"
#include "kit/LampWidget.h"
#include "kit/QtHost.h"
#include "kit/TextCell.h"
#include "kit/WrapCheckBox.h"

namespace kit {

namespace {

constexpr form::PaletteIndex kDefaultLabelBack = 7;
constexpr form::PaletteIndex kDefaultBoxBack = 15;
constexpr form::PaletteIndex kDefaultFore = 0;

QColor colour(form::PaletteIndex index) {
    const form::Rgb rgb = form::paletteRgb(index);
    return {rgb.r, rgb.g, rgb.b};
}

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// The log's line breaks are CR LF; the plain-text box wants LF alone.
QString logText(std::string_view text) {
    std::string plain;
    plain.reserve(text.size());
    for (char c : text) {
        if (c != '\r') {
            plain.push_back(c);
        }
    }
    return QString::fromStdString(plain);
}

// Visible, enabled and tooltip as last painted; -1 means never painted. A new widget has no
// tooltip, and one that is neither shown nor hidden yet shows with its window: a first paint
// that agrees with that leaves the widget alone, which spares the hundreds of controls of a
// window that is about to show a round of events each.
struct Painted {
    int visible = -1;
    int enabled = -1;
    std::string tip;

    void paint(QWidget* w, const form::Control& c, bool enabled) {
        if (visible != int{c.Visible}) {
            visible = c.Visible;
            if (w->isHidden() == c.Visible) {
                w->setHidden(!c.Visible);
            }
        }
        if (this->enabled != int{enabled}) {
            this->enabled = enabled;
            w->setEnabled(enabled);
        }
        if (tip != c.ToolTipText) {
            tip = c.ToolTipText;
            w->setToolTip(qs(tip));
        }
    }
};

// The smallest font a caption may shrink to so that it fits its design rectangle.
constexpr int kMinCaptionPixels = 9;

// Whether `text` in `font` fits `r` on one line with a pixel to spare: a cheaper test than
// laying the caption out for wrapping, and never true where that layout would not fit.
bool fitsOnOneLine(const QFontMetrics& metrics, const QString& text, const QRect& r) {
    return !text.contains(QLatin1Char('\n')) && metrics.height() < r.height() &&
           metrics.horizontalAdvance(text) < r.width();
}

// Shrinks the widget's font, a pixel at a time, until the wrapped caption fits `area` (the
// design rectangles were drawn for a narrower font than most systems have).
void fitCaption(QWidget* w, const QString& text, const std::function<QRect()>& area) {
    QFont font = w->font();
    font.setPixelSize(QApplication::font().pixelSize() > 0 ? QApplication::font().pixelSize()
                                                           : font.pixelSize());
    const bool bold = w->font().bold();
    font.setBold(bold);
    if (w->font() != font) {
        w->setFont(font);
    }
    while (font.pixelSize() > kMinCaptionPixels) {
        const QRect r = area();
        const QFontMetrics metrics(font);
        if (fitsOnOneLine(metrics, text, r)) {
            return;
        }
        const QRect need = metrics.boundingRect(r, Qt::AlignCenter | Qt::TextWordWrap, text);
        if (need.width() <= r.width() && need.height() <= r.height()) {
            return;
        }
        font.setPixelSize(font.pixelSize() - 1);
        w->setFont(font);
    }
}

void setColours(QWidget* w, QPalette::ColorRole back, QPalette::ColorRole fore,
                form::PaletteIndex backIndex, form::PaletteIndex foreIndex,
                form::PaletteIndex defaultBack) {
    QPalette p = w->palette();
    if (backIndex == defaultBack && foreIndex == kDefaultFore) {
        p = QPalette();
        w->setAutoFillBackground(false);
    } else {
        p.setColor(back, colour(backIndex));
        p.setColor(fore, colour(foreIndex));
        w->setAutoFillBackground(back == QPalette::Window);
    }
    w->setPalette(p);
}

// Height of a heading row's words, in pixels.
constexpr int kHeadingPixels = 17;
// The title band's text size in pixels, and its colours.
constexpr int kTitleFontPixels = 16;
constexpr form::PaletteIndex kTitleBack = 1;
constexpr form::PaletteIndex kTitleFore = 15;

// Paints a text box (a QLineEdit or a TextCell) from its model.
template <class Box>
std::function<void(bool)> boxRender(Box* w, form::TextBox& box) {
    struct State {
        Painted painted;
        form::PaintedTextBox box;
    };
    return [w, &box, s = State{}](bool busy) mutable {
        s.painted.paint(w, box, box.Enabled);
        const form::PaintedTextBox::Changes c = s.box.update(box, busy);
        if (c.readOnlyChanged) {
            w->setReadOnly(c.readOnly);
        }
        if (c.coloursChanged) {
            setColours(w, QPalette::Base, QPalette::Text, box.BackColor, box.ForeColor,
                       kDefaultBoxBack);
        }
        if (c.textChanged) {
            const QString text = qs(box.Text());
            if (w->text() != text) {
                w->setText(text);
            }
        }
    };
}

Qt::Alignment boxAlignment(const form::ControlGeometry& g) {
    return (g.style & form::StyleCentred) != 0 ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter;
}

// The text margins of every single-line box.
const QMargins kBoxTextMargins(1, 0, 1, 0);

}  // namespace

ControlBinder::ControlBinder(form::UserEventGate& gate, QtHost& host)
    : core_(gate, host), host_(host) {}

ControlBinder::~ControlBinder() = default;

void ControlBinder::useTextCells(std::vector<std::string> names) {
    cellNames_ = std::move(names);
}

QRect ControlBinder::pixels(const form::ControlGeometry& g) {
    return {pixels(g.left), pixels(g.top), pixels(g.width), pixels(g.height)};
}

int ControlBinder::pixels(int twips) {
    const int half = form::kTwipsPerPixel / 2;
    return twips >= 0 ? (twips + half) / form::kTwipsPerPixel
                      : -((-twips + half) / form::kTwipsPerPixel);
}

void ControlBinder::addContainer(std::string_view name, int index, QWidget* widget, int topShift) {
    containers_.add(name, index, widget, topShift);
    if (name.empty()) {
        window_ = widget;
    }
}

void ControlBinder::build(const form::ControlTable& table) {
    containers_.place(table, [this](const form::ControlEntry& e, QWidget* parent,
                                    const form::ControlGeometry& geometry) {
        return make(e, Place{parent, geometry});
    });
}

QWidget* ControlBinder::widget(const form::Control& control) const {
    auto found = widgets_.find(&control);
    return found == widgets_.end() ? nullptr : found->second;
}

QWidget* ControlBinder::make(const form::ControlEntry& e, const Place& at) {
    const form::Control* control = nullptr;
    QWidget* made = std::visit(
        [&](auto* c) -> QWidget* {
            control = c;
            return create(*c, e, at);
        },
        e.control);
    widgets_[control] = made;
    return made;
}

QWidget* ControlBinder::create(form::TextBox& box, const form::ControlEntry& e, const Place& at) {
    if ((e.geometry.style & form::StyleMultiLine) != 0) {
        return log(box, e, at);
    }
    const bool cell = std::find(cellNames_.begin(), cellNames_.end(), e.name) != cellNames_.end();
    return cell ? textCell(box, e, at) : textBox(box, e, at);
}

QWidget* ControlBinder::create(form::Label& label, const form::ControlEntry& e, const Place& at) {
    if (!e.columns.empty()) {
        return headings(label, e, at);
    }
    return (e.geometry.style & form::StyleTitleBand) != 0 ? title(label, e, at)
                                                          : this->label(label, e, at);
}

void ControlBinder::place(QWidget* widget, const char* kind, const form::ControlEntry& e,
                          const Place& at) {
    QString name = QString::fromUtf8(e.name.data(), static_cast<int>(e.name.size()));
    if (e.index >= 0) {
        name += QStringLiteral("_%1").arg(e.index);
    }
    widget->setObjectName(name);
    widget->setProperty("controlKind", kind);
    widget->setGeometry(pixels(at.geometry));
    if ((at.geometry.style & form::StyleBold) != 0) {
        QFont f = widget->font();
        f.setBold(true);
        widget->setFont(f);
    }
}

void ControlBinder::runClick(const std::function<void()>& run, Role role) {
    const QtHost::DialogOwner owner(host_, window_ ? window_->window() : nullptr);
    core_.runClick(run, role);
}

QWidget* ControlBinder::textBox(form::TextBox& box, const form::ControlEntry& e, const Place& at) {
    auto* w = new QLineEdit(at.parent);
    place(w, "TextBox", e, at);
    w->setAlignment(boxAlignment(at.geometry));
    w->setTextMargins(kBoxTextMargins);
    bindEditor(w, box, e.events);
    core_.addPainter(boxRender(w, box));
    return w;
}

QWidget* ControlBinder::textCell(form::TextBox& box, const form::ControlEntry& e, const Place& at) {
    if (!cellLook_) {
        cellLook_ = std::make_unique<QLineEdit>();
    }
    auto* w = new TextCell(cellLook_.get(), at.parent);
    place(w, "TextBox", e, at);
    w->setAlignment(boxAlignment(at.geometry));
    w->setTextMargins(kBoxTextMargins);
    w->onEditor(
        [this, &box, events = e.events](QLineEdit* editor) { bindEditor(editor, box, events); });
    core_.addPainter(boxRender(w, box));
    return w;
}

void ControlBinder::bindEditor(QLineEdit* editor, form::TextBox& box,
                               const form::ControlEvents& events) {
    connect(editor, &QLineEdit::textEdited, [&box, editor](const QString& text) {
        box.setText(text.toStdString());
        // Qt counts the caret in UTF-16 units, the model in characters.
        box.SelStart =
            static_cast<std::size_t>(text.first(editor->cursorPosition()).toUcs4().size());
    });
    editor->installEventFilter(this);
    hook(editor, events);
}

QWidget* ControlBinder::label(form::Label& label, const form::ControlEntry& e, const Place& at) {
    auto* w = new QLabel(at.parent);
    place(w, "Label", e, at);
    w->setTextFormat(Qt::PlainText);
    w->setWordWrap(true);
    if ((at.geometry.style & form::StyleCentred) != 0) {
        w->setAlignment(Qt::AlignCenter);
    } else if ((at.geometry.style & form::StyleRightAlign) != 0) {
        w->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    } else {
        w->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    struct State {
        Painted painted;
        form::PaintedCaption caption;
        int back = -1, fore = -1;
    };
    core_.addPainter([w, &label, s = State{}](bool) mutable {
        s.painted.paint(w, label, label.Enabled);
        if (s.back != label.BackColor || s.fore != label.ForeColor) {
            s.back = label.BackColor;
            s.fore = label.ForeColor;
            setColours(w, QPalette::Window, QPalette::WindowText, label.BackColor, label.ForeColor,
                       kDefaultLabelBack);
        }
        if (s.caption.changed(label.Caption)) {
            w->setText(qs(label.Caption));
            fitCaption(w, w->text(), [w] { return w->contentsRect(); });
        }
    });
    return w;
}

QWidget* ControlBinder::headings(form::Label& label, const form::ControlEntry& e, const Place& at) {
    auto* row = new QWidget(at.parent);
    place(row, "Label", e, at);
    const QRect area = row->geometry();
    const int left = area.left();
    const int width = area.width();
    std::vector<QWidget*> columns;
    for (const form::Control* c : e.columns) {
        columns.push_back(widget(*c));
    }
    // Each word spans its box and half of the gaps beside it.
    std::vector<QLabel*> words;
    for (std::size_t k = 0; k < columns.size(); ++k) {
        const QRect box = columns[k]->geometry().translated(-left, 0);
        const int before =
            k == 0 ? box.left() : (box.left() - (columns[k - 1]->geometry().right() - left)) / 2;
        const int after = k + 1 == columns.size()
                              ? width - 1 - box.right()
                              : ((columns[k + 1]->geometry().left() - left) - box.right()) / 2;
        auto* word = new QLabel(row);
        word->setObjectName(row->objectName() + QStringLiteral("_%1").arg(k));
        word->setTextFormat(Qt::PlainText);
        word->setAlignment(Qt::AlignCenter);
        word->setGeometry(box.left() - std::max(0, before - 1), 0,
                          box.width() + std::max(0, before - 1) + std::max(0, after - 1),
                          kHeadingPixels);
        words.push_back(word);
    }
    core_.addPainter([row, words, &label, caption = form::PaintedCaption{}](bool) mutable {
        row->setVisible(label.Visible);
        if (!caption.changed(label.Caption)) {
            return;
        }
        row->setProperty("caption", qs(label.Caption));
        row->setAccessibleName(qs(label.Caption));
        const std::vector<std::string> split = form::headingWords(label.Caption);
        const bool oneEach = split.size() == words.size();
        for (std::size_t k = 0; k < words.size(); ++k) {
            if (oneEach) {
                words[k]->setText(qs(split[k]));
                words[k]->show();
            } else if (k == 0) {
                // A caption that does not match the columns shows whole across them.
                words[k]->setGeometry(0, 0, row->width(), row->height());
                words[k]->setText(qs(label.Caption).simplified());
            } else {
                words[k]->hide();
            }
        }
    });
    return row;
}

QWidget* ControlBinder::title(form::Label& label, const form::ControlEntry& e, const Place& at) {
    auto* w = new QLabel(at.parent);
    place(w, "Label", e, at);
    w->setProperty("controlKind", QVariant());
    w->setTextFormat(Qt::PlainText);
    w->setAlignment(Qt::AlignCenter);
    QFont font = w->font();
    font.setPixelSize(kTitleFontPixels);
    font.setBold(true);
    w->setFont(font);
    core_.addPainter([w, &label, caption = form::PaintedCaption{}](bool) mutable {
        w->setVisible(label.Visible);
        if (caption.changed(label.Caption)) {
            w->setText(qs(label.Caption));
        }
    });
    return w;
}

QWidget* ControlBinder::create(form::Picture& picture, const form::ControlEntry& e,
                               const Place& at) {
    auto* w = new QFrame(at.parent);
    place(w, "Picture", e, at);
    w->setFrameShape(QFrame::Panel);
    w->setFrameShadow(QFrame::Sunken);
    if ((at.geometry.style & form::StyleTitleBand) != 0) {
        w->setAutoFillBackground(true);
        QPalette colours = w->palette();
        colours.setColor(QPalette::Window, colour(kTitleBack));
        colours.setColor(QPalette::WindowText, colour(kTitleFore));
        w->setPalette(colours);
    }
    core_.addPainter([w, &picture](bool) { w->setVisible(picture.Visible); });
    return w;
}

QWidget* ControlBinder::create(form::Button& button, const form::ControlEntry& e, const Place& at) {
    auto* w = new CaptionButton(at.parent);
    place(w, "Button", e, at);
    const Role role = e.role;
    connect(w, &QPushButton::clicked, [this, w, role, run = e.events.click] {
        // A handler that hides its own button while it runs (Run All Steps) would leave the
        // focus on the next control; the button takes it back once it shows again, so a second
        // Enter runs it again. The handler may close the window: the guard sees that.
        const QPointer<QWidget> guard(w);
        const bool hadFocus = w->hasFocus();
        runClick(
            run ? run : [] {}, role);
        if (hadFocus && guard && guard->isVisible() && guard->isEnabled() && !guard->hasFocus()) {
            QWidget* now = QApplication::focusWidget();
            if (now == nullptr || now->window() == guard->window()) {
                guard->setFocus(Qt::OtherFocusReason);
            }
        }
    });
    struct State {
        Painted painted;
        form::PaintedCaption caption;
    };
    core_.addPainter([w, &button, role, s = State{}](bool busy) mutable {
        s.painted.paint(w, button, button.Enabled && !(busy && role == Role::Data));
        if (s.caption.changed(button.Caption)) {
            w->setText(qs(button.Caption));
            fitCaption(w, w->text(), [w] { return w->captionRect(); });
        }
    });
    return w;
}

QWidget* ControlBinder::create(form::CheckBox& box, const form::ControlEntry& e, const Place& at) {
    auto* w = new WrapCheckBox(at.parent);
    place(w, "CheckBox", e, at);
    const Role role = e.role;
    connect(w, &QCheckBox::clicked, [this, w, &box, role, onClick = e.events.click] {
        const Qt::CheckState state = w->checkState();
        const int value = state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? 2 : 0;
        runClick(form::BinderCore::tick(box, value, onClick), role);
    });
    struct State {
        Painted painted;
        form::PaintedCaption caption;
    };
    core_.addPainter([w, &box, role, s = State{}](bool busy) mutable {
        s.painted.paint(w, box, box.Enabled && !(busy && role == Role::Data));
        if (s.caption.changed(box.Caption)) {
            w->setText(qs(box.Caption));
            fitCaption(w, w->text(), [w] { return w->captionRect(); });
        }
        const Qt::CheckState state = box.Value == 1   ? Qt::Checked
                                     : box.Value == 2 ? Qt::PartiallyChecked
                                                      : Qt::Unchecked;
        if (w->checkState() != state) {
            w->setCheckState(state);
        }
    });
    return w;
}

QWidget* ControlBinder::create(form::Lamp& lamp, const form::ControlEntry& e, const Place& at) {
    auto* w = new LampWidget((at.geometry.style & form::StyleCircle) != 0, at.parent);
    place(w, "Lamp", e, at);
    core_.addPainter([w, &lamp, painted = Painted{}](bool) mutable {
        painted.paint(w, lamp, lamp.Enabled);
        w->setFill(colour(lamp.FillColor));
    });
    return w;
}

QWidget* ControlBinder::create(form::Frame& frame, const form::ControlEntry& e, const Place& at) {
    auto* w = new QGroupBox(at.parent);
    place(w, "Frame", e, at);
    struct State {
        Painted painted;
        form::PaintedCaption caption;
    };
    core_.addPainter([w, &frame, s = State{}](bool) mutable {
        s.painted.paint(w, frame, frame.Enabled);
        if (s.caption.changed(frame.Caption)) {
            w->setTitle(qs(frame.Caption));
        }
    });
    return w;
}

QWidget* ControlBinder::log(form::TextBox& box, const form::ControlEntry& e, const Place& at) {
    auto* w = new QPlainTextEdit(at.parent);
    place(w, "Log", e, at);
    w->setReadOnly(true);
    w->setLineWrapMode(QPlainTextEdit::NoWrap);
    w->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    w->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Nobody edits the log: an undo history would keep every append and drop alive.
    w->setUndoRedoEnabled(false);
    struct State {
        Painted painted;
        form::LogMirror mirror;
    };
    core_.addPainter([w, &box, s = State{}](bool) mutable {
        s.painted.paint(w, box, box.Enabled);
        // Drops the lines the box dropped and adds what it appended; rebuilds only after a
        // replacement, or when the box dropped text this document never got (more than a whole
        // budget between two renders).
        const std::optional<form::LogMirror::Change> change = s.mirror.update(box, true);
        if (!change) {
            return;
        }
        const std::string_view text = box.Text();
        if (change->whole) {
            w->setPlainText(logText(text));
        } else {
            QTextCursor front(w->document());
            front.movePosition(QTextCursor::Start);
            if (change->hadNotice) {
                front.movePosition(QTextCursor::NextBlock);
            }
            if (change->dropLines > 0) {
                front.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor,
                                   static_cast<int>(change->dropLines));
                front.removeSelectedText();
            }
            if (change->addNotice) {
                QTextCursor top(w->document());
                top.movePosition(QTextCursor::Start);
                top.insertText(logText(text.substr(0, box.noticeSize())));
            }
            if (change->appendFrom < text.size()) {
                QTextCursor back(w->document());
                back.movePosition(QTextCursor::End);
                back.insertText(logText(text.substr(change->appendFrom)));
            }
        }
        w->verticalScrollBar()->setValue(w->verticalScrollBar()->maximum());
    });
    return w;
}

void ControlBinder::hook(QLineEdit* widget, const form::ControlEvents& events) {
    Hooks& h = hooks_[widget];
    h.keyPress = events.keyPress;
    h.doubleClick = events.doubleClick;
    h.click = events.click;
    h.lostFocus = events.lostFocus;
}

bool ControlBinder::dispatch(const std::function<void()>& handler) {
    const QtHost::DialogOwner owner(host_, window_ ? window_->window() : nullptr);
    return core_.dispatch(handler);
}

bool ControlBinder::busyLooks() const {
    return core_.busyLooks();
}

void ControlBinder::render() {
    renderMenus(core_.render());
}

bool ControlBinder::eventFilter(QObject* watched, QEvent* event) {
    auto found = hooks_.find(watched);
    if (found == hooks_.end()) {
        return false;
    }
    Hooks& h = found->second;
    auto* box = static_cast<QLineEdit*>(watched);
    switch (event->type()) {
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            int code = -1;
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                code = 13;
            } else if (key->text().size() == 1 && key->text().at(0).unicode() < 256) {
                code = key->text().at(0).unicode();
            }
            if (core_.busy() && code >= 0) {
                return true;  // no typing into a box that an operation may be reading
            }
            if (code < 0 || !h.keyPress) {
                return false;
            }
            const int typed = code;
            if (!dispatch([&h, &code] { h.keyPress(code); })) {
                return true;
            }
            if (code == 0 || code == 13) {
                return true;
            }
            if (code != typed && !box->isReadOnly()) {
                box->insert(QString(QChar(code)));
                return true;
            }
            return false;
        }
        case QEvent::MouseButtonDblClick:
            // The release that ends a double click is not a second click.
            h.afterDoubleClick = true;
            if (h.doubleClick) {
                dispatch(h.doubleClick);
                return true;
            }
            return false;
        case QEvent::MouseButtonPress:
            h.afterDoubleClick = false;
            return false;
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (h.afterDoubleClick) {
                h.afterDoubleClick = false;
                return false;
            }
            if (h.click && mouse->button() == Qt::LeftButton &&
                box->rect().contains(mouse->position().toPoint())) {
                dispatch(h.click);
            }
            return false;
        }
        case QEvent::FocusOut: {
            auto* focus = static_cast<QFocusEvent*>(event);
            if (h.lostFocus && focus->reason() != Qt::ActiveWindowFocusReason &&
                focus->reason() != Qt::PopupFocusReason) {
                dispatch(h.lostFocus);
            }
            return false;
        }
        default:
            return false;
    }
}

}  // namespace kit
