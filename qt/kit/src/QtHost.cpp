#include "kit/QtHost.h"

#include <QApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

#include "FileDialog.h"
#include "wd_utils.h"

namespace kit {

namespace {

// About 60 paints a second keep the windows live without slowing the 10,000 yields of a
// connect.
constexpr qint64 kRenderIntervalNs = 16'000'000;
// USB attach/detach events arrive within this time while no operation yields.
constexpr int kIdlePumpMs = 20;
// A yield takes the pending window events when the last one took them at least this long ago.
// Asking the display connection costs a poll each time, which the 10,000 yields of a connect
// would pay 10,000 times; no user can tell a millisecond's slice from none.
constexpr qint64 kEventSliceNs = 1'000'000;

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// A message box that centres on its parent once it has its final size: the dialog places itself
// before the box lays out its text, which would leave it off centre.
class CentredMessageBox : public QMessageBox {
  public:
    using QMessageBox::QMessageBox;

  protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        if (const QWidget* over = parentWidget()) {
            const QRect frame = frameGeometry();
            move(pos() + over->window()->frameGeometry().center() - frame.center());
        }
    }
};

}  // namespace

QtHost::QtHost() {
    clock_.start();
    idle_.setInterval(kIdlePumpMs);
    QObject::connect(&idle_, &QTimer::timeout, [this] {
        if (WDU_VB_PumpEvents() > 0) {
            renderAll();
        }
    });
    idle_.start();
}

QtHost::~QtHost() {
    idle_.stop();
}

void QtHost::doEvents() {
    ++yields_;
    WDU_VB_PumpEvents();
    // One clock reading serves both tests: a connect yields 10,000 times in a row.
    const qint64 now = clock_.nsecsElapsed();
    if (eventsAtNs_ < 0 || now - eventsAtNs_ >= kEventSliceNs) {
        QCoreApplication::processEvents();
        eventsAtNs_ = clock_.nsecsElapsed();
    }
    if (now - renderedAtNs_ >= kRenderIntervalNs) {
        renderAll();
    }
}

void QtHost::sleepMs(int ms) {
    renderAll();
    if (ms <= 0) {
        doEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    renderAll();
}

form::MsgResult QtHost::messageBox(const std::string& text, form::MsgButtons buttons,
                                   const std::string& title) {
    renderAll();
    const bool okCancel = buttons == form::MsgButtons::OkCancel;
    CentredMessageBox box(QMessageBox::NoIcon, qs(title), qs(text),
                          okCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok,
                          dialogParent());
    box.setDefaultButton(QMessageBox::Ok);
    const int answer = box.exec();
    renderAll();
    return okCancel && answer != QMessageBox::Ok ? form::MsgResult::Cancel : form::MsgResult::Ok;
}

form::FileDialogResult QtHost::openFileDialog(const form::FileDialogRequest& request) {
    return fileDialog(request, false);
}

form::FileDialogResult QtHost::saveFileDialog(const form::FileDialogRequest& request) {
    return fileDialog(request, true);
}

form::FileDialogResult QtHost::fileDialog(const form::FileDialogRequest& request, bool save) {
    renderAll();
    FileDialog dialog(dialogParent(), request, save);
    form::FileDialogResult result;
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        const QString path = dialog.selectedFiles().constFirst();
        result.cancelled = false;
        result.path = path.toStdString();
        result.title = QFileInfo(path).fileName().toStdString();
    }
    renderAll();
    return result;
}

form::LocalDateTime QtHost::now() {
    const QDateTime t = QDateTime::currentDateTime();
    return {t.date().year(), t.date().month(),  t.date().day(),
            t.time().hour(), t.time().minute(), t.time().second()};
}

QtHost::DialogOwner::DialogOwner(QtHost& host, QWidget* window) : host_(host) {
    host_.owners_.emplace_back(window);
}

QtHost::DialogOwner::~DialogOwner() {
    host_.owners_.pop_back();
}

QWidget* QtHost::dialogParent() const {
    for (auto it = owners_.rbegin(); it != owners_.rend(); ++it) {
        if (!it->isNull() && (*it)->isVisible()) {
            return it->data();
        }
    }
    return QApplication::activeWindow();
}

void QtHost::painted() {
    renderedAtNs_ = clock_.nsecsElapsed();
}

}  // namespace kit
