// Velmorix_I2C_Comm: the register console, the GPIO panel and the script windows on Qt. The bridge
// board is chosen by VELMORIX_BRIDGE (unset or "usb" for a real board, "sim" for the simulated
// one).
#include <QApplication>

#include "script/ScriptViews_view.h"
#include "shell/Application.h"
#include "shell/QtHost_view.h"
#include "shell/QtViews_view.h"
#include "shell/ScriptWindows.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    // The program ends when the main window unloads, not when its last window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    shell::QtViews::applyStyle();
    shell::QtHost host;
    shell::Application app(host);
    shell::QtViews views(app, host);
    // "Script Execution" and "Open Another Script Processing Form" open script windows.
    shell::ScriptWindows scripts(app);
    script::ScriptViews scriptViews(app, host, scripts);
    // The start-up window's load: the main window loads (one connect and disconnect, the
    // initial GPIO write) and shows.
    app.start();
    if (app.quitRequested()) {
        return 0;
    }
    return QApplication::exec();
}
