// The "Register Map" window's Qt view: its menu entry after every existing one, the tree it
// paints, a field edited in the tree doing the masked write, and the filter.
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include "ViewFixture.h"

namespace viewtest {
namespace {

class RegisterMapViewTest : public ViewFixture {
  protected:
    void SetUp() override {
        ViewFixture::SetUp();
        mainView().findChild<QAction*>("mnuRegisterMap")->trigger();
        ASSERT_NE(views->registerMapView(), nullptr);
        ASSERT_TRUE(app->registerMap().openMap(std::string(VELMORIX_MAPS_DIR) + "/sensor2009.xml"));
        qtHost->renderAll();
        board->clearPacketLog();
    }
    regmap::frmRegisterMapView& view() { return *views->registerMapView(); }
    QModelIndex fieldValue(int reg, int field) {
        return view().items().index(reg, 0).model()->index(
            field, regmap::frmRegisterMapView::kValue, view().items().index(reg, 0));
    }
};

TEST_F(RegisterMapViewTest, OpenMenu_EveryEntryStaysAndRegisterMapComesLast) {
    auto* open = mainView().findChild<QMenu*>("mnuOPen");
    ASSERT_NE(open, nullptr);
    QStringList entries;
    for (QAction* action : open->actions()) {
        entries << action->text().remove(QLatin1Char('&'));  // the mnemonic marks
    }
    EXPECT_EQ(entries, (QStringList{"Comm Register Definitions", "Script Execution", "GPIO Screen",
                                    "Register Map..."}));
    EXPECT_TRUE(view().isVisible());
    EXPECT_EQ(view().windowTitle(), "sensor2009.xml - Register Map");
}

TEST_F(RegisterMapViewTest, ReadAllPaintsValuesAndMarks_EditWritesTheField) {
    QTest::mouseClick(view().findChild<QPushButton*>("cmdReadAll"), Qt::LeftButton);
    auto& items = view().items();
    EXPECT_EQ(items.item(1, regmap::frmRegisterMapView::kName)->text(), "CTRL");
    EXPECT_EQ(items.item(1, regmap::frmRegisterMapView::kValue)->text(), "00");
    EXPECT_EQ(items.item(1, regmap::frmRegisterMapView::kMark)->text(),
              QString::fromUtf8("\u2260"));
    EXPECT_EQ(items.item(0, regmap::frmRegisterMapView::kMark)->text(), "");
    EXPECT_EQ(items.item(1, 0)->child(1, regmap::frmRegisterMapView::kEnum)->text(), "STANDBY");

    board->clearPacketLog();
    const QModelIndex mode = fieldValue(1, 1);
    QAbstractItemDelegate* delegate = view().tree()->itemDelegateForColumn(mode.column());
    QStyleOptionViewItem option;
    QWidget* editor = delegate->createEditor(view().tree(), option, mode);
    ASSERT_NE(editor, nullptr);
    auto* list = qobject_cast<QComboBox*>(editor);
    ASSERT_NE(list, nullptr);
    list->setCurrentText("CONTINUOUS");
    delegate->setModelData(editor, &items, mode);
    delete editor;
    EXPECT_EQ(readCommands().size(), 2u);  // the read, then the read-back
    EXPECT_EQ(items.item(1, regmap::frmRegisterMapView::kValue)->text(), "08");
    EXPECT_EQ(items.item(1, 0)->child(1, regmap::frmRegisterMapView::kEnum)->text(), "CONTINUOUS");
}

TEST_F(RegisterMapViewTest, Editor_LeftUnchangedSendsNothing_NamePickedWritesAtOnce) {
    QTest::mouseClick(view().findChild<QPushButton*>("cmdReadAll"), Qt::LeftButton);
    board->clearPacketLog();
    const QModelIndex mode = fieldValue(1, 1);
    view().tree()->setCurrentIndex(mode);
    view().tree()->edit(mode);
    auto* list = view().tree()->findChild<QComboBox*>();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->currentText(), "STANDBY");  // opens on the current value
    // What the tree does when the focus leaves the editor.
    view().tree()->itemDelegateForColumn(mode.column())->setModelData(list, &view().items(), mode);
    EXPECT_TRUE(packets().empty());

    list->setCurrentIndex(list->findText("CONTINUOUS"));
    emit list->activated(list->currentIndex());
    EXPECT_EQ(readCommands().size(), 2u);
    EXPECT_EQ(view().items().item(1, regmap::frmRegisterMapView::kValue)->text(), "08");
}

TEST_F(RegisterMapViewTest, FilterHidesRegistersAndFieldsThatDoNotMatch) {
    view().findChild<QLineEdit*>("txtFilter")->setText("gain");
    QTreeView* tree = view().tree();
    EXPECT_TRUE(tree->isRowHidden(0, {}));   // ID
    EXPECT_FALSE(tree->isRowHidden(1, {}));  // CTRL has GAIN
    const QModelIndex ctrl = view().items().index(1, 0);
    EXPECT_TRUE(tree->isRowHidden(0, ctrl));   // EN
    EXPECT_FALSE(tree->isRowHidden(2, ctrl));  // GAIN
}

}  // namespace
}  // namespace viewtest
