// The windows as a reviewer sees them: texts fit, controls do not overlap, the window-level
// address boxes stay clear of the tab headers, and the design size needs no scroll bars.
#include <QCoreApplication>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>

#include "LayoutCheck.h"
#include "ViewFixture.h"

namespace viewtest {
namespace {

class LayoutTest : public ViewFixture {
  protected:
    void SetUp() override {
        ViewFixture::SetUp();
        // Let Qt lay out the shown windows.
        QCoreApplication::processEvents();
    }
};

std::string lines(const QStringList& problems) {
    return problems.join("\n").toStdString();
}

TEST_F(LayoutTest, MainWindow_BothTabs_NothingClippedOrOverlapping) {
    for (int tab = 0; tab < 2; ++tab) {
        model().SSTab1.Tab = tab;
        qtHost->renderAll();
        EXPECT_EQ(lines(clippedTexts(mainView())), "") << "tab " << tab;
        EXPECT_EQ(lines(overlaps(mainView())), "") << "tab " << tab;
        EXPECT_EQ(lines(outsideFrames(mainView())), "") << "tab " << tab;
    }
}

TEST_F(LayoutTest, MainWindow_AfterOperations_NothingClipped) {
    // Every text the operations show: verdict, lamps, "--", the closed-handle caption.
    model().txtI2CAdr.setText("62");
    model().cmdTestComm_Click();
    model().cmdRead_Click();
    model().cmdReadRegs_Click();
    qtHost->renderAll();
    EXPECT_EQ(model().lblCommTest.Caption, "Fail");
    EXPECT_EQ(lines(clippedTexts(mainView())), "");
}

TEST_F(LayoutTest, AddressBoxes_OverTabStrip_ClearOfTabHeaders) {
    auto* tabs = find<QTabWidget>("SSTab1");
    auto* read = find<QLineEdit>("txtActualReadAddress");
    auto* write = find<QLineEdit>("txtActualWrtAddress");
    ASSERT_TRUE(tabs && read && write);
    const QRect headers = tabs->tabBar()->geometry().translated(tabs->pos());
    EXPECT_GT(read->geometry().left(), headers.right());
    EXPECT_FALSE(read->geometry().intersects(write->geometry()));
    EXPECT_TRUE(read->isVisible() && write->isVisible());
}

TEST_F(LayoutTest, MainWindow_DesignSize_ShowsWholePanelAndStatusButton) {
    auto* outer = find<QScrollArea>("pbouter");
    auto* status = find<QWidget>("cbNoc");
    ASSERT_TRUE(outer && status);
    EXPECT_FALSE(outer->verticalScrollBar()->isVisible());
    EXPECT_FALSE(outer->horizontalScrollBar()->isVisible());
    // The button shows only when the driver does not initialise; then it must be in view.
    model().cbNoc.Visible = true;
    model().cbNoc.Caption = "USB Board won't intialize";
    qtHost->renderAll();
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(lines(clippedTexts(mainView())), "");
    EXPECT_LE(status->geometry().bottom(), mainView().centralWidget()->height());
}

TEST_F(LayoutTest, MainWindow_StatusStrip_OnlyWhileStatusButtonShows) {
    auto* tabs = find<QTabWidget>("SSTab1");
    auto* status = find<QWidget>("cbNoc");
    ASSERT_TRUE(tabs && status);
    const int bottom = mainView().centralWidget()->height() - 1;
    ASSERT_FALSE(model().cbNoc.Visible);
    EXPECT_EQ(tabs->geometry().bottom(), bottom);
    model().cbNoc.Visible = true;
    qtHost->renderAll();
    EXPECT_LT(tabs->geometry().bottom(), status->geometry().top());
    model().cbNoc.Visible = false;
    qtHost->renderAll();
    EXPECT_EQ(tabs->geometry().bottom(), bottom);
}

// Page 2500 and step 250 twips; only the horizontal bar's handler yields.
TEST_F(LayoutTest, MainWindow_Shrunk_ScrollBarsPageAndStepOfTheWindow) {
    mainView().resize(400, 300);
    QCoreApplication::processEvents();
    auto* outer = find<QScrollArea>("pbouter");
    ASSERT_NE(outer, nullptr);
    QScrollBar* vertical = outer->verticalScrollBar();
    QScrollBar* horizontal = outer->horizontalScrollBar();
    for (QScrollBar* bar : {vertical, horizontal}) {
        EXPECT_EQ(bar->pageStep(), 167);
        EXPECT_EQ(bar->singleStep(), 17);
    }
    const long before = qtHost->yields();
    vertical->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(model().VScroll1.Value, 167 * 15);
    EXPECT_EQ(qtHost->yields(), before);
    horizontal->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(model().HScroll1.Value, 17 * 15);
    EXPECT_EQ(qtHost->yields(), before + 1);
}

TEST_F(LayoutTest, MainWindow_Shrunk_ScrollsThePanel) {
    mainView().resize(400, 300);
    QCoreApplication::processEvents();
    auto* outer = find<QScrollArea>("pbouter");
    ASSERT_NE(outer, nullptr);
    EXPECT_TRUE(outer->verticalScrollBar()->isVisible());
    EXPECT_TRUE(outer->horizontalScrollBar()->isVisible());
    outer->verticalScrollBar()->setValue(outer->verticalScrollBar()->maximum());
    EXPECT_GT(model().VScroll1.Value, 0);
    EXPECT_EQ(model().pbinner.Top, -model().VScroll1.Value);
}

TEST_F(LayoutTest, GpioPanel_NothingClippedOrOverlapping) {
    app->showGpioPanel();
    QCoreApplication::processEvents();
    ASSERT_NE(views->gpioView(), nullptr);
    EXPECT_EQ(lines(clippedTexts(*views->gpioView())), "");
    EXPECT_EQ(lines(overlaps(*views->gpioView())), "");
    EXPECT_EQ(lines(outsideFrames(*views->gpioView())), "");
}

TEST_F(LayoutTest, EveryTableControl_HasItsWidget) {
    app->showGpioPanel();
    ASSERT_NE(views->gpioView(), nullptr);
    EXPECT_EQ(lines(missingWidgets(mainView(), model().controls())), "");
    EXPECT_EQ(lines(missingWidgets(*views->gpioView(), app->gpioPanel().controls())), "");
}

}  // namespace
}  // namespace viewtest
