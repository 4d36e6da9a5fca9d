#include "kit/ControlBinder.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QTextCursor>
#include <cstdint>

#include "kit/CaptionButton.h"
#include "kit/LampWidget.h"
#include "kit/QtHost.h"
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

// Visible, enabled and tooltip as last painted; -1 means never painted.
struct Painted {
    int visible = -1;
    int enabled = -1;
    std::string tip;
    bool tipSet = false;

    void paint(QWidget* w, const form::Control& c, bool enabled) {
        if (visible != int{c.Visible}) {
            visible = c.Visible;
            w->setHidden(!c.Visible);
        }
        if (this->enabled != int{enabled}) {
            this->enabled = enabled;
            w->setEnabled(enabled);
        }
        if (!tipSet || tip != c.ToolTipText) {
            tip = c.ToolTipText;
            tipSet = true;
            w->setToolTip(qs(tip));
        }
    }
};

// The smallest font a caption may shrink to so that it fits its design rectangle.
constexpr int kMinCaptionPixels = 9;

// Shrinks the widget's font, a pixel at a time, until the wrapped caption fits `area` (the
// design rectangles were drawn for a narrower font than most systems have).
void fitCaption(QWidget* w, const QString& text, const std::function<QRect()>& area) {
    QFont font = w->font();
    font.setPixelSize(QApplication::font().pixelSize() > 0 ? QApplication::font().pixelSize()
                                                           : font.pixelSize());
    const bool bold = w->font().bold();
    font.setBold(bold);
    w->setFont(font);
    while (font.pixelSize() > kMinCaptionPixels) {
        const QRect r = area();
        const QRect need =
            QFontMetrics(font).boundingRect(r, Qt::AlignCenter | Qt::TextWordWrap, text);
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

}  // namespace

ControlBinder::ControlBinder(form::UserEventGate& gate, QtHost& host) : gate_(gate), host_(host) {}

QRect ControlBinder::pixels(const form::ControlGeometry& g) {
    return {pixels(g.left), pixels(g.top), pixels(g.width), pixels(g.height)};
}

int ControlBinder::pixels(int twips) {
    const int half = form::kTwipsPerPixel / 2;
    return twips >= 0 ? (twips + half) / form::kTwipsPerPixel
                      : -((-twips + half) / form::kTwipsPerPixel);
}

void ControlBinder::place(QWidget* widget, const char* kind, const form::ControlGeometry& g) {
    QString name = QString::fromUtf8(g.control.data(), static_cast<int>(g.control.size()));
    if (g.index >= 0) {
        name += QStringLiteral("_%1").arg(g.index);
    }
    widget->setObjectName(name);
    widget->setProperty("controlKind", kind);
    widget->setGeometry(pixels(g));
    if ((g.style & form::StyleBold) != 0) {
        QFont f = widget->font();
        f.setBold(true);
        widget->setFont(f);
    }
}

QLineEdit* ControlBinder::textBox(form::TextBox& box, QWidget* parent,
                                  const form::ControlGeometry& g) {
    auto* w = new QLineEdit(parent);
    place(w, "TextBox", g);
    w->setAlignment((g.style & form::StyleCentred) != 0 ? Qt::AlignCenter
                                                        : Qt::AlignLeft | Qt::AlignVCenter);
    w->setTextMargins(1, 0, 1, 0);
    connect(w, &QLineEdit::textEdited, [&box](const QString& text) {
        box.setText(text.toStdString());
        box.SelStart = static_cast<std::size_t>(text.size());
    });
    w->installEventFilter(this);
    hooks(w);
    struct State {
        Painted painted;
        std::uint64_t generation = ~std::uint64_t{0};
        std::size_t size = 0;
        int readOnly = -1;
        int back = -1, fore = -1;
    };
    renders_.push_back([w, &box, s = State{}](bool busy) mutable {
        s.painted.paint(w, box, box.Enabled);
        const int readOnly = box.Locked || busy;
        if (s.readOnly != readOnly) {
            s.readOnly = readOnly;
            w->setReadOnly(readOnly != 0);
        }
        if (s.back != box.BackColor || s.fore != box.ForeColor) {
            s.back = box.BackColor;
            s.fore = box.ForeColor;
            setColours(w, QPalette::Base, QPalette::Text, box.BackColor, box.ForeColor,
                       kDefaultBoxBack);
        }
        if (s.generation != box.textGeneration() || s.size != box.Text().size()) {
            s.generation = box.textGeneration();
            s.size = box.Text().size();
            const QString text = qs(box.Text());
            if (w->text() != text) {
                w->setText(text);
            }
        }
    });
    return w;
}

QLabel* ControlBinder::label(form::Label& label, QWidget* parent, const form::ControlGeometry& g) {
    auto* w = new QLabel(parent);
    place(w, "Label", g);
    w->setTextFormat(Qt::PlainText);
    w->setWordWrap(true);
    if ((g.style & form::StyleCentred) != 0) {
        w->setAlignment(Qt::AlignCenter);
    } else if ((g.style & form::StyleRightAlign) != 0) {
        w->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    } else {
        w->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    struct State {
        Painted painted;
        std::string caption;
        bool captionSet = false;
        int back = -1, fore = -1;
    };
    renders_.push_back([w, &label, s = State{}](bool) mutable {
        s.painted.paint(w, label, label.Enabled);
        if (s.back != label.BackColor || s.fore != label.ForeColor) {
            s.back = label.BackColor;
            s.fore = label.ForeColor;
            setColours(w, QPalette::Window, QPalette::WindowText, label.BackColor, label.ForeColor,
                       kDefaultLabelBack);
        }
        if (!s.captionSet || s.caption != label.Caption) {
            s.caption = label.Caption;
            s.captionSet = true;
            w->setText(qs(s.caption));
            fitCaption(w, w->text(), [w] { return w->contentsRect(); });
        }
    });
    return w;
}

CaptionButton* ControlBinder::button(form::Button& button, QWidget* parent,
                                     const form::ControlGeometry& g, std::function<void()> onClick,
                                     Role role) {
    auto* w = new CaptionButton(parent);
    place(w, "Button", g);
    connect(w, &QPushButton::clicked, [this, role, onClick = std::move(onClick)] {
        if (role == Role::Data) {
            dispatch(onClick);
        } else {
            onClick();
            host_.renderAll();
        }
    });
    struct State {
        Painted painted;
        std::string caption;
        bool captionSet = false;
    };
    renders_.push_back([w, &button, role, s = State{}](bool busy) mutable {
        s.painted.paint(w, button, button.Enabled && !(busy && role == Role::Data));
        if (!s.captionSet || s.caption != button.Caption) {
            s.caption = button.Caption;
            s.captionSet = true;
            w->setText(qs(s.caption));
            fitCaption(w, w->text(), [w] { return w->captionRect(); });
        }
    });
    return w;
}

WrapCheckBox* ControlBinder::checkBox(form::CheckBox& box, QWidget* parent,
                                      const form::ControlGeometry& g, std::function<void()> onClick,
                                      Role role) {
    auto* w = new WrapCheckBox(parent);
    place(w, "CheckBox", g);
    connect(w, &QCheckBox::clicked, [this, w, &box, role, onClick = std::move(onClick)] {
        const Qt::CheckState state = w->checkState();
        auto store = [&box, &onClick, state] {
            box.Value = state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? 2 : 0;
            onClick();
        };
        if (role == Role::Data) {
            dispatch(store);
        } else {
            store();
            host_.renderAll();
        }
    });
    struct State {
        Painted painted;
        std::string caption;
        bool captionSet = false;
    };
    renders_.push_back([w, &box, role, s = State{}](bool busy) mutable {
        s.painted.paint(w, box, box.Enabled && !(busy && role == Role::Data));
        if (!s.captionSet || s.caption != box.Caption) {
            s.caption = box.Caption;
            s.captionSet = true;
            w->setText(qs(s.caption));
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

LampWidget* ControlBinder::lamp(form::Lamp& lamp, QWidget* parent, const form::ControlGeometry& g) {
    auto* w = new LampWidget((g.style & form::StyleCircle) != 0, parent);
    place(w, "Lamp", g);
    renders_.push_back([w, &lamp, painted = Painted{}](bool) mutable {
        painted.paint(w, lamp, lamp.Enabled);
        w->setFill(colour(lamp.FillColor));
    });
    return w;
}

QGroupBox* ControlBinder::frame(form::Frame& frame, QWidget* parent,
                                const form::ControlGeometry& g) {
    auto* w = new QGroupBox(parent);
    place(w, "Frame", g);
    struct State {
        Painted painted;
        std::string caption;
        bool captionSet = false;
    };
    renders_.push_back([w, &frame, s = State{}](bool) mutable {
        s.painted.paint(w, frame, frame.Enabled);
        if (!s.captionSet || s.caption != frame.Caption) {
            s.caption = frame.Caption;
            s.captionSet = true;
            w->setTitle(qs(s.caption));
        }
    });
    return w;
}

QPlainTextEdit* ControlBinder::log(form::TextBox& box, QWidget* parent,
                                   const form::ControlGeometry& g) {
    auto* w = new QPlainTextEdit(parent);
    place(w, "Log", g);
    w->setReadOnly(true);
    w->setLineWrapMode(QPlainTextEdit::NoWrap);
    w->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    w->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    struct State {
        Painted painted;
        std::uint64_t generation = ~std::uint64_t{0};
        std::size_t rendered = 0;
    };
    renders_.push_back([w, &box, s = State{}](bool) mutable {
        s.painted.paint(w, box, box.Enabled);
        const std::string& text = box.Text();
        if (s.generation == box.textGeneration() && s.rendered == text.size()) {
            return;
        }
        if (s.generation != box.textGeneration() || text.size() < s.rendered) {
            w->setPlainText(logText(text));
        } else {
            QTextCursor end(w->document());
            end.movePosition(QTextCursor::End);
            end.insertText(logText(std::string_view(text).substr(s.rendered)));
        }
        s.generation = box.textGeneration();
        s.rendered = text.size();
        w->verticalScrollBar()->setValue(w->verticalScrollBar()->maximum());
    });
    return w;
}

ControlBinder::Hooks& ControlBinder::hooks(QLineEdit* widget) {
    return hooks_[widget];
}

void ControlBinder::onKeyPress(QLineEdit* widget, std::function<void(int&)> handler) {
    hooks(widget).keyPress = std::move(handler);
}

void ControlBinder::onDoubleClick(QLineEdit* widget, std::function<void()> handler) {
    hooks(widget).doubleClick = std::move(handler);
}

void ControlBinder::onClick(QLineEdit* widget, std::function<void()> handler) {
    hooks(widget).click = std::move(handler);
}

void ControlBinder::onLostFocus(QLineEdit* widget, std::function<void()> handler) {
    hooks(widget).lostFocus = std::move(handler);
}

bool ControlBinder::dispatch(const std::function<void()>& handler) {
    if (!gate_.busy()) {
        host_.operationStarts();
    }
    const bool ran = gate_.dispatch(handler);
    host_.renderAll();
    return ran;
}

bool ControlBinder::busyLooks() const {
    return gate_.busy() && host_.operationAgeMs() >= host_.busyPaintDelayMs;
}

void ControlBinder::render() {
    const bool busy = busyLooks();
    for (auto& r : renders_) {
        r(busy);
    }
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
            if (gate_.busy() && code >= 0) {
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
