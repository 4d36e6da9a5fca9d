#include "win32kit/Win32Host.h"

#include <commdlg.h>

#include "wd_utils.h"
#include "win32kit/CentredMessageBox.h"
#include "win32kit/Guard.h"
#include "win32kit/Surface.h"
#include "win32kit/Text.h"

namespace win32kit {

namespace {

// About 60 paints a second keep the windows live without slowing the 10,000 yields of a connect.
constexpr ULONGLONG kRenderIntervalMs = 16;
// USB attach/detach events arrive within this time while no operation yields.
constexpr UINT kIdlePumpMs = 20;

Win32Host* theHost = nullptr;

// "Text (*.txt;*.csv)" gives the pattern "*.txt;*.csv"; an entry without one matches everything.
std::wstring filterPattern(const std::string& filter) {
    const auto open = filter.find('(');
    const auto close = filter.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) {
        return L"*.*";
    }
    std::string pattern = filter.substr(open + 1, close - open - 1);
    for (char& c : pattern) {
        if (c == ' ') {
            c = ';';
        }
    }
    return wide(pattern);
}

}  // namespace

Win32Host::Win32Host() {
    theHost = this;
    lastRender_ = GetTickCount64();
    timer_ = SetTimer(nullptr, 0, kIdlePumpMs, &Win32Host::idlePump);
}

Win32Host::~Win32Host() {
    if (timer_ != 0) {
        KillTimer(nullptr, timer_);
    }
    theHost = nullptr;
}

void CALLBACK Win32Host::idlePump(HWND, UINT, UINT_PTR, DWORD) {
    guarded("board events", [] {
        if (theHost != nullptr && WDU_VB_PumpEvents() > 0) {
            theHost->renderAll();
        }
    });
}

void Win32Host::deliver(MSG& msg) {
    HWND root = msg.hwnd != nullptr ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (const auto keys = accelerators_.find(root);
        keys != accelerators_.end() && TranslateAcceleratorW(root, keys->second, &msg) != 0) {
        return;
    }
    if (root != nullptr && isKitWindow(root) && IsDialogMessageW(root, &msg)) {
        return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

bool Win32Host::pump() {
    MSG msg;
    while (!quitting_ && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quitting_ = true;
            quitCode_ = static_cast<int>(msg.wParam);
            return false;
        }
        deliver(msg);
    }
    return !quitting_;
}

void Win32Host::doEvents() {
    ++yields_;
    WDU_VB_PumpEvents();
    pump();
    if (GetTickCount64() - lastRender_ >= kRenderIntervalMs) {
        renderAll();
    }
}

void Win32Host::sleepMs(int ms) {
    renderAll();
    if (ms <= 0) {
        doEvents();
        return;
    }
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
    for (ULONGLONG t = GetTickCount64(); t < end && !quitting_; t = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - t), QS_ALLINPUT);
        pump();
    }
    renderAll();
}

int Win32Host::run() {
    MSG msg;
    while (!quitting_) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            quitting_ = true;
            quitCode_ = got == 0 ? static_cast<int>(msg.wParam) : 1;
            break;
        }
        deliver(msg);
    }
    return quitCode_;
}

form::MsgResult Win32Host::messageBox(const std::string& text, form::MsgButtons buttons,
                                      const std::string& title) {
    renderAll();
    const bool okCancel = buttons == form::MsgButtons::OkCancel;
    const int answer = centredMessageBox(GetActiveWindow(), wide(text), wide(title),
                                         okCancel ? MB_OKCANCEL : MB_OK);
    renderAll();
    return okCancel && answer != IDOK ? form::MsgResult::Cancel : form::MsgResult::Ok;
}

form::FileDialogResult Win32Host::openFileDialog(const form::FileDialogRequest& request) {
    return fileDialog(request, false);
}

form::FileDialogResult Win32Host::saveFileDialog(const form::FileDialogRequest& request) {
    return fileDialog(request, true);
}

form::FileDialogResult Win32Host::fileDialog(const form::FileDialogRequest& request, bool save) {
    renderAll();
    std::wstring filters;
    for (const auto& filter : request.filters) {
        filters += wide(filter) + L'\0' + filterPattern(filter) + L'\0';
    }
    filters += L'\0';
    std::wstring name(MAX_PATH * 4, L'\0');
    const std::wstring initial = wide(request.fileName);
    initial.copy(name.data(), std::min(initial.size(), name.size() - 1));
    const std::wstring title = wide(request.title);
    const std::wstring ext = wide(request.defaultExt);
    OPENFILENAMEW o{};
    o.lStructSize = sizeof o;
    o.hwndOwner = GetActiveWindow();
    o.lpstrFilter = request.filters.empty() ? nullptr : filters.c_str();
    o.nFilterIndex = static_cast<DWORD>(request.filterIndex + 1);
    o.lpstrFile = name.data();
    o.nMaxFile = static_cast<DWORD>(name.size());
    o.lpstrTitle = title.c_str();
    o.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
    o.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
              (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
    const BOOL chosen = save ? GetSaveFileNameW(&o) : GetOpenFileNameW(&o);
    form::FileDialogResult result;
    if (chosen != 0) {
        const std::wstring path(name.c_str());
        result.cancelled = false;
        result.path = narrow(path);
        result.title = narrow(std::wstring_view(path).substr(o.nFileOffset));
    }
    renderAll();
    return result;
}

form::LocalDateTime Win32Host::now() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

void Win32Host::setAccelerators(HWND window, HACCEL table) {
    if (table == nullptr) {
        accelerators_.erase(window);
    } else {
        accelerators_[window] = table;
    }
}

void Win32Host::painted() {
    lastRender_ = GetTickCount64();
}

}  // namespace win32kit
