// Velmorix_I2C_Comm.exe: the register console, the GPIO panel, the script windows, the Register
// Map window, the About box and the start-up window on Win32. The bridge board is chosen by
// --bridge, else VELMORIX_BRIDGE, else a real board through USB; --help, --version and
// --bridge-forms answer in a message box before any window. VELMORIX_WIN32_STATE names a file that
// receives the main window's controls (name, place on the screen) once it shows, and their texts
// when the program ends: the tests under Wine read it.
#include <windows.h>

#include <commctrl.h>

#include <shellapi.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/ProgramOptions.h"
#include "board/BridgeForms.h"
#include "board/Version.h"
#include "wd_utils.h"
#include "win32kit/Text.h"
#include "win32kit/Win32Host.h"
#include "win32program/Win32Views.h"

namespace {

void tell(const std::string& text, UINT icon) {
    MessageBoxW(nullptr, win32kit::wide(text).c_str(), L"Velmorix I2C Comm", MB_OK | icon);
}

// Names the bridge from --bridge, else VELMORIX_BRIDGE; a bridge that cannot be had stops the
// program before any window opens, with the layer's reason: running on no board would hide the
// mistake.
bool bridgeChosen(const std::optional<std::string>& bridge) {
    if (WDU_SelectBridge(bridge ? bridge->c_str() : nullptr) == WD_STATUS_SUCCESS) {
        return true;
    }
    tell(WDU_BridgeError(), MB_ICONERROR);
    return false;
}

// The arguments after the program's name, as UTF-8.
std::vector<std::string> arguments() {
    std::vector<std::string> args;
    int count = 0;
    if (LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i) {
            args.push_back(win32kit::narrow(list[i]));
        }
        LocalFree(list);
    }
    return args;
}

std::wstring stateFile() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(L"VELMORIX_WIN32_STATE", path, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(path, n) : std::wstring();
}

// Appends `text` to the state file; nothing when none is named or it cannot be written.
void writeState(const std::wstring& file, const std::string& text) {
    if (file.empty()) {
        return;
    }
    if (FILE* f = _wfopen(file.c_str(), L"ab")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
}

// The file that remembers the register-map window's last map between runs, in the local
// application data folder as the Qt program keeps it; "" (nothing remembered) without one.
std::string registerMapMemory() {
    wchar_t base[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", base, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        return {};
    }
    const std::wstring folder = std::wstring(base, n) + L"\\velmorix";
    CreateDirectoryW(folder.c_str(), nullptr);
    const DWORD kind = GetFileAttributesW(folder.c_str());
    if (kind == INVALID_FILE_ATTRIBUTES || (kind & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return {};
    }
    return win32kit::narrow(folder + L"\\register-map");
}

// Every control of the main window with its rectangle on the screen and whether it shows.
std::string layout(win32views::ConsoleWindow& view) {
    std::string out;
    for (const auto& b : view.binder().built()) {
        RECT r{};
        GetWindowRect(b.window, &r);
        out += "place\t" + b.name + '\t' + std::to_string(r.left) + '\t' + std::to_string(r.top) +
               '\t' + std::to_string(r.right) + '\t' + std::to_string(r.bottom) + '\t' +
               (IsWindowVisible(b.window) ? "shown" : "hidden") + '\n';
    }
    return out;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES |
                                                       ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    std::string error;
    const auto options = app::parseProgramOptions(arguments(), error);
    if (!options) {
        tell(error, MB_ICONERROR);
        return 2;
    }
    if (options->help || options->version || options->bridgeForms) {
        tell(options->help      ? app::programUsage(WDU_BridgeForms())
             : options->version ? std::string("Velmorix_I2C_Comm ") + velmorix::kVersionText
                                : board::bridgeFormLines(),
             MB_ICONINFORMATION);
        return 0;
    }
    if (!bridgeChosen(options->bridge)) {
        return 2;
    }
    const std::wstring state = stateFile();
    win32kit::Win32Host host;
    win32program::Win32Views views(host);
    app::Application& app = views.app();
    app.setRegisterMapMemory(registerMapMemory());
    // The start-up window loads and hides itself; the main window loads (one connect and
    // disconnect, the initial GPIO write) and shows.
    app.start();
    if (app.quitRequested()) {
        return 0;
    }
    if (auto* main = views.mainView()) {
        writeState(state, layout(*main));
    }
    const int code = host.run();
    if (auto* main = views.mainView()) {
        writeState(state,
                   "caption\t" + app.mainWindow().Caption + '\n' + main->binder().describe());
    }
    return code;
}
