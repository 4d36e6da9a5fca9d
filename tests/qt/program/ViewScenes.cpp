// Shows one window of the program in a typical state on the simulated bridge board and waits,
// so scripts/screenshot.sh can photograph it. Scenes: "main" (register console after a test, a
// read and a read-all), "log" (the same, log tab shown), "gpio" (the GPIO panel after a write),
// "setup" (the register console right after the setup file demo.kvx was opened), "about" (the
// About box over the same main window), "regmap" (the Register Map window with a map read, one
// field written and one register expanded).
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/Application.h"
#include "kit/QtHost.h"
#include "program/QtViews.h"

namespace {

// The register definitions of the simulated board's device at 60, as a setup file.
std::string demoSetupFile() {
    static const char* const kRows[] = {
        "00,Control,01,",        "01,\"Gain, coarse\",1F,",
        "02,Chip identity,,7A",  "03,Gain fine,80,",
        "04,Status,,",           "05,Revision,,7A",
        "06,Interrupt mask,0F,", "07,Interrupt flags,,",
    };
    std::string text = "I2C ADDRESS , 60\r\n";
    for (int i = 0; i < 32; ++i) {
        if (i < 8) {
            text += kRows[i];
        } else {
            const char* const hex = "0123456789ABCDEF";
            text += std::string{hex[i / 16], hex[i % 16]} + ",,,";
        }
        text += "\r\n";
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string scene = argc > 1 ? argv[1] : "main";
    if (scene != "main" && scene != "log" && scene != "gpio" && scene != "setup" &&
        scene != "about" && scene != "regmap") {
        std::fprintf(stderr, "usage: view_scenes main|log|gpio|setup|about|regmap\n");
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
    if (scene == "setup") {
        const std::filesystem::path dir =
            std::filesystem::temp_directory_path() / ("view_scenes_" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        const std::string file = (dir / "demo.kvx").string();
        std::ofstream(file, std::ios::binary) << demoSetupFile();
        const bool read = main.Read_Param_File(file, "demo.kvx");
        std::filesystem::remove_all(dir);
        if (!read) {
            std::fprintf(stderr, "the demo setup file did not read\n");
            return 1;
        }
    } else {
        main.cmdTestComm_Click();
        main.txtUserRegAdr.setText("02");
        main.cmdRead_Click();
        main.Reg_Desc[0].setText("Chip identity");
        main.Reg_Desc[2].setText("Status");
        main.cmdReadRegs_Click();
        main.Command7_Click();
    }
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
    if (scene == "regmap") {
        main.mnuRegisterMap_Click();
        auto& window = app.registerMap();
        if (!window.openMap(std::string(VELMORIX_MAPS_DIR) + "/sensor2009.xml")) {
            std::fprintf(stderr, "the demo map did not read\n");
            return 1;
        }
        window.cmdReadAll_Click();
        const auto& regs = window.map()->registers;
        const auto ctrl = static_cast<std::size_t>(window.map()->named("CTRL") - regs.data());
        window.writeField(ctrl, *regs[ctrl].field("MODE"), "CONTINUOUS");
        host.renderAll();
        auto* view = views.registerMapView();
        view->tree()->expand(view->items().index(static_cast<int>(ctrl), 0));
        view->resize(720, 360);
    }
    host.renderAll();
    std::printf("ready\n");
    std::fflush(stdout);
    // Long enough for a photograph; the script ends it sooner.
    QTimer::singleShot(60000, &qapp, &QCoreApplication::quit);
    return QApplication::exec();
}
