// The script window's Qt view: the main window's menu opens it, its buttons, grid and boxes
// reach the model, it shows what a run did, and it is laid out without clipping or overlaps.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "LayoutCheck.h"
#include "ScriptViewFixture.h"
#include "script/ScriptGridModel_view.h"
#include "testing/ProgramStateAccess.h"

namespace scriptviewtest {
namespace {

using script::CellColor;
using script::Column;

// Two reads of register 05 (0B): the first expects 0B and passes, the second expects 0C.
const char* const kPassFail = "05,,0B # passes\r\n05,,0C # fails\r\n`ENDM\r\n";

std::string lines(const QStringList& problems) {
    return problems.join("\n").toStdString();
}

class ScriptViewTest : public ScriptViewFixture {
  protected:
    QColor background(script::frmScriptOpsView* view, int row, Column column) {
        const QModelIndex index = view->gridModel()->index(row - 1, static_cast<int>(column) - 1);
        return view->gridModel()->data(index, Qt::BackgroundRole).value<QColor>();
    }
    void doubleClick(script::frmScriptOpsView* view, int row, Column column) {
        QTableView* grid = view->grid();
        const QModelIndex index = view->gridModel()->index(row - 1, static_cast<int>(column) - 1);
        grid->scrollTo(index);
        const QPoint at = grid->visualRect(index).center();
        // As a mouse does it: a click, then the second press that the system reports as a
        // double click.
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
    }
};

TEST_F(ScriptViewTest, MainMenuScriptExecution_FileChosen_ShowsLoadedScript) {
    auto* view = openFromMenu(kPassFail, "pass.txt");
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isVisible());
    EXPECT_EQ(view->windowTitle().toStdString(), "[ pass.txt ]    Script IC Send / Receive");
    auto& model = scripts().sharedWindow();
    ASSERT_EQ(view->gridModel()->rowCount(), 3);
    EXPECT_EQ(shown(view, 1, Column::Line), "001");
    EXPECT_EQ(shown(view, 2, Column::DataRd), "0C");
    EXPECT_EQ(shown(view, 2, Column::Comment), "# fails");
    EXPECT_EQ(shown(view, 3, Column::Operation), "Cmd: End Main");
    for (int c = 1; c <= script::kColumnCount; ++c) {
        EXPECT_EQ(view->gridModel()->headerData(c - 1, Qt::Horizontal).toString().toStdString(),
                  model.vbalGrid1.ColumnHeader(c));
        if (c < script::kColumnCount) {
            EXPECT_EQ(view->grid()->columnWidth(c - 1), model.vbalGrid1.ColumnWidth(c)) << c;
        }
    }
    // "Comment" fills the rest of the grid, never less than its own width.
    const int last = script::kColumnCount - 1;
    EXPECT_GE(view->grid()->columnWidth(last), model.vbalGrid1.ColumnWidth(last + 1));
    EXPECT_GE(view->grid()->columnViewportPosition(last) + view->grid()->columnWidth(last),
              view->grid()->viewport()->width());
    // A load narrows the data columns to eight characters.
    EXPECT_EQ(view->grid()->columnWidth(static_cast<int>(Column::DataRd) - 1), 64);
    EXPECT_EQ(background(view, 1, Column::Line), view->grid()->palette().color(QPalette::Button));
    EXPECT_EQ(find<QLineEdit>(view, "txttotReads")->text(), "2");
    EXPECT_FALSE(find<QGroupBox>(view, "frmDataRecord")->isVisible());
}

TEST_F(ScriptViewTest, RunAllSteps_Clicked_CountsAndColoursShow) {
    auto* view = openFromMenu(kPassFail);
    ASSERT_NE(view, nullptr);
    QTest::mouseClick(find<QPushButton>(view, "cmdExecAll"), Qt::LeftButton);
    EXPECT_EQ(find<QLineEdit>(view, "txtRdPass")->text(), "1");
    EXPECT_EQ(find<QLineEdit>(view, "txtRdFails")->text(), "1");
    EXPECT_EQ(find<QLineEdit>(view, "txtRunning")->text(), "Done");
    EXPECT_EQ(shown(view, 1, Column::ActRd), "0B");
    EXPECT_EQ(shown(view, 2, Column::ActRd), "0B");
    EXPECT_EQ(background(view, 1, Column::ActRd), QColor(0, 255, 0));
    EXPECT_EQ(background(view, 2, Column::ActRd), QColor(255, 0, 0));
    EXPECT_EQ(background(view, 2, Column::I2CAdr), QColor(0, 255, 0));
    EXPECT_TRUE(find<QGroupBox>(view, "frmDataRecord")->isVisible());
    EXPECT_FALSE(find<QPushButton>(view, "cmdAbort")->isVisible());
    EXPECT_TRUE(find<QPushButton>(view, "cmdExecAll")->isEnabled());
}

TEST_F(ScriptViewTest, DoubleClick_OnACell_SelectsThatRowAndRunsIt) {
    auto* view = openFromMenu("05,,0C\r\n06,,0C\r\n`ENDM\r\n");
    ASSERT_NE(view, nullptr);
    const std::size_t before = i2cCommands();
    doubleClick(view, 2, Column::RegAdr);
    auto& model = scripts().sharedWindow();
    EXPECT_EQ(model.vbalGrid1.SelectedRow(), 2);
    EXPECT_EQ(shown(view, 2, Column::ActRd), "0C");
    EXPECT_EQ(background(view, 2, Column::ActRd), QColor(0, 255, 0));
    EXPECT_EQ(shown(view, 1, Column::ActRd), "--");
    EXPECT_EQ(find<QLineEdit>(view, "txtRdPass")->text(), "1");
    // One read: its command packet only.
    EXPECT_EQ(i2cCommands() - before, 1u);
}

TEST_F(ScriptViewTest, EnterOnSelectedRow_RunsItAsADoubleClickDoes) {
    auto* view = openFromMenu("05,,0C\r\n06,,0C\r\n`ENDM\r\n");
    ASSERT_NE(view, nullptr);
    QTableView* grid = view->grid();
    const QModelIndex index = view->gridModel()->index(1, static_cast<int>(Column::RegAdr) - 1);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
    ASSERT_EQ(scripts().sharedWindow().vbalGrid1.SelectedRow(), 2);
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(shown(view, 2, Column::ActRd), "0C");
    EXPECT_EQ(shown(view, 1, Column::ActRd), "--");
}

TEST_F(ScriptViewTest, NoScriptYet_CommentColumnInSight) {
    views->mainView()->findChild<QAction*>("mnu_ScriptShow")->trigger();
    auto* view = scriptViews().viewOf(scripts().sharedWindow());
    ASSERT_NE(view, nullptr);
    QApplication::processEvents();
    QTableView* grid = view->grid();
    const int last = script::kColumnCount - 1;
    EXPECT_LE(grid->columnViewportPosition(last) +
                  scripts().sharedWindow().vbalGrid1.ColumnWidth(last + 1),
              grid->viewport()->width());
}

TEST_F(ScriptViewTest, Abort_WhileRunHoldsTheGate_StaysLiveAndStopsTheRun) {
    auto* view = openFromMenu("05,,0B\r\n`w\r\n05,,0B\r\n05,,0B\r\n`ENDM\r\n");
    ASSERT_NE(view, nullptr);
    bool abortLive = false;
    bool dataDead = false;
    bool menuDead = false;
    qtHost->onMessage = [&](const std::string&) {
        // The key-press pause: Run All Steps is running and holds the gate.
        qtHost->renderAll();
        auto* abort = find<QPushButton>(view, "cmdAbort");
        abortLive = abort->isVisible() && abort->isEnabled();
        dataDead = !find<QPushButton>(view, "cmdReload2")->isEnabled() &&
                   find<QLineEdit>(view, "txtI2CAdr")->isReadOnly();
        menuDead = !view->findChild<QAction*>("mnuScript_Read")->isEnabled();
        QTest::mouseClick(abort, Qt::LeftButton);
        return form::MsgResult::Ok;
    };
    QTest::mouseClick(find<QPushButton>(view, "cmdExecAll"), Qt::LeftButton);
    EXPECT_TRUE(abortLive);
    EXPECT_TRUE(dataDead);
    EXPECT_TRUE(menuDead);
    ASSERT_EQ(qtHost->messages.size(), 1u);
    EXPECT_EQ(shown(view, 1, Column::ActRd), "0B");
    EXPECT_EQ(shown(view, 3, Column::ActRd), "--");
    EXPECT_EQ(find<QLineEdit>(view, "txtRunning")->text(), "Aborted");
    EXPECT_TRUE(find<QPushButton>(view, "cmdReload2")->isEnabled());
}

TEST_F(ScriptViewTest, AbortOnFailAndEnable_TickedDuringRun_TakeEffect) {
    auto* view = openFromMenu("`w\r\n05,,0C\r\n05,,0B\r\n`ENDM\r\n");
    ASSERT_NE(view, nullptr);
    auto& model = scripts().sharedWindow();
    bool boxesLive = false;
    qtHost->onMessage = [&](const std::string&) {
        // The key-press pause: Run All Steps holds the gate.
        qtHost->renderAll();
        auto* aof = find<QCheckBox>(view, "chkAOF");
        auto* enable = find<QCheckBox>(view, "chkISample");
        boxesLive = aof->isEnabled() && enable->isEnabled();
        QTest::mouseClick(aof, Qt::LeftButton);
        QTest::mouseClick(enable, Qt::LeftButton);
        return form::MsgResult::Ok;
    };
    QTest::mouseClick(find<QPushButton>(view, "cmdExecAll"), Qt::LeftButton);
    EXPECT_TRUE(boxesLive);
    EXPECT_EQ(model.chkAOF.Value, 1);
    EXPECT_EQ(model.txtIEnableStep.Text(), "On");
    // Row 2 fails, and "Abort On fail" ticked during the run stops it there.
    EXPECT_EQ(shown(view, 2, Column::ActRd), "0B");
    EXPECT_EQ(shown(view, 3, Column::ActRd), "--");
    EXPECT_EQ(find<QLineEdit>(view, "txtRunning")->text(), "Done");
}

TEST_F(ScriptViewTest, DefaultAddress_TypedWithEnter_ReloadsWithIt) {
    auto* view = openFromMenu(kPassFail);
    ASSERT_NE(view, nullptr);
    auto* box = find<QLineEdit>(view, "txtI2CAdr");
    box->selectAll();
    QTest::keyClicks(box, "3c");
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(box->text(), "3C");
    EXPECT_EQ(shown(view, 1, Column::I2CAdr), "3C");
    EXPECT_EQ(board::ProgramStateAccess::of(app->link()).I2CWriteAddr, 0x3C);
    // A key that is no hex digit never reaches the box.
    QTest::keyClicks(box, "z");
    EXPECT_EQ(box->text(), "3C");
}

TEST_F(ScriptViewTest, KeyPauseRow_Run_ActRdColumnFitsItsText) {
    auto* view = openFromMenu("`w\r\n`ENDM\r\n");
    ASSERT_NE(view, nullptr);
    QTest::mouseClick(find<QPushButton>(view, "cmdExecAll"), Qt::LeftButton);
    ASSERT_EQ(shown(view, 1, Column::ActRd), "Delay Keypress");
    const QFontMetrics metrics(view->grid()->font());
    EXPECT_GT(view->grid()->columnWidth(static_cast<int>(Column::ActRd) - 1),
              metrics.horizontalAdvance("Delay Keypress"));
}

TEST_F(ScriptViewTest, LongScriptReplacedByShortOne_CommentReachesTheGridEdge) {
    std::string longScript;
    for (int i = 0; i < 80; ++i) {
        longScript += "05,,0B\r\n";
    }
    auto* view = openFromMenu(longScript);
    ASSERT_NE(view, nullptr);
    QApplication::processEvents();
    QTableView* grid = view->grid();
    ASSERT_TRUE(grid->verticalScrollBar()->isVisible());
    qtHost->openAnswers.push_back(writeScript("short.txt", "05,,0B\r\n"));
    view->findChild<QAction*>("mnuScript_Read")->trigger();
    // The table lays out its rows on one pass of the event loop and its scroll bars on the next.
    QApplication::processEvents();
    QApplication::processEvents();

    EXPECT_FALSE(grid->verticalScrollBar()->isVisible());
    const int last = script::kColumnCount - 1;
    EXPECT_GE(grid->columnViewportPosition(last) + grid->columnWidth(last),
              grid->viewport()->width());
}

TEST_F(ScriptViewTest, KeyInGrid_RaisesTheGridKeyEvent) {
    auto* view = openFromMenu(kPassFail);
    ASSERT_NE(view, nullptr);
    // The key event waits with yields while it holds the gate; a timer due at once sees that.
    bool heldGate = false;
    QTimer probe;
    probe.setSingleShot(true);
    QObject::connect(&probe, &QTimer::timeout, [&] { heldGate = app->gate().busy(); });
    probe.start(0);
    QTest::keyClick(view->grid(), Qt::Key_A);
    EXPECT_TRUE(heldGate);
}

TEST_F(ScriptViewTest, ArrowPageHomeEnd_MoveTheSelectionOnly_EnterRunsIt) {
    std::string script;
    for (int i = 0; i < 40; ++i) {
        script += "05,,0B\r\n";
    }
    auto* view = openFromMenu(script + "`ENDM\r\n");
    ASSERT_NE(view, nullptr);
    QTableView* grid = view->grid();
    const auto& model = scripts().sharedWindow().vbalGrid1;
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(view->gridModel()->index(0, 0)).center());
    ASSERT_EQ(model.SelectedRow(), 1);
    const int page = std::max(1, grid->viewport()->height() / grid->rowHeight(0));
    const std::size_t before = i2cCommands();
    const std::pair<Qt::Key, int> steps[] = {
        {Qt::Key_Down, 2},  {Qt::Key_Down, 3}, {Qt::Key_Up, 2}, {Qt::Key_End, 41},
        {Qt::Key_Down, 41}, {Qt::Key_Home, 1}, {Qt::Key_Up, 1}, {Qt::Key_PageDown, 1 + page},
        {Qt::Key_PageUp, 1}};
    for (const auto& [key, row] : steps) {
        SCOPED_TRACE(testing::Message() << "key 0x" << std::hex << int(key));
        QTest::keyClick(grid, key);
        EXPECT_EQ(model.SelectedRow(), row);
    }
    EXPECT_EQ(i2cCommands(), before);
    EXPECT_EQ(shown(view, 1, Column::ActRd), "--");
    QTest::keyClick(grid, Qt::Key_Down);
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(shown(view, 2, Column::ActRd), "0B");
    EXPECT_EQ(shown(view, 1, Column::ActRd), "--");
}

TEST_F(ScriptViewTest, RunAllStepsAndLoopCont_FocusGoesBackToTheirButton) {
    auto* view = openFromMenu("05,,0B\r\n`w\r\n`ENDM\r\n");
    ASSERT_NE(view, nullptr);
    view->activateWindow();
    if (!QTest::qWaitForWindowActive(view)) {
        GTEST_SKIP() << "this platform does not activate windows, so nothing has the focus";
    }
    // The pause of row 2 answers Cancel, which ends Loop Cont after its first pass.
    qtHost->onMessage = [](const std::string&) { return form::MsgResult::Cancel; };
    for (const char* name : {"cmdExecAll", "cmdRunContinuous"}) {
        SCOPED_TRACE(name);
        auto* button = find<QPushButton>(view, name);
        button->setFocus(Qt::TabFocusReason);
        QTest::keyClick(button, Qt::Key_Space);
        EXPECT_EQ(find<QLineEdit>(view, "txtRunning")->text(), "Aborted");
        EXPECT_TRUE(button->hasFocus()) << QApplication::focusWidget()->objectName().toStdString();
    }
}

TEST_F(ScriptViewTest, LoopCont_WindowClosedInItsSecondPass_LoopEndsProgramFree) {
    auto* view = openFromMenu("05,,0B\r\n`w\r\n05,,0B\r\n`ENDM\r\n");
    ASSERT_NE(view, nullptr);
    auto& model = scripts().sharedWindow();
    QPointer<script::frmScriptOpsView> guard(view);
    // The pause of the second pass closes the window as its close box does; were the close
    // ignored, the 50th pause would end the loop, so the test fails instead of hanging.
    int pauses = 0;
    qtHost->onMessage = [&](const std::string&) {
        ++pauses;
        if (pauses == 2 && guard) {
            guard->close();
        }
        return pauses >= 50 ? form::MsgResult::Cancel : form::MsgResult::Ok;
    };
    const std::size_t before = i2cCommands();
    QTest::mouseClick(find<QPushButton>(view, "cmdRunContinuous"), Qt::LeftButton);

    EXPECT_EQ(pauses, 2);
    EXPECT_EQ(model.txtLoopCount.Text(), "2");
    // The closed window ran no row after the pause: two reads in the first pass, one in the
    // second.
    EXPECT_EQ(i2cCommands() - before, 3u);
    EXPECT_FALSE(app->gate().busy());
    EXPECT_EQ(board::ProgramStateAccess::of(app->link()).UsbOpened, board::False);
    EXPECT_TRUE(scripts().openWindows().empty());
    // The console is free again: its buttons take clicks, Exit included.
    qtHost->renderAll();
    auto* exit = views->mainView()->findChild<QPushButton*>("cmdexit");
    ASSERT_NE(exit, nullptr);
    EXPECT_TRUE(exit->isEnabled());
}

TEST_F(ScriptViewTest, RowWithFindings_LineCellTipSaysHowItReads) {
    auto* view = openFromMenu("1G,22\r\n05,,0B\r\n`ENDM\r\n");
    ASSERT_NE(view, nullptr);
    const auto tip = [view](int row, int column) {
        return view->gridModel()->data(view->gridModel()->index(row, column), Qt::ToolTipRole);
    };
    EXPECT_EQ(tip(0, 0).toString().toStdString(),
              "Reads register 01: \"G\" in \"1G\" is not a hex digit: each byte is read up to its "
              "first other character");
    EXPECT_EQ(tip(1, 0).toString(), "002");
    EXPECT_EQ(tip(0, static_cast<int>(Column::RegAdr) - 1).toString(), "1G");
}

TEST_F(ScriptViewTest, Resized_GridPlacedAsTheWindowSays) {
    auto* view = openFromMenu(kPassFail);
    ASSERT_NE(view, nullptr);
    view->resize(1200, 800);
    QApplication::processEvents();
    const auto& grid = scripts().sharedWindow().vbalGrid1;
    EXPECT_EQ(grid.Width, 1200 * form::kTwipsPerPixel - 400);
    EXPECT_EQ(grid.Height, 800 * form::kTwipsPerPixel - 4400);
    EXPECT_EQ(view->grid()->geometry(),
              QRect(7, script::frmScriptOpsView::kGridTop, (1200 * 15 - 400 + 7) / 15,
                    (800 * 15 - 4400 + 7) / 15));
    EXPECT_TRUE(view->grid()->isVisible());
    // The grid ends inside the window.
    EXPECT_LE(view->grid()->geometry().bottom(), view->centralWidget()->height());
    EXPECT_LE(view->grid()->geometry().right(), view->centralWidget()->width());
}

TEST_F(ScriptViewTest, OpenAnother_OwnWindow_FirstKeepsItsScript_CloseUnloads) {
    auto* first = openFromMenu(kPassFail, "first.txt");
    ASSERT_NE(first, nullptr);
    QTest::mouseClick(find<QPushButton>(first, "cmdExecAll"), Qt::LeftButton);
    qtHost->openAnswers.push_back(writeScript("second.txt", "05,,0B\r\n"));
    first->findChild<QAction*>("Dupform")->trigger();
    ASSERT_EQ(scriptViews().views().size(), 2u);
    auto* second = scriptViews().views()[1];
    EXPECT_NE(second, first);
    EXPECT_EQ(second->windowTitle().toStdString(), "[ second.txt ]    Script IC Send / Receive");
    EXPECT_EQ(second->gridModel()->rowCount(), 1);
    EXPECT_EQ(first->gridModel()->rowCount(), 3);
    EXPECT_EQ(find<QLineEdit>(first, "txtRdPass")->text(), "1");

    second->close();
    EXPECT_EQ(scripts().openWindows().size(), 1u);
    EXPECT_EQ(scriptViews().views().size(), 1u);
    // Freed on the next pass of the event loop, once no handler runs.
    QApplication::processEvents();
    EXPECT_TRUE(first->isVisible());
}

TEST_F(ScriptViewTest, Window_LoadedAndRun_NothingClippedOrOverlapping) {
    auto* view = openFromMenu(kPassFail);
    ASSERT_NE(view, nullptr);
    QTest::mouseClick(find<QPushButton>(view, "cmdExecAll"), Qt::LeftButton);
    auto& model = scripts().sharedWindow();
    model.Label18.Caption = " 3 Script written: 12-31-2025 23:59:59";
    model.txtFilePath.setText("/tmp/pass.txt");
    model.cmdAbort.Visible = true;
    qtHost->renderAll();
    QApplication::processEvents();
    EXPECT_EQ(lines(viewtest::clippedTexts(*view)), "");
    EXPECT_EQ(lines(viewtest::overlaps(*view)), "");
    EXPECT_EQ(lines(viewtest::missingWidgets(*view, model.controls())), "");
    // The smallest window still shows every control and a usable grid.
    view->resize(view->minimumSize());
    QApplication::processEvents();
    EXPECT_EQ(lines(viewtest::overlaps(*view)), "");
    EXPECT_GE(view->grid()->height(), 100);
}

}  // namespace
}  // namespace scriptviewtest
