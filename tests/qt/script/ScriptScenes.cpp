// Shows the script window with a demo script loaded and run on the built-in simulated bridge
// board (one read fails on purpose, the script was written back to disk) and waits, so
// scripts/screenshot.sh can photograph it. Scene: "script".
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "app/Application.h"
#include "app/ScriptWindows.h"
#include "kit/QtHost.h"
#include "program/QtViews.h"
#include "script/ScriptViews_view.h"

namespace {

const char* const kDemoScript =
    "# Demo script: identity, a register write and read-back, GPIO, a delay\r\n"
    "`A60            # device at 60\r\n"
    "02,,7A          # chip identity\r\n"
    "05,33           # write 33 to register 05\r\n"
    "05,,33          # read it back\r\n"
    "06,,00\r\n"
    "07,,01          # expects 01, reads 00\r\n"
    "`w20            # settle\r\n"
    "`GFFFF0000      # ports B and C as inputs\r\n"
    "`AA0\r\n"
    "0010,,FFFF      # two-byte register address\r\n"
    "`ENDM\r\n"
    "`EISTART\r\n"
    "11,,00          # clears the interrupt\r\n"
    "`EIEND\r\n";

// Answers the window's open dialog with the demo script.
class SceneHost : public kit::QtHost {
  public:
    std::string script;
    form::FileDialogResult openFileDialog(const form::FileDialogRequest&) override {
        form::FileDialogResult result;
        result.cancelled = false;
        result.path = script;
        result.title = "demo.txt";
        return result;
    }
};

}  // namespace

int main(int argc, char** argv) {
    const std::string scene = argc > 1 ? argv[1] : "script";
    if (scene != "script") {
        std::fprintf(stderr, "usage: script_scenes script\n");
        return 2;
    }
    setenv("VELMORIX_BRIDGE", "sim", 0);
    QApplication qapp(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    program::QtViews::applyStyle();
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no scratch folder\n");
        return 1;
    }
    SceneHost host;
    host.script = QDir(dir.path()).filePath("demo.txt").toStdString();
    std::ofstream(host.script, std::ios::binary) << kDemoScript;

    program::QtViews views(host);
    app::Application& app = views.app();
    app::ScriptWindows& scripts = app.scriptWindows();
    script::ScriptViews& scriptViews = views.scriptViews();
    app.start();
    app.mainWindow().mnu_ScriptShow_Click();

    auto& window = scripts.sharedWindow();
    window.cmdExecAll_Click();
    window.txtFilePath.setText(QDir(dir.path()).filePath("demo_out.txt").toStdString());
    window.cmdStartRec_Click();
    window.vbalGrid1.setSelectedRow(5);
    if (auto* view = scriptViews.viewOf(window)) {
        view->move(10, 10);
        view->raise();
    }
    host.renderAll();
    std::printf("ready\n");
    std::fflush(stdout);
    // Long enough for a photograph; the script ends it sooner.
    QTimer::singleShot(60000, &qapp, &QCoreApplication::quit);
    return QApplication::exec();
}
