// Velmorix_I2C_Comm: the register console, the GPIO panel, the script windows and the About box
// on Qt. The bridge board is chosen by VELMORIX_BRIDGE (unset or "usb" for a real board, "sim" or
// "sim:FILE" for a simulated one, and on Linux "i2cdev:PATH" for a kernel I2C adapter such as
// /dev/i2c-1).
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QStandardPaths>
#include <iostream>
#include <string>

#include "app/Application.h"
#include "kit/QtHost.h"
#include "program/QtViews.h"
#include "wd_utils.h"

namespace {

// Names the bridge from VELMORIX_BRIDGE. A bridge that cannot be had (a simulation file that
// cannot be read, a value naming no bridge) stops the program before any window opens, with the
// layer's reason (for a file: the file, key and problem): running on no board would hide the
// mistake.
bool bridgeChosen() {
    if (WDU_SelectBridge(nullptr) == WD_STATUS_SUCCESS) {
        return true;
    }
    const std::string reason = WDU_BridgeError();
    std::cerr << "Velmorix_I2C_Comm: " << reason << '\n';
    QMessageBox::critical(nullptr, "Velmorix I2C Comm", QString::fromStdString(reason));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    // The program ends when the main window unloads, not when its last window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    program::QtViews::applyStyle();
    if (!bridgeChosen()) {
        return 2;
    }
    kit::QtHost host;
    program::QtViews views(host);
    app::Application& app = views.app();
    // The one thing the program remembers between runs: the register-map window's last map.
    const QString settings =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/velmorix";
    if (QDir().mkpath(settings)) {
        app.setRegisterMapMemory((settings + "/register-map").toStdString());
    }
    // The start-up window loads and hides itself; the main window loads (one connect and
    // disconnect, the initial GPIO write) and shows.
    app.start();
    if (app.quitRequested()) {
        return 0;
    }
    return QApplication::exec();
}
