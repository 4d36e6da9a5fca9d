// The program's Host on Qt: a yield paints the windows from their models (at most about every
// 16 ms, and always after a user event's handler), processes pending Qt events and delivers
// queued USB attach/detach events; dialogs are Qt's own; the clock is the local one.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <vector>

#include "form/BinderHost.h"
#include "form/Host.h"

class QWidget;

namespace kit {

class QtHost : public form::Host, public form::BinderHost {
  public:
    // Starts the idle timer that delivers USB events while nothing else runs; needs a
    // QApplication.
    QtHost();
    ~QtHost() override;
    QtHost(const QtHost&) = delete;
    QtHost& operator=(const QtHost&) = delete;

    // Pumps USB events, processes pending Qt events (unless the last yield did so less than a
    // millisecond ago) and repaints when the last paint is older than the repaint interval.
    // Never fails.
    void doEvents() override;
    // Waits in a local event loop, so windows keep painting and USB events keep arriving.
    void sleepMs(int ms) override;
    // A modal QMessageBox centred on the window that raised it (dialogParent); Cancel only when
    // the user chose it.
    form::MsgResult messageBox(const std::string& text, form::MsgButtons buttons,
                               const std::string& title) override;
    // Modal QFileDialogs; cancelled when the user backs out.
    form::FileDialogResult openFileDialog(const form::FileDialogRequest& request) override;
    form::FileDialogResult saveFileDialog(const form::FileDialogRequest& request) override;
    // The local date and time of day.
    form::LocalDateTime now() override;

    // Yields seen so far, for benchmarks and tests.
    long yields() const { return yields_; }

    // While it lives, `window` counts as the window whose user event runs: the dialogs raised
    // meanwhile are centred on it. Nests; a null or closed window is passed over.
    class DialogOwner {
      public:
        DialogOwner(QtHost& host, QWidget* window);
        ~DialogOwner();
        DialogOwner(const DialogOwner&) = delete;
        DialogOwner& operator=(const DialogOwner&) = delete;

      private:
        QtHost& host_;
    };
    // The parent of the next dialog: the innermost visible DialogOwner window, else the active
    // window; nullptr when there is neither.
    QWidget* dialogParent() const;

  protected:
    // Notes the time of the paint, for the repaint interval.
    void painted() override;

  private:
    form::FileDialogResult fileDialog(const form::FileDialogRequest& request, bool save);

    std::vector<QPointer<QWidget>> owners_;
    long yields_ = 0;
    // Runs from construction; the last paint and the last event slice are readings of it
    // (the slice's is negative until the first).
    QElapsedTimer clock_;
    qint64 renderedAtNs_ = 0;
    qint64 eventsAtNs_ = -1;
    QTimer idle_;
};

}  // namespace kit
