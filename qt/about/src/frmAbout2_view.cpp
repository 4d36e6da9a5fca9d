#include "about/frmAbout2_view.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include "kit/QtHost.h"

namespace about {

frmAbout2View::frmAbout2View(frmAbout2& model, form::UserEventGate& gate, kit::QtHost& host,
                             std::function<void()> onClose)
    : model_(model), host_(host), binder_(gate, host), onClose_(std::move(onClose)) {
    setObjectName("frmAbout2");
    setWindowTitle(QString::fromStdString(model_.Caption));
    binder_.addContainer("", -1, this);
    binder_.build(model_.controls());
    paintLogo();
    if (auto* ok = qobject_cast<QPushButton*>(binder_.widget(model_.cmdOK))) {
        ok->setDefault(true);
        setFocusProxy(ok);
    }
    setFixedSize(kit::ControlBinder::pixels(frmAbout2::kClientWidth),
                 kit::ControlBinder::pixels(frmAbout2::kClientHeight));
    if (const QScreen* screen = this->screen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    rendererId_ = host.addRenderer([this] { render(); });
}

frmAbout2View::~frmAbout2View() {
    host_.removeRenderer(rendererId_);
}

void frmAbout2View::paintLogo() {
    QWidget* box = binder_.widget(model_.picCastrelLogo);
    if (box == nullptr) {
        return;
    }
    QPixmap logo(box->size());
    logo.fill(Qt::transparent);
    QPainter p(&logo);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(logo.rect()).adjusted(2, 2, -2, -2);
    QLinearGradient blue(area.topLeft(), area.bottomRight());
    blue.setColorAt(0, QColor(40, 80, 170));
    blue.setColorAt(1, QColor(0, 0, 128));
    p.setPen(Qt::NoPen);
    p.setBrush(blue);
    p.drawRoundedRect(area, 6, 6);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(static_cast<int>(area.height() * 0.7));
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(area, Qt::AlignCenter, "V");
    p.end();
    auto* picture = new QLabel(box);
    picture->setObjectName("picCastrelLogoImage");
    picture->setGeometry(box->rect());
    picture->setPixmap(logo);
}

void frmAbout2View::render() {
    binder_.render();
    const QString title = QString::fromStdString(model_.Caption);
    if (windowTitle() != title) {
        setWindowTitle(title);
    }
    if (!model_.Visible && isVisible()) {
        hide();
    }
}

void frmAbout2View::closeEvent(QCloseEvent* event) {
    if (onClose_) {
        onClose_();
    }
    event->accept();
}

void frmAbout2View::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
        if (auto* ok = qobject_cast<QPushButton*>(binder_.widget(model_.cmdOK))) {
            ok->click();
        }
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace about
