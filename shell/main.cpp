// Velmorix_I2C_Comm: the register console on Qt. The bridge board is chosen by VELMORIX_BRIDGE
// (unset or "usb" for a real board, "sim" for the simulated one).
#include <QApplication>

#include "shell/Application.h"
#include "shell/QtHost_view.h"
#include "shell/QtViews_view.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    // The program ends when the main window unloads, not when its last window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    shell::QtViews::applyStyle();
    shell::QtHost host;
    shell::Application app(host);
    shell::QtViews views(app, host);
    // The start-up window's load: the main window loads (one connect and disconnect, the
    // initial GPIO write) and shows.
    app.start();
    if (app.quitRequested()) {
        return 0;
    }
    return QApplication::exec();
}
