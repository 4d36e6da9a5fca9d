// Velmorix_I2C_Comm: the register console, the GPIO panel, the script windows and the About box
// on Qt. The bridge board is chosen by --bridge, else VELMORIX_BRIDGE, else a real board through
// USB. --help, --version and --bridge-forms answer before any window, without a display.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QStandardPaths>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/ProgramOptions.h"
#include "board/BridgeForms.h"
#include "board/TextHelpers.h"
#include "board/Version.h"
#include "kit/QtHost.h"
#include "program/FontWarmup.h"
#include "program/QtViews.h"
#include "program/SessionBusWarmup.h"
#include "wd_utils.h"

namespace {

// Whether a message box can be seen: a display to show it on, and a platform that shows it.
bool displayAvailable() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform == "offscreen" || platform == "minimal") {
        return false;
    }
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    return true;
#else
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
#endif
}

// Names the bridge from --bridge, else from VELMORIX_BRIDGE. A bridge that cannot be had (a
// simulation file that cannot be read, a value naming no bridge) stops the program before any
// window opens, with the layer's reason (for a file: the file, key and problem) on stderr and,
// where there is a display, in a message box: running on no board would hide the mistake.
bool bridgeChosen(const std::optional<std::string>& bridge, int& argc, char** argv) {
    if (WDU_SelectBridge(bridge ? bridge->c_str() : nullptr) == WD_STATUS_SUCCESS) {
        return true;
    }
    const std::string reason = WDU_BridgeError();
    std::cerr << board::kProgramTitle << ": " << reason << '\n';
    if (displayAvailable()) {
        QApplication qapp(argc, argv);
        QMessageBox::critical(nullptr, "Velmorix I2C Comm", QString::fromStdString(reason));
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options =
        app::parseProgramOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << board::kProgramTitle << ": " << error << '\n';
        return 2;
    }
    if (options->help) {
        std::cout << app::programUsage(WDU_BridgeForms());
        return 0;
    }
    if (options->bridgeForms) {
        std::cout << board::bridgeFormLines();
        return 0;
    }
    if (options->version) {
        std::cout << board::kProgramTitle << ' ' << velmorix::kVersionText << '\n';
        return 0;
    }
    if (!bridgeChosen(options->bridge, argc, argv)) {
        return 2;
    }
    // The font configuration is read while the display connection opens. Started only once the
    // program will run: an early exit would leave the configuration it made unreleased.
    program::FontWarmup fonts;
    QApplication qapp(argc, argv);
    fonts.applicationReady();
    const program::SessionBusWarmup sessionBus;
    // The program ends when the main window unloads, not when its last window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    program::QtViews::applyStyle();
    kit::QtHost host;
    program::QtViews views(host);
    app::Application& app = views.app();
    // The one thing the program remembers between runs: the register-map window's last map.
    const QString settings =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/velmorix";
    if (QDir().mkpath(settings)) {
        app.setRegisterMapMemory((settings + "/register-map").toStdString());
    }
    fonts.waitForConfiguration();
    // The start-up window loads and hides itself; the main window loads (one connect and
    // disconnect, the initial GPIO write) and shows.
    app.start();
    fonts.finish();
    if (app.quitRequested()) {
        return 0;
    }
    return QApplication::exec();
}
