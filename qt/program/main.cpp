// Velmorix_I2C_Comm: the register console, the GPIO panel and the script windows on Qt. The bridge
// board is chosen by VELMORIX_BRIDGE (unset or "usb" for a real board, "sim" for the simulated
// one).
#include <QApplication>
#include <QMessageBox>
#include <cstdlib>
#include <iostream>
#include <string_view>

#include "app/Application.h"
#include "kit/QtHost.h"
#include "program/QtViews.h"
#include "wdu_sim.h"

namespace {

// A simulation file that cannot be read stops the program before any window opens, with the
// reader's reason (file, key and problem): running on no board would hide the mistake.
bool simulationReadable() {
    const char* bridge = std::getenv("VELMORIX_BRIDGE");
    if (bridge == nullptr || !std::string_view(bridge).starts_with("sim")) {
        return true;
    }
    if (wdu::simulatedBoard() != nullptr) {
        return true;
    }
    const std::string reason = wdu::backendError();
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
    if (!simulationReadable()) {
        return 2;
    }
    kit::QtHost host;
    program::QtViews views(host);
    app::Application& app = views.app();
    // The start-up window's load: the main window loads (one connect and disconnect, the
    // initial GPIO write) and shows.
    app.start();
    if (app.quitRequested()) {
        return 0;
    }
    return QApplication::exec();
}
