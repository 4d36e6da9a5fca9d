// The Win32 windows as a reviewer sees them: every entry of each control table has its window,
// no two shown controls of the same container overlap, and no control crosses its frame's
// border, on both tabs of the main window, in the GPIO panel, the About box and the start-up
// window, at the screen's DPI and after a move to a screen of 144 DPI. Also what a text box lets
// through, typed or pasted, a handler that throws, a message box over its window, the script
// grid's tips and "File" > "Capture..."; and the "Register Map" window: its menu entry, its tool
// row, its rows, the rules of its field editor and its move to 144 DPI.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "about/frmAbout2.h"
#include "app/ScriptWindows.h"
#include "gpio/frmGPIO.h"
#include "regmap/frmRegisterMap.h"
#include "script/frmScriptOps.h"
#include "startup/frmStartup.h"
#include "wd_utils.h"
#include "win32kit/Scale.h"
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
std::string outsideFrames(win32kit::ControlBinder& binder) {
    std::string out;
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, binder.scale().messageFont());
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

// The program's host, but an open dialog is cancelled at once (the script window asks for a file
// when it loads), a save dialog answers `savePath` (cancelled when empty) and a message box is
// only noted.
class NoDialogHost : public win32kit::Win32Host {
  public:
    form::FileDialogResult openFileDialog(const form::FileDialogRequest&) override { return {}; }
    form::FileDialogResult saveFileDialog(const form::FileDialogRequest&) override {
        form::FileDialogResult chosen;
        chosen.cancelled = savePath.empty();
        chosen.path = savePath;
        return chosen;
    }
    form::MsgResult messageBox(const std::string& text, form::MsgButtons,
                               const std::string&) override {
        boxes.push_back(text);
        return form::MsgResult::Ok;
    }

    std::string savePath;
    std::vector<std::string> boxes;
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

// The rectangles of a binder's controls in their parents.
std::vector<RECT> places(const win32kit::ControlBinder& binder) {
    std::vector<RECT> out;
    for (const auto& b : binder.built()) {
        out.push_back(inParent(b.window));
    }
    return out;
}

// The pixel height of the font a window draws with; 0 for none.
int fontHeight(HWND w) {
    LOGFONTW font{};
    const auto handle = reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0));
    return handle != nullptr && GetObjectW(handle, sizeof font, &font) != 0
               ? std::abs(font.lfHeight)
               : 0;
}

// Each window moved to a screen of 1.5 times the DPI: every control takes 1.5 times its place
// and a text box's font 1.5 times its height, none overlap or cross a frame; moved back, every
// control is where it was.
TEST_F(Win32LayoutTest, DpiChanged_ControlsScaledNoneOverlapping) {
    views->app().showScriptWindow();
    auto& script = views->app().scriptWindows().sharedWindow();
    ASSERT_NE(views->scriptView(script), nullptr);
    struct Case {
        const char* name;
        HWND window;
        win32kit::ControlBinder& binder;
    };
    const Case cases[] = {
        {"main", views->mainView()->handle(), views->mainView()->binder()},
        {"gpio", views->gpioView()->handle(), views->gpioView()->binder()},
        {"about", views->aboutView()->handle(), views->aboutView()->binder()},
        {"script", views->scriptView(script)->window().handle(),
         views->scriptView(script)->window().binder()},
    };
    for (const Case& c : cases) {
        const int from = c.binder.scale().dpi();
        const int to = from * 3 / 2;
        const std::vector<RECT> before = places(c.binder);
        HWND box = nullptr;
        for (const auto& b : c.binder.built()) {
            box = box == nullptr && b.kind == "TextBox" ? b.window : box;
        }
        const int fontBefore = box != nullptr ? fontHeight(box) : 0;
        RECT outer{};
        GetWindowRect(c.window, &outer);
        // The client area 1.5 times as large; the borders as they were (Wine draws its own).
        RECT client{};
        GetClientRect(c.window, &client);
        RECT suggested{outer.left, outer.top, outer.right + client.right / 2,
                       outer.bottom + client.bottom / 2};
        SendMessageW(c.window, win32kit::kDpiChanged, MAKEWPARAM(to, to),
                     reinterpret_cast<LPARAM>(&suggested));
        host->renderAll();
        EXPECT_EQ(c.binder.scale().dpi(), to) << c.name;
        const std::vector<RECT> after = places(c.binder);
        for (std::size_t k = 0; k < after.size(); ++k) {
            const std::string& name = c.binder.built()[k].name;
            EXPECT_NEAR(after[k].left, before[k].left * 3 / 2, 2) << c.name << ' ' << name;
            EXPECT_NEAR(after[k].top, before[k].top * 3 / 2, 2) << c.name << ' ' << name;
            EXPECT_NEAR(after[k].right - after[k].left, (before[k].right - before[k].left) * 3 / 2,
                        2)
                << c.name << ' ' << name;
            EXPECT_NEAR(after[k].bottom - after[k].top, (before[k].bottom - before[k].top) * 3 / 2,
                        2)
                << c.name << ' ' << name;
        }
        if (box != nullptr) {
            EXPECT_NEAR(fontHeight(box), fontBefore * 3 / 2, 1) << c.name;
        }
        EXPECT_EQ(overlaps(c.binder), "") << c.name;
        EXPECT_EQ(outsideFrames(c.binder), "") << c.name;

        SendMessageW(c.window, win32kit::kDpiChanged, MAKEWPARAM(from, from),
                     reinterpret_cast<LPARAM>(&outer));
        host->renderAll();
        const std::vector<RECT> back = places(c.binder);
        for (std::size_t k = 0; k < back.size(); ++k) {
            EXPECT_TRUE(EqualRect(&back[k], &before[k]))
                << c.name << ' ' << c.binder.built()[k].name;
        }
        if (box != nullptr) {
            EXPECT_EQ(fontHeight(box), fontBefore) << c.name;
        }
    }
}

// A message box stands centred on the window that raised it wherever that window is, not on the
// screen.
TEST_F(Win32LayoutTest, MessageBox_CentredOnTheActiveWindow) {
    HWND owner = views->gpioView()->handle();
    views->gpioView()->show();
    // Where the box showed; the timer notes it and closes the box.
    static RECT shown;
    for (POINT at : {POINT{20, 30}, POINT{520, 410}}) {
        SetWindowPos(owner, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        SetActiveWindow(owner);
        ASSERT_EQ(GetActiveWindow(), owner);
        shown = RECT{};
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
            EnumThreadWindows(
                GetCurrentThreadId(),
                [](HWND w, LPARAM) -> BOOL {
                    wchar_t name[16] = {};
                    GetClassNameW(w, name, 16);
                    if (lstrcmpW(name, L"#32770") != 0 || !IsWindowVisible(w)) {
                        return TRUE;
                    }
                    GetWindowRect(w, &shown);
                    PostMessageW(w, WM_COMMAND, IDOK, 0);
                    return FALSE;
                },
                0);
        });
        host->win32kit::Win32Host::messageBox("Centred on its window", form::MsgButtons::Ok,
                                              "Placement");
        KillTimer(nullptr, timer);
        RECT o{};
        GetWindowRect(owner, &o);
        ASSERT_GT(shown.right, shown.left);
        EXPECT_NEAR((shown.left + shown.right) / 2, (o.left + o.right) / 2, 2) << at.x;
        EXPECT_NEAR((shown.top + shown.bottom) / 2, (o.top + o.bottom) / 2, 2) << at.y;
    }
}

// The pointer on a row's line-number cell shows the row's findings as a tip; another cell of the
// row shows none; resting there changes nothing in the grid.
TEST_F(Win32LayoutTest, ScriptGrid_LineCellTipShowsFindings) {
    const auto path = std::filesystem::temp_directory_path() / "velmorix-tip-test.txt";
    std::ofstream(path, std::ios::binary) << "00,,00\r\n`Q\r\n`ENDM\r\n";
    views->app().showScriptWindow();
    auto& model = views->app().scriptWindows().sharedWindow();
    ASSERT_TRUE(model.openScript(path.string()));
    host->renderAll();
    auto* view = views->scriptView(model);
    ASSERT_NE(view, nullptr);
    const auto& cells = model.vbalGrid1;
    int row = 0;
    for (int r = cells.Rows(); r >= 1; --r) {
        row = cells.cell(r, 1).tip.empty() ? row : r;
    }
    ASSERT_GT(row, 0);
    const std::string tip = cells.cell(row, 1).tip;
    EXPECT_NE(tip.find("not a command"), std::string::npos) << tip;
    const auto pointAt = [grid = view->grid(), row](int column) {
        RECT r{};
        r.top = column - 1;
        r.left = column == 1 ? LVIR_LABEL : LVIR_BOUNDS;
        SendMessageW(grid, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row - 1),
                     reinterpret_cast<LPARAM>(&r));
        SendMessageW(grid, WM_MOUSEMOVE, 0,
                     MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    };
    const auto tipShown = [tips = view->tips()]() -> std::string {
        if (SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0) == 0) {
            return "";
        }
        wchar_t text[1024] = {};
        TTTOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.lpszText = text;
        SendMessageW(tips, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool));
        return win32kit::narrow(text);
    };
    const auto revision = cells.revision();
    struct Case {
        int column;
        std::string tip;
    };
    for (const Case& c : {Case{1, tip}, Case{8, ""}, Case{1, tip}}) {
        pointAt(c.column);
        EXPECT_EQ(tipShown(), c.tip) << "column " << c.column;
    }
    EXPECT_EQ(cells.revision(), revision);
    std::filesystem::remove(path);
}

// "File" > "Capture..." starts a capture to the chosen file and "Stop Capture" ends it: the menu
// entry's caption and check mark show which, and the log has a line each time. A file that
// cannot be written gives a message box and no capture.
TEST_F(Win32LayoutTest, CaptureMenu_StartsAndStops_CaptionAndCheckMarkFollow) {
    auto* main = views->mainView();
    ASSERT_NE(main, nullptr);
    auto& model = views->app().mainWindow();
    HMENU file = GetSubMenu(main->binder().menuBar(), 0);
    // The capture entry's position in "File"; -1 when there is none.
    const auto position = [file] {
        for (int k = 0; k < GetMenuItemCount(file); ++k) {
            wchar_t text[64] = {};
            GetMenuStringW(file, static_cast<UINT>(k), text, 64, MF_BYPOSITION);
            if (std::wstring(text).find(L"Capture") != std::wstring::npos) {
                return k;
            }
        }
        return -1;
    };
    ASSERT_GE(position(), 0);
    const auto dir = std::filesystem::temp_directory_path() / "velmorix-capture-test";
    std::filesystem::create_directories(dir);
    const std::string good = (dir / "bus.pcapng").string();
    const std::string bad = (dir / "missing" / "bus.pcapng").string();
    struct Step {
        std::string path;
        std::wstring caption;
        bool checked;
        std::string logged;
    };
    const Step steps[] = {
        {bad, L"Capture...", false, "Cannot write capture " + bad},
        {good, L"Stop Capture", true, "Capture started: " + good},
        {"", L"Capture...", false, "Capture stopped: " + good},
    };
    host->boxes.clear();
    for (const Step& step : steps) {
        host->savePath = step.path;
        const auto id = GetMenuItemID(file, position());
        SendMessageW(main->handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
        host->renderAll();
        wchar_t text[64] = {};
        GetMenuStringW(file, static_cast<UINT>(position()), text, 64, MF_BYPOSITION);
        EXPECT_EQ(text, step.caption);
        EXPECT_EQ(
            (GetMenuState(file, static_cast<UINT>(position()), MF_BYPOSITION) & MF_CHECKED) != 0,
            step.checked)
            << step.logged;
        EXPECT_NE(model.Txtlog.Text().find(step.logged), std::string::npos) << step.logged;
    }
    ASSERT_EQ(host->boxes.size(), 1u);
    EXPECT_EQ(host->boxes[0].rfind("Cannot write capture " + bad, 0), 0u) << host->boxes[0];
    char magic[4] = {};
    std::ifstream(good, std::ios::binary).read(magic, 4);
    EXPECT_EQ(std::string(magic, 4), std::string("\x0a\x0d\x0d\x0a", 4));
    host->savePath.clear();
    std::filesystem::remove_all(dir);
}

// The "Register Map" window as the user meets it: last in File > Open, a tool row of controls
// that do not overlap, Read All painting values and marks, rows that expand with Right, and the
// filter.
class Win32RegisterMapTest : public Win32LayoutTest {
  protected:
    void SetUp() override {
        if (!VELMORIX_MAP_FILES) {
            GTEST_SKIP() << "this build reads no map files (no libxml2)";
        }
        HMENU open = GetSubMenu(GetSubMenu(GetMenu(views->mainView()->handle()), 0), 0);
        ASSERT_NE(open, nullptr);
        const int entries = GetMenuItemCount(open);
        wchar_t last[64] = {};
        GetMenuStringW(open, static_cast<UINT>(entries - 1), last, 64, MF_BYPOSITION);
        EXPECT_EQ(win32kit::narrow(last), "Register Map...");
        SendMessageW(views->mainView()->handle(), WM_COMMAND, GetMenuItemID(open, entries - 1), 0);
        ASSERT_NE(views->registerMapView(), nullptr);
        ASSERT_TRUE(model().openMap(std::string(VELMORIX_MAPS_DIR) + "/sensor2009.xml"));
        host->renderAll();
        SendMessageW(control("cmdReadAll"), BM_CLICK, 0, 0);
    }
    static regmap::frmRegisterMap& model() { return views->app().registerMap(); }
    static win32views::RegisterMapWindow& view() { return *views->registerMapView(); }
    static HWND control(const std::string& name) {
        for (const auto& [n, w] : view().controls()) {
            if (n == name) {
                return w;
            }
        }
        return nullptr;
    }
    static int rowOf(const std::string& name) {
        for (std::size_t i = 0; i < view().rows().size(); ++i) {
            if (view().cellText(static_cast<int>(i), win32views::RegisterMapWindow::kName) ==
                name) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    static void select(int row) {
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(view().list(), LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&item));
    }
    static void key(HWND w, WPARAM k) { SendMessageW(w, WM_KEYDOWN, k, 0); }
    // Where the editor's keys go: the box, or a list's own edit box.
    static HWND editorKeys() {
        HWND inner = FindWindowExW(view().editor(), nullptr, WC_EDITW, nullptr);
        return inner != nullptr ? inner : view().editor();
    }
    static std::size_t logged(const std::string& line) {
        const std::string log = views->app().mainWindow().Txtlog.Text();
        std::size_t count = 0;
        for (auto at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) {
            ++count;
        }
        return count;
    }
    // One line per fault of the window's layout: a control hidden, leaving the client area or
    // over another; a column narrower than a text it shows.
    static std::string layoutFaults() {
        std::string out;
        RECT client{};
        GetClientRect(view().handle(), &client);
        const auto& controls = view().controls();
        for (std::size_t a = 0; a < controls.size(); ++a) {
            RECT ra = inParent(controls[a].second), inside{};
            if (!IsWindowVisible(controls[a].second)) {
                out += controls[a].first + " hidden\n";
            }
            IntersectRect(&inside, &ra, &client);
            if (!EqualRect(&inside, &ra)) {
                out += controls[a].first + " leaves the window\n";
            }
            for (std::size_t b = a + 1; b < controls.size(); ++b) {
                RECT rb = inParent(controls[b].second), both{};
                if (IntersectRect(&both, &ra, &rb)) {
                    out += controls[a].first + " overlaps " + controls[b].first + '\n';
                }
            }
        }
        HWND list = view().list();
        HDC dc = GetDC(list);
        HGDIOBJ old =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
        for (int c = 1; c < win32views::RegisterMapWindow::kColumns; ++c) {
            const auto width = SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(c), 0);
            for (int r = 0; r < static_cast<int>(view().rows().size()); ++r) {
                const std::wstring text = win32kit::wide(view().cellText(r, c));
                SIZE size{};
                GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
                if (size.cx >= width) {
                    out += "column " + std::to_string(c) + " cuts " + win32kit::narrow(text) + '\n';
                }
            }
        }
        SelectObject(dc, old);
        ReleaseDC(list, dc);
        return out;
    }
    void TearDown() override {
        if (views->registerMapView() != nullptr) {
            SetWindowTextW(control("txtFilter"), L"");
            host->renderAll();
        }
    }
};

TEST_F(Win32RegisterMapTest, ToolRowAndColumns_AsInTheQtWindow) {
    HWND list = view().list();
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    std::vector<std::string> headers;
    for (int c = 0; c < static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)); ++c) {
        wchar_t text[32] = {};
        HDITEMW item{};
        item.mask = HDI_TEXT;
        item.pszText = text;
        item.cchTextMax = 32;
        SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&item));
        headers.push_back(win32kit::narrow(text));
    }
    EXPECT_EQ(headers, (std::vector<std::string>{"Address", "Name", "Value", "\u2260 reset", "Enum",
                                                 "Reset", "Access"}));
    EXPECT_EQ(layoutFaults(), "");
    EXPECT_EQ(win32kit::narrow(boxText(view().handle())), "sensor2009.xml - Register Map");
}

TEST_F(Win32RegisterMapTest, ReadAllExpandAndFilter_RowsFollowTheModel) {
    using W = win32views::RegisterMapWindow;
    const int ctrl = rowOf("CTRL");
    ASSERT_GE(ctrl, 0);
    EXPECT_EQ(view().cellText(ctrl, W::kValue), "00");
    EXPECT_EQ(view().cellText(ctrl, W::kMark), "\u2260");
    EXPECT_EQ(view().cellText(rowOf("ID"), W::kValue), "7A");
    EXPECT_EQ(view().cellText(rowOf("ID"), W::kMark), "");
    EXPECT_GE(logged("Register Map: device 60: read 4 registers, 2 differ from reset"), 1u);

    const std::size_t registers = view().rows().size();
    select(ctrl);
    key(view().list(), VK_RIGHT);
    ASSERT_EQ(view().rows().size(), registers + 3);
    EXPECT_EQ(view().cellText(ctrl + 2, W::kName), "MODE");
    EXPECT_EQ(view().cellText(ctrl + 2, W::kAddress), "3..2");
    EXPECT_EQ(view().cellText(ctrl + 2, W::kEnum), "STANDBY");
    // Left on a field goes to its register; Left there closes it.
    select(ctrl + 2);
    key(view().list(), VK_LEFT);
    key(view().list(), VK_LEFT);
    EXPECT_EQ(view().rows().size(), registers);
    key(view().list(), VK_RIGHT);

    SetWindowTextW(control("txtFilter"), L"gain");
    host->renderAll();
    std::vector<std::string> shown;
    for (int r = 0; r < static_cast<int>(view().rows().size()); ++r) {
        shown.push_back(view().cellText(r, W::kName));
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"CTRL", "GAIN"}));
    EXPECT_EQ(SendMessageW(view().list(), LVM_GETITEMCOUNT, 0, 0), 2);
}

// As in the Qt window: an editor left unchanged sends nothing, a name picked from the list is
// written at once, and Enter writes a number typed into the box.
TEST_F(Win32RegisterMapTest, FieldEditor_UnchangedSendsNothing_PickWritesAtOnce_EnterCommits) {
    using W = win32views::RegisterMapWindow;
    const int ctrl = rowOf("CTRL");
    view().setExpanded(ctrl, true);
    const int mode = rowOf("MODE");
    const int gain = rowOf("GAIN");
    const std::string modeLine = "Register Map: device 60 CTRL.MODE = 2: read 00, wrote 08";
    const std::string gainLine = "CTRL.GAIN = 3: read 08, wrote 38, read back 38";
    const std::size_t modeBefore = logged(modeLine);
    const std::size_t gainBefore = logged(gainLine);

    // Read-only fields open no editor.
    select(rowOf("READY"));
    key(view().list(), VK_F2);
    EXPECT_EQ(view().editor(), nullptr);

    select(mode);
    key(view().list(), VK_F2);
    ASSERT_NE(view().editor(), nullptr);
    EXPECT_EQ(win32kit::narrow(boxText(view().editor())), "STANDBY");
    key(editorKeys(), VK_RETURN);
    EXPECT_EQ(view().editor(), nullptr);
    EXPECT_EQ(logged("CTRL.MODE ="), modeBefore);

    key(view().list(), VK_F2);
    HWND names = view().editor();
    ASSERT_NE(names, nullptr);
    SendMessageW(names, CB_SETCURSEL, 2, 0);
    SendMessageW(view().handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(names), CBN_SELENDOK),
                 reinterpret_cast<LPARAM>(names));
    EXPECT_EQ(view().editor(), nullptr);
    EXPECT_EQ(logged(modeLine), modeBefore + 1);
    EXPECT_EQ(view().cellText(ctrl, W::kValue), "08");
    EXPECT_EQ(view().cellText(mode, W::kEnum), "CONTINUOUS");

    // Esc drops what was typed; Enter writes it.
    select(gain);
    key(view().list(), VK_F2);
    ASSERT_NE(view().editor(), nullptr);
    SetWindowTextW(view().editor(), L"3");
    key(editorKeys(), VK_ESCAPE);
    EXPECT_EQ(logged(gainLine), gainBefore);
    key(view().list(), VK_F2);
    ASSERT_NE(view().editor(), nullptr);
    SetWindowTextW(view().editor(), L"3");
    key(editorKeys(), VK_RETURN);
    EXPECT_EQ(logged(gainLine), gainBefore + 1);
    EXPECT_EQ(view().cellText(gain, W::kValue), "3");
}

// Moved to a screen of 1.5 times the DPI: the fonts, the tool row, the list's rows and expander
// boxes and an open editor grow by as much, nothing is cut or overlaps; moved back, every control
// is where it was.
TEST_F(Win32RegisterMapTest, DpiChanged_FontsToolRowAndRowsScaled) {
    using W = win32views::RegisterMapWindow;
    HWND window = view().handle();
    HWND list = view().list();
    view().setExpanded(rowOf("CTRL"), true);
    select(rowOf("GAIN"));
    key(list, VK_F2);
    ASSERT_NE(view().editor(), nullptr);
    // A row's height, the expander boxes' size, the editor's place against its cell's.
    const auto rowHeight = [list] {
        RECT r{};
        r.left = LVIR_BOUNDS;
        SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
        return static_cast<int>(r.bottom - r.top);
    };
    const auto boxSize = [list] {
        int cx = 0, cy = 0;
        ImageList_GetIconSize(
            reinterpret_cast<HIMAGELIST>(SendMessageW(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0)), &cx,
            &cy);
        return cx;
    };
    const auto editorOffCell = [list] {
        RECT cell{};
        cell.top = W::kValue;
        cell.left = LVIR_BOUNDS;
        SendMessageW(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(rowOf("GAIN")),
                     reinterpret_cast<LPARAM>(&cell));
        MapWindowPoints(list, view().handle(), reinterpret_cast<POINT*>(&cell), 2);
        const RECT editor = inParent(view().editor());
        return std::abs(editor.left - cell.left) + std::abs(editor.top - cell.top) +
               std::abs(editor.bottom - cell.bottom);
    };
    std::vector<RECT> before;
    std::vector<int> fonts;
    for (const auto& [name, w] : view().controls()) {
        before.push_back(inParent(w));
        fonts.push_back(fontHeight(w));
    }
    const int rows = rowHeight();
    const int boxes = boxSize();
    const int from = view().scale().dpi();
    const int to = from * 3 / 2;
    RECT outer{}, client{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    RECT suggested{outer.left, outer.top, outer.right + client.right / 2,
                   outer.bottom + client.bottom / 2};
    SendMessageW(window, win32kit::kDpiChanged, MAKEWPARAM(to, to),
                 reinterpret_cast<LPARAM>(&suggested));
    host->renderAll();
    EXPECT_EQ(view().scale().dpi(), to);
    const auto& controls = view().controls();
    for (std::size_t k = 0; k < controls.size(); ++k) {
        const RECT after = inParent(controls[k].second);
        EXPECT_NEAR(fontHeight(controls[k].second), fonts[k] * 3 / 2, 1) << controls[k].first;
        EXPECT_NEAR(after.top, before[k].top * 3 / 2, 2) << controls[k].first;
        EXPECT_NEAR(after.left, before[k].left * 3 / 2, 2 + before[k].left / 10)
            << controls[k].first;
    }
    EXPECT_NEAR(rowHeight(), rows * 3 / 2, 3);
    EXPECT_EQ(boxSize(), boxes * 3 / 2);
    EXPECT_NEAR(fontHeight(view().editor()), fonts[0] * 3 / 2, 1);
    EXPECT_LE(editorOffCell(), 3);
    EXPECT_EQ(layoutFaults(), "");

    SendMessageW(window, win32kit::kDpiChanged, MAKEWPARAM(from, from),
                 reinterpret_cast<LPARAM>(&outer));
    host->renderAll();
    for (std::size_t k = 0; k < controls.size(); ++k) {
        const RECT back = inParent(controls[k].second);
        EXPECT_TRUE(EqualRect(&back, &before[k])) << controls[k].first;
        EXPECT_EQ(fontHeight(controls[k].second), fonts[k]) << controls[k].first;
    }
    EXPECT_EQ(rowHeight(), rows);
    EXPECT_LE(editorOffCell(), 3);
    key(editorKeys(), VK_ESCAPE);
    EXPECT_EQ(view().editor(), nullptr);
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
