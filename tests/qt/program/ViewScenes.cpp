// Shows one window of the program in a typical state on the simulated bridge board and waits,
// so scripts/screenshot.sh can photograph it. Scenes: "main" (register console after a test, a
// read and a read-all), "log" (the same, log tab shown), "gpio" (the GPIO panel after a write),
// "about" (the About box over the same main window).
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/Application.h"
#include "kit/QtHost.h"
#include "program/QtViews.h"

int main(int argc, char** argv) {
    const std::string scene = argc > 1 ? argv[1] : "main";
    if (scene != "main" && scene != "log" && scene != "gpio" && scene != "about") {
        std::fprintf(stderr, "usage: view_scenes main|log|gpio|about\n");
        return 2;
    }
    setenv("VELMORIX_BRIDGE", "sim", 0);
    QApplication qapp(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    program::QtViews::applyStyle();
    kit::QtHost host;
    program::QtViews views(host);
    app::Application& app = views.app();
    app.start();

    auto& main = app.mainWindow();
    main.cmdTestComm_Click();
    main.txtUserRegAdr.setText("02");
    main.cmdRead_Click();
    main.Reg_Desc[0].setText("Chip identity");
    main.Reg_Desc[2].setText("Status");
    main.cmdReadRegs_Click();
    main.Command7_Click();
    if (scene == "log") {
        main.SSTab1.Tab = 1;
    }
    if (scene == "gpio") {
        app.showGpioPanel();
        auto& panel = app.gpioPanel();
        panel.chkOutEn[0].Value = 1;
        panel.chkOutEn_Click(0);
        panel.cmdGPIO_Write_Click();
    }
    if (scene == "about") {
        main.frmAbout_Click();
    }
    host.renderAll();
    std::printf("ready\n");
    std::fflush(stdout);
    // Long enough for a photograph; the script ends it sooner.
    QTimer::singleShot(60000, &qapp, &QCoreApplication::quit);
    return QApplication::exec();
}
