// The application: one instance per window, loading on first use, calls between windows.
#include "testing/AppFixture.h"

namespace apptest {
namespace {

class ApplicationTest : public AppFixture {};

TEST_F(ApplicationTest, Start_MainShownPanelLoadedHiddenSameInstancesAfter) {
    app->start();
    EXPECT_EQ(navigator.shown, (std::vector<const form::Window*>{&main()}));
    EXPECT_TRUE(app->gpioPanelLoaded());
    EXPECT_FALSE(panel().Visible);
    EXPECT_EQ(&app->mainWindow(), &main());
    EXPECT_EQ(&app->gpioPanel(), &panel());
}

TEST_F(ApplicationTest, LogBeforeAnyWindow_NoWindowLoadedLineLeadsTheLogAtStart) {
    app->link().LogAppend("first words", "\r\n");
    EXPECT_FALSE(app->mainWindowLoaded());
    EXPECT_TRUE(packets().empty());
    app->start();
    EXPECT_EQ(log().substr(0, entry("first words").size()), entry("first words"));
}

TEST_F(ApplicationTest, ShowPanelTwice_BroughtToFrontStateKept) {
    startQuietly();
    navigator.shown.clear();
    app->showGpioPanel();
    panel().ChkBData[2].Value = 0;
    panel().ChkBData_Click(2);
    app->showGpioPanel();
    EXPECT_EQ(navigator.shown, (std::vector<const form::Window*>{&panel(), &panel()}));
    EXPECT_EQ(panel().ChkBData[2].Value, 0);
    EXPECT_EQ(panel().txtPCHexData[0].Text(), "FB");
}

TEST_F(ApplicationTest, GpioMenu_ShowsThePanel) {
    startQuietly();
    main().mnuGPIO_Click();
    EXPECT_TRUE(panel().Visible);
}

TEST_F(ApplicationTest, CommTestAfterPanelClosed_PanelLoadedHiddenAndLedsWritten) {
    startQuietly();
    app->showGpioPanel();
    app->closeGpioPanel();
    EXPECT_FALSE(app->gpioPanelLoaded());
    main().cmdTestComm_Click();
    EXPECT_TRUE(app->gpioPanelLoaded());
    EXPECT_FALSE(panel().Visible);
    EXPECT_EQ(panel().txtPCHexData[2].Text(), "FE");
    EXPECT_EQ(gpioPackets().size(), 2u);
}

TEST_F(ApplicationTest, Menus_AboutAskedOfNavigatorSetupEntriesDoNothing) {
    startQuietly();
    const auto shownBefore = navigator.shown;
    const long yieldsBefore = host.yields;
    main().mnuSetup_Open_Click();
    main().mnuSetup_Save_Click();
    EXPECT_EQ(navigator.aboutBoxes, 0);
    main().frmAbout_Click();
    EXPECT_EQ(navigator.aboutBoxes, 1);
    EXPECT_EQ(navigator.shown, shownBefore);
    EXPECT_EQ(host.yields, yieldsBefore);
    EXPECT_TRUE(packets().empty());
    EXPECT_EQ(log(), "");
}

TEST_F(ApplicationTest, UserClickDuringRead_DroppedByGateOneExchangeOnly) {
    startQuietly();
    bool dispatchedInner = true;
    // The 3rd yield falls inside the read (the connect wait); a view would dispatch the click
    // it receives there through the same gate.
    host.atYield(host.yields + 3,
                 [&] { dispatchedInner = app->gate().dispatch([&] { main().cmdRead_Click(); }); });
    EXPECT_TRUE(app->gate().dispatch([&] { main().cmdRead_Click(); }));
    EXPECT_FALSE(dispatchedInner);
    EXPECT_EQ(app->gate().dropped(), 1);
    EXPECT_EQ(i2cPackets().size(), 2u);
}

TEST_F(ApplicationTest, Destroyed_WhileConnected_NoCrashNoWindowReloaded) {
    startQuietly();
    connectManually();
    const auto shown = navigator.shown;
    destroyApplication();
    // A main window loaded again would connect and write the GPIO port at its load.
    EXPECT_TRUE(packets().empty());
    EXPECT_EQ(navigator.shown, shown);
}

}  // namespace
}  // namespace apptest
