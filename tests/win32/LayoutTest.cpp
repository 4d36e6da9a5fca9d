// The Win32 windows as a reviewer sees them: every entry of each control table has its window,
// no two shown controls of the same container overlap, and no control crosses its frame's
// border, on both tabs of the main window, in the GPIO panel, the About box and the start-up
// window. Also what a text box lets through, typed or pasted, and a handler that throws.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "about/frmAbout2.h"
#include "app/ScriptWindows.h"
#include "gpio/frmGPIO.h"
#include "script/frmScriptOps.h"
#include "startup/frmStartup.h"
#include "wd_utils.h"
#include "win32kit/Screen.h"
#include "win32kit/Surface.h"
#include "win32kit/Text.h"
#include "win32kit/Win32Host.h"
#include "win32program/Win32Views.h"

namespace {

RECT inParent(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// One line per table entry without a control of its name.
std::string missing(const win32kit::ControlBinder& binder, const form::ControlTable& table) {
    std::string out;
    for (const form::ControlEntry& e : table) {
        std::string name(e.name);
        if (e.index >= 0) {
            name += '_' + std::to_string(e.index);
        }
        bool found = false;
        for (const auto& b : binder.built()) {
            found = found || (b.name == name && IsWindow(b.window));
        }
        if (!found) {
            out += name + '\n';
        }
    }
    return out;
}

// One line per pair of shown controls of the same container that overlap.
std::string overlaps(const win32kit::ControlBinder& binder) {
    std::string out;
    const auto& built = binder.built();
    for (std::size_t a = 0; a < built.size(); ++a) {
        for (std::size_t b = a + 1; b < built.size(); ++b) {
            HWND x = built[a].window;
            HWND y = built[b].window;
            if (GetParent(x) != GetParent(y) || !IsWindowVisible(x) || !IsWindowVisible(y)) {
                continue;
            }
            RECT rx = inParent(x), ry = inParent(y), both{};
            if (IntersectRect(&both, &rx, &ry)) {
                out += built[a].name + " overlaps " + built[b].name + '\n';
            }
        }
    }
    return out;
}

// One line per shown control of a frame that lies on or outside the frame's border line (the
// caption's height at the top).
std::string outsideFrames(const win32kit::ControlBinder& binder) {
    std::string out;
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, win32kit::messageFont());
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    for (const auto& frame : binder.built()) {
        if (frame.kind != "Frame" || !IsWindowVisible(frame.window)) {
            continue;
        }
        RECT inside{};
        GetClientRect(frame.window, &inside);
        inside.top = metrics.tmHeight;
        InflateRect(&inside, -1, -1);
        for (const auto& c : binder.built()) {
            if (GetParent(c.window) != frame.window || !IsWindowVisible(c.window)) {
                continue;
            }
            RECT r = inParent(c.window), both{};
            IntersectRect(&both, &r, &inside);
            if (!EqualRect(&both, &r)) {
                out += c.name + " crosses the border of " + frame.name + '\n';
            }
        }
    }
    return out;
}

// The program's host, but a file dialog is cancelled at once: the script window asks for a file
// when it loads.
class NoDialogHost : public win32kit::Win32Host {
  public:
    form::FileDialogResult openFileDialog(const form::FileDialogRequest&) override { return {}; }
};

// The box's text as the user sees it.
std::wstring boxText(HWND box) {
    wchar_t text[64] = {};
    GetWindowTextW(box, text, 64);
    return text;
}

// Puts `text` on the clipboard; false when Windows refuses.
bool putOnClipboard(const std::wstring& text) {
    if (!OpenClipboard(nullptr)) {
        return false;
    }
    EmptyClipboard();
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (data != nullptr) {
        CopyMemory(GlobalLock(data), text.c_str(), bytes);
        GlobalUnlock(data);
        SetClipboardData(CF_UNICODETEXT, data);
    }
    CloseClipboard();
    return data != nullptr;
}

class Win32LayoutTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        _putenv_s("VELMORIX_BRIDGE", "sim");
        ASSERT_EQ(WDU_SelectBridge(nullptr), WD_STATUS_SUCCESS);
        host = new NoDialogHost;
        views = new win32program::Win32Views(*host);
        views->app().start();
        views->app().showGpioPanel();
        views->app().showAboutBox();
        host->renderAll();
    }
    static void TearDownTestSuite() {
        delete views;
        delete host;
    }

    static inline NoDialogHost* host = nullptr;
    static inline win32program::Win32Views* views = nullptr;
};

TEST_F(Win32LayoutTest, MainWindow_BothTabs_EveryControlBuiltNoneOverlapping) {
    ASSERT_NE(views->mainView(), nullptr);
    auto& model = views->app().mainWindow();
    auto& binder = views->mainView()->binder();
    EXPECT_EQ(missing(binder, model.controls()), "");
    for (int tab = 0; tab < 2; ++tab) {
        model.SSTab1.Tab = tab;
        host->renderAll();
        EXPECT_EQ(overlaps(binder), "") << "tab " << tab;
        EXPECT_EQ(outsideFrames(binder), "") << "tab " << tab;
    }
    model.SSTab1.Tab = 0;
    host->renderAll();
    EXPECT_TRUE(IsWindowVisible(binder.window(model.txtI2CAdr)));
}

TEST_F(Win32LayoutTest, PanelAboutAndStartup_EveryControlBuiltNoneOverlapping) {
    ASSERT_NE(views->gpioView(), nullptr);
    ASSERT_NE(views->aboutView(), nullptr);
    ASSERT_NE(views->startupView(), nullptr);
    auto& gpio = views->app().gpioPanel();
    auto& about = views->app().aboutBox();
    auto& startup = views->app().startupWindow();
    EXPECT_EQ(missing(views->gpioView()->binder(), gpio.controls()), "");
    EXPECT_EQ(missing(views->aboutView()->binder(), about.controls()), "");
    EXPECT_EQ(missing(views->startupView()->binder(), startup.controls()), "");
    // The start-up window is hidden once the main window shows: its controls are checked while
    // it shows.
    ShowWindow(views->startupView()->handle(), SW_SHOWNA);
    for (auto* binder : {&views->gpioView()->binder(), &views->aboutView()->binder(),
                         &views->startupView()->binder()}) {
        EXPECT_EQ(overlaps(*binder), "");
        EXPECT_EQ(outsideFrames(*binder), "");
    }
    ShowWindow(views->startupView()->handle(), SW_HIDE);
}

// The script window's address box takes hex digits only (a-f typed become A-F): a character
// beyond Latin-1 is refused like any other, and a paste (WM_PASTE, or Ctrl+V) types only what
// the box's key handler keeps.
TEST_F(Win32LayoutTest, HexBox_TypedOrPasted_KeepsWhatTheModelKeeps) {
    views->app().showScriptWindow();
    auto& model = views->app().scriptWindows().sharedWindow();
    ASSERT_NE(views->scriptView(model), nullptr);
    HWND box = views->scriptView(model)->window().binder().window(model.txtI2CAdr);
    ASSERT_NE(box, nullptr);
    struct Case {
        const wchar_t* typed;
        const wchar_t* pasted;
        bool byCtrlV;
        const wchar_t* shows;
    };
    const Case cases[] = {
        {L"\u0100\u4e2d\u20ac", nullptr, false, L""},
        {L"a\u00ff\u0101\u03b1", nullptr, false, L"A"},
        {L"", L"1g\u0101b\u00e9\r\n2", false, L"1B2"},
        {L"c", L"z\u4e2dd", true, L"CD"},
    };
    for (const Case& c : cases) {
        SetWindowTextW(box, L"");
        for (const wchar_t* k = c.typed; *k != 0; ++k) {
            SendMessageW(box, WM_CHAR, *k, 0);
        }
        if (c.pasted != nullptr) {
            ASSERT_TRUE(putOnClipboard(c.pasted));
            if (c.byCtrlV) {
                SendMessageW(box, WM_CHAR, 0x16, 0);
            } else {
                SendMessageW(box, WM_PASTE, 0, 0);
            }
        }
        host->renderAll();
        EXPECT_EQ(boxText(box), c.shows) << win32kit::narrow(c.typed);
        EXPECT_EQ(win32kit::wide(model.txtI2CAdr.Text()), c.shows);
    }
}

// The script grid shows the model's rows and cells, and follows a change of one cell or of the
// row count.
TEST_F(Win32LayoutTest, ScriptGrid_FollowsTheModel) {
    views->app().showScriptWindow();
    auto& model = views->app().scriptWindows().sharedWindow();
    ASSERT_NE(views->scriptView(model), nullptr);
    HWND grid = views->scriptView(model)->grid();
    auto& cells = model.vbalGrid1;
    ASSERT_GE(cells.Columns(), 2);
    const auto shown = [grid](int row, int column) {
        wchar_t text[64] = {};
        LVITEMW item{};
        item.iSubItem = column - 1;
        item.pszText = text;
        item.cchTextMax = 64;
        SendMessageW(grid, LVM_GETITEMTEXTW, static_cast<WPARAM>(row - 1),
                     reinterpret_cast<LPARAM>(&item));
        return win32kit::narrow(text);
    };
    for (int rows : {3, 5, 2}) {
        cells.setRows(rows);
        cells.setCellText(rows, 2, "R" + std::to_string(rows));
        host->renderAll();
        EXPECT_EQ(SendMessageW(grid, LVM_GETITEMCOUNT, 0, 0), rows);
        EXPECT_EQ(shown(rows, 2), "R" + std::to_string(rows));
        EXPECT_EQ(shown(1, 1), cells.CellText(1, 1));
    }
}

// A message handler that throws: the message gets the default handling, the failure is
// reported, and the window and the program go on.
TEST(Win32Boundary, HandlerThrows_MessageDefaultedProgramGoesOn) {
    struct Thrower : win32kit::MessageTarget {
        int seen = 0;
        bool onMessage(HWND, UINT message, WPARAM, LPARAM, LRESULT& result) override {
            if (message != WM_APP + 7) {
                return false;
            }
            if (++seen == 1) {
                throw std::runtime_error("test handler fails");
            }
            result = 42;
            return true;
        }
    } target;
    HWND w =
        win32kit::createTopWindow(L"boundary", WS_OVERLAPPEDWINDOW, 100, 100, nullptr, &target);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(SendMessageW(w, WM_APP + 7, 0, 0), 0);
    EXPECT_TRUE(IsWindow(w));
    EXPECT_EQ(SendMessageW(w, WM_APP + 7, 0, 0), 42);
    DestroyWindow(w);
}

}  // namespace
