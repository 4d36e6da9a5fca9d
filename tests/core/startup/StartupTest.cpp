// Start-up and the end of the program: the start-up window loads first and hides itself, and
// the main window's unload takes every other window with it.
#include "testing/AppFixture.h"

namespace apptest {
namespace {

class StartupTest : public AppFixture {};

TEST_F(StartupTest, Start_StartupWindowLoadedHiddenMainWindowShown) {
    app->start();
    auto& startup = app->startupWindow();
    EXPECT_TRUE(startup.Loaded);
    EXPECT_FALSE(startup.Visible);
    EXPECT_EQ(navigator.startupLoads, 1);
    EXPECT_EQ(navigator.shown, (std::vector<const form::Window*>{&main()}));
    EXPECT_EQ(startup.Caption, "Velmorix I2C Video Mux Control Software");
    EXPECT_EQ(startup.MnuDevSel1.Caption, "Device Select");
    EXPECT_EQ(startup.mnuAbout.Caption, "About");
    startup.mnuAbout_Click();
    EXPECT_EQ(navigator.aboutBoxes, 1);
    EXPECT_TRUE(app->aboutBox().Visible);
}

TEST_F(StartupTest, MainWindowUnloads_OtherWindowsGoWithoutTheirUnloadSteps) {
    startQuietly();
    app->showGpioPanel();
    panel().chkOutEn[3].Value = 1;
    panel().chkOutEn_Click(3);
    app->showAboutBox();
    scripts().showSharedWindow();
    auto& script = scripts().sharedWindow();

    main().cmdexit_Click();
    EXPECT_TRUE(app->quitRequested());
    EXPECT_EQ(navigator.quits, 1);
    // None of them unloaded (asked first: using a window loads it again): the panel keeps its
    // boxes, the others stay loaded; all are hidden.
    EXPECT_TRUE(app->gpioPanelLoaded());
    EXPECT_TRUE(app->aboutBoxLoaded());
    EXPECT_TRUE(script.Loaded);
    EXPECT_EQ(panel().chkOutEn[3].Value, 1);
    EXPECT_FALSE(panel().Visible);
    EXPECT_FALSE(app->aboutBox().Visible);
    EXPECT_FALSE(script.Visible);
    EXPECT_FALSE(app->startupWindow().Visible);
}

}  // namespace
}  // namespace apptest
