// The Win32 windows as a reviewer sees them: every entry of each control table has its window,
// no two shown controls of the same container overlap, and no control crosses its frame's
// border, on both tabs of the main window, in the GPIO panel, the About box and the start-up
// window.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "about/frmAbout2.h"
#include "gpio/frmGPIO.h"
#include "startup/frmStartup.h"
#include "wd_utils.h"
#include "win32kit/Screen.h"
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

class Win32LayoutTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        _putenv_s("VELMORIX_BRIDGE", "sim");
        ASSERT_EQ(WDU_SelectBridge(nullptr), WD_STATUS_SUCCESS);
        host = new win32kit::Win32Host;
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

    static inline win32kit::Win32Host* host = nullptr;
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

}  // namespace
