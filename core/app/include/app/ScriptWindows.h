// The script windows of the application: the shared one that "Script Execution" shows, the
// further copies that "Open Another Script Processing Form" creates, and the run state they all
// share. It links each window to the application's main window and GPIO panel and has the
// navigator show the windows. The Application owns it.
#pragma once

#include <memory>
#include <vector>

#include "app/Application.h"
#include "app/Navigator.h"
#include "script/ScriptGpioLink.h"
#include "script/ScriptMainWindowLink.h"
#include "script/ScriptRunState.h"
#include "script/frmScriptOps.h"

namespace app {

class ScriptWindows {
  public:
    // Keeps both references; nothing is created before first use.
    ScriptWindows(Application& app, Navigator& navigator);
    ~ScriptWindows();
    ScriptWindows(const ScriptWindows&) = delete;
    ScriptWindows& operator=(const ScriptWindows&) = delete;

    // The run state every script window shares.
    script::ScriptRunState& runState() { return runState_; }

    // The shared window, created and loaded on first use and after it was closed; its load
    // asks the host for a script file at once.
    script::frmScriptOps& sharedWindow();
    // "Script Execution": loads the shared window if needed, makes it visible and has the
    // navigator show it.
    void showSharedWindow();
    // "Open Another Script Processing Form": a new window, loaded and shown.
    script::frmScriptOps& openAnother();
    // The user closed a window: it unloads (a run in it is aborted); the object stays valid
    // until collectClosed, so a handler still running in it ends safely.
    void close(script::frmScriptOps& window);
    // Frees closed windows; call it only while no handler runs (the gate is not busy).
    void collectClosed();
    // Every window that is loaded now, the shared one first.
    std::vector<script::frmScriptOps*> openWindows();

  private:
    class MainLink : public script::ScriptMainWindowLink {
      public:
        explicit MainLink(Application& app) : app_(app) {}
        void cmdUSBConnect_Click() override;
        void cmdUSBDisconnect_Click() override;
        board::I2cAddress consoleAddress() override;

      private:
        Application& app_;
    };
    class GpioLink : public script::ScriptGpioLink {
      public:
        explicit GpioLink(Application& app) : app_(app) {}
        void cmdGPIO_Write_Click() override;
        void cmdWrite_GPIO_Data_Click() override;
        bool exchangeAnswered() override;
        std::string txtPCHexData(int index) override;
        std::string txtPCHex(int index) override;

      private:
        Application& app_;
    };

    std::unique_ptr<script::frmScriptOps> makeWindow();
    void show(script::frmScriptOps& window);

    Application& app_;
    Navigator& navigator_;
    script::ScriptRunState runState_;
    MainLink mainLink_;
    GpioLink gpioLink_;
    std::unique_ptr<script::frmScriptOps> shared_;
    std::vector<std::unique_ptr<script::frmScriptOps>> others_;
    std::vector<std::unique_ptr<script::frmScriptOps>> closed_;
};

}  // namespace app
