#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "ViewFixture.h"
#include "kit/LampWidget.h"
#include "testing/ProgramStateAccess.h"

namespace viewtest {
namespace {

class GpioViewTest : public ViewFixture {
  protected:
    void SetUp() override {
        ViewFixture::SetUp();
        app->showGpioPanel();
        ASSERT_NE(views->gpioView(), nullptr);
    }
    gpio::frmGPIO& panel() { return app->gpioPanel(); }
};

TEST_F(GpioViewTest, EnableBox_Clicked_SetsBitAndWBoxAndSendsNothing) {
    const auto before = board->packetLog().size();
    QTest::mouseClick(findInPanel<QCheckBox>("chkOutEnc_3"), Qt::LeftButton);
    EXPECT_EQ(board::ProgramStateAccess::of(app->link()).GpioState[1], 0x80);
    EXPECT_EQ(findInPanel<QLineEdit>("txtPCHex_2")->text(), "80");
    EXPECT_EQ(board->packetLog().size(), before);
    // Unticking it again disables its data box, which keeps its tick.
    QTest::mouseClick(findInPanel<QCheckBox>("chkOutEnc_3"), Qt::LeftButton);
    EXPECT_FALSE(findInPanel<QCheckBox>("ChkCData_3")->isEnabled());
    EXPECT_TRUE(findInPanel<QCheckBox>("ChkCData_3")->isChecked());
}

TEST_F(GpioViewTest, ValueSetByAnotherWindow_IsPaintedWithoutRunningTheHandler) {
    panel().ChKLedData[0].Value = 0;
    qtHost->renderAll();
    EXPECT_FALSE(findInPanel<QCheckBox>("ChKLedData_0")->isChecked());
    // The bit only changes when the handler runs, and painting never runs it.
    EXPECT_EQ(board::ProgramStateAccess::of(app->link()).GpioState[3] & 0x01, 0x01);
}

TEST_F(GpioViewTest, WriteButton_Clicked_TogglesActivityLamps) {
    auto* write = findInPanel<QPushButton>("cmdGPIO_Write");
    ASSERT_NE(write, nullptr);
    const QColor first = findInPanel<kit::LampWidget>("shpGpioWr_4")->fill();
    QTest::mouseClick(write, Qt::LeftButton);
    const QColor second = findInPanel<kit::LampWidget>("shpGpioWr_4")->fill();
    EXPECT_NE(first, second);
    EXPECT_TRUE(second == QColor(0, 255, 0) || second == QColor(0, 128, 0));
    EXPECT_EQ(findInPanel<QLineEdit>("txtPCHex_1")->text(), "00");
}

TEST_F(GpioViewTest, ClosedAndReopened_ShowsFreshControls) {
    QTest::mouseClick(findInPanel<QCheckBox>("chkOutEn_0"), Qt::LeftButton);
    findInPanel<QLineEdit>("txtGPIOUserName_0")->setText("NOTE");
    QTest::keyClicks(findInPanel<QLineEdit>("txtGPIOUserName_0"), "X");
    EXPECT_EQ(panel().txtGPIOUserName[0].Text(), "NOTEX");
    views->gpioView()->close();
    EXPECT_FALSE(views->gpioView()->isVisible());
    app->showGpioPanel();
    EXPECT_TRUE(views->gpioView()->isVisible());
    // The enable stays set in GpioState, and its box says so.
    EXPECT_TRUE(findInPanel<QCheckBox>("chkOutEn_0")->isChecked());
    EXPECT_EQ(findInPanel<QLineEdit>("txtGPIOUserName_0")->text(), "BSTATUS");
    EXPECT_EQ(findInPanel<QLineEdit>("txtPCHex_0")->text(), "01");
}

}  // namespace
}  // namespace viewtest
