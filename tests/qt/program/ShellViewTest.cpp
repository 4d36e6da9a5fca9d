// The About box and the start-up window on Qt: Enter and Esc press OK, the close box unloads the
// box, nothing is clipped, and the start-up window's menu reaches only the About box.
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QPushButton>
#include <QTest>

#include "LayoutCheck.h"
#include "ViewFixture.h"
#include "testing/ProgramStateAccess.h"

namespace viewtest {
namespace {

class ShellViewTest : public ViewFixture {
  protected:
    about::frmAbout2View& showAbout() {
        app->showAboutBox();
        EXPECT_NE(views->aboutView(), nullptr);
        return *views->aboutView();
    }
};

TEST_F(ShellViewTest, AboutBox_EnterEscOkAndCloseBox_EachUnloadsTheBox) {
    const std::vector<std::pair<const char*, std::function<void(QWidget&)>>> ways = {
        {"Enter", [](QWidget& ok) { QTest::keyClick(&ok, Qt::Key_Return); }},
        {"Esc", [](QWidget& ok) { QTest::keyClick(&ok, Qt::Key_Escape); }},
        {"OK", [](QWidget& ok) { QTest::mouseClick(&ok, Qt::LeftButton); }},
        {"close box", [](QWidget& ok) { ok.window()->close(); }},
    };
    for (const auto& [name, press] : ways) {
        SCOPED_TRACE(name);
        about::frmAbout2View& view = showAbout();
        ASSERT_TRUE(view.isVisible());
        auto* ok = view.findChild<QPushButton*>("cmdOK");
        ASSERT_NE(ok, nullptr);
        press(*ok);
        EXPECT_FALSE(app->aboutBoxLoaded());
        EXPECT_FALSE(view.isVisible());
    }
    EXPECT_EQ(showAbout().windowTitle(), "About Velmorix_I2C_Comm");
}

TEST_F(ShellViewTest, AboutBox_NothingClippedOrOverlappingSysInfoHidden) {
    about::frmAbout2View& view = showAbout();
    QCoreApplication::processEvents();
    EXPECT_EQ(clippedTexts(view).join("\n").toStdString(), "");
    EXPECT_EQ(overlaps(view).join("\n").toStdString(), "");
    EXPECT_EQ(missingWidgets(view, app->aboutBox().controls()).join("\n").toStdString(), "");
    auto* sysInfo = view.findChild<QWidget*>("cmdSysInfo");
    ASSERT_NE(sysInfo, nullptr);
    EXPECT_FALSE(sysInfo->isVisible());
}

TEST_F(ShellViewTest, StartupWindow_HiddenDeviceEntriesChangeNothingAboutShowsTheBox) {
    auto* startup = views->startupView();
    ASSERT_NE(startup, nullptr);
    EXPECT_FALSE(startup->isVisible());
    const std::string logBefore = model().Txtlog.Text();
    const auto packetsBefore = board->packetLog().size();
    const auto stateBefore = board::ProgramStateAccess::of(app->link()).GpioState;
    for (int i = 0; i < 6; ++i) {
        auto* entry = startup->findChild<QAction*>(QStringLiteral("mnuDevice_%1").arg(i));
        ASSERT_NE(entry, nullptr) << i;
        EXPECT_FALSE(entry->text().isEmpty());
        entry->trigger();
    }
    EXPECT_EQ(model().Txtlog.Text(), logBefore);
    EXPECT_EQ(board->packetLog().size(), packetsBefore);
    EXPECT_EQ(board::ProgramStateAccess::of(app->link()).GpioState, stateBefore);
    QWidgetList shown;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible()) {
            shown << w;
        }
    }
    EXPECT_EQ(shown, QWidgetList{&mainView()});

    auto* about = startup->findChild<QAction*>("mnuAbout");
    ASSERT_NE(about, nullptr);
    about->trigger();
    ASSERT_NE(views->aboutView(), nullptr);
    EXPECT_TRUE(views->aboutView()->isVisible());
}

}  // namespace
}  // namespace viewtest
