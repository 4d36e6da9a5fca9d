#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <functional>

#include "ViewFixture.h"
#include "console/SetupFile.h"
#include "kit/LampWidget.h"
#include "kit/TextCell.h"

namespace viewtest {
namespace {

using ConsoleViewTest = ViewFixture;

TEST_F(ConsoleViewTest, ReadButton_Click_ShowsReadValue) {
    auto* reg = find<QLineEdit>("txtUserRegAdr");
    auto* read = find<QPushButton>("cmdRead");
    ASSERT_TRUE(reg && read);
    reg->selectAll();
    QTest::keyClicks(reg, "05");
    EXPECT_EQ(model().txtUserRegAdr.Text(), "05");
    QTest::mouseClick(read, Qt::LeftButton);
    EXPECT_EQ(find<QLineEdit>("txtReadByte")->text(), "7A");
    EXPECT_TRUE(find<kit::LampWidget>("Shape3")->isVisible());
    EXPECT_EQ(find<kit::LampWidget>("Shape2_2")->fill(), QColor(0, 255, 0));
}

TEST_F(ConsoleViewTest, AddressBox_Enter_RunsTheTest) {
    auto* address = find<QLineEdit>("txtI2CAdr");
    ASSERT_NE(address, nullptr);
    QTest::keyClick(address, Qt::Key_Return);
    EXPECT_EQ(find<QLabel>("lblCommTest")->text(), "Good");
    EXPECT_EQ(find<QLineEdit>("txtTstReg_0")->text(), "1");
    EXPECT_EQ(find<QLineEdit>("txtTstReg_1")->text(), "7A");
}

TEST_F(ConsoleViewTest, AddressBox_TypedLowerCaseThenEnter_PadsAndFailsWithoutDevice) {
    auto* address = find<QLineEdit>("txtI2CAdr");
    ASSERT_NE(address, nullptr);
    address->selectAll();
    QTest::keyClicks(address, "a");
    QTest::keyClick(address, Qt::Key_Return);
    EXPECT_EQ(address->text(), "0A");
    EXPECT_EQ(find<QLineEdit>("txtActualWrtAddress")->text(), "A");
    EXPECT_EQ(find<QLabel>("lblCommTest")->text(), "Fail");
}

TEST_F(ConsoleViewTest, ClickDuringAnotherHandler_IsDroppedByTheGate) {
    auto* read = find<QPushButton>("cmdRead");
    auto* readAll = find<QPushButton>("cmdReadRegs");
    ASSERT_TRUE(read && readAll);
    bool enabledMeanwhile = true;
    // Both run at the first yield inside READ's handler.
    QMetaObject::invokeMethod(
        readAll, [readAll] { QTest::mouseClick(readAll, Qt::LeftButton); }, Qt::QueuedConnection);
    QMetaObject::invokeMethod(
        readAll,
        [this, readAll, &enabledMeanwhile] {
            qtHost->renderAll();
            enabledMeanwhile = readAll->isEnabled();
        },
        Qt::QueuedConnection);
    QTest::mouseClick(read, Qt::LeftButton);
    EXPECT_EQ(app->gate().dropped(), 1);
    EXPECT_FALSE(enabledMeanwhile);
    EXPECT_TRUE(readAll->isEnabled());
    EXPECT_EQ(find<kit::TextCell>("txtRdByte_2")->text(), "");
    // Once the handler has ended, the same click goes through.
    QTest::mouseClick(readAll, Qt::LeftButton);
    EXPECT_EQ(find<kit::TextCell>("txtRdByte_2")->text(), "7A");
}

TEST_F(ConsoleViewTest, GridWriteBox_DoubleClickAndEnter_WriteTheRow) {
    auto* write = find<kit::TextCell>("txtBWrite_5");
    ASSERT_NE(write, nullptr);
    QTest::keyClicks(write, "3c");
    QTest::mouseDClick(write, Qt::LeftButton);
    EXPECT_EQ(write->text(), "3C");
    EXPECT_EQ(board->peekRegister(0x60, 0x05), 0x3C);
    write->selectAll();
    QTest::keyClicks(write, "44");
    QTest::keyClick(write, Qt::Key_Return);
    EXPECT_EQ(board->peekRegister(0x60, 0x05), 0x44);
    EXPECT_EQ(find<kit::LampWidget>("shpBwrite_5")->fill(), QColor(0, 128, 0));
}

TEST_F(ConsoleViewTest, GridReadBox_SingleClick_ReadsTheRowOnce) {
    auto* read = find<kit::TextCell>("txtRdByte_2");
    ASSERT_NE(read, nullptr);
    QTest::mouseClick(read, Qt::LeftButton);
    EXPECT_EQ(read->text(), "7A");
    EXPECT_EQ(find<kit::LampWidget>("Shape1_2")->fill(), QColor(0, 255, 0));
    // A double click (press, release, press, double click, release) is one click, not two:
    // the lamp toggles once more only.
    QTest::mouseClick(read, Qt::LeftButton);
    QTest::mousePress(read, Qt::LeftButton);
    QTest::mouseDClick(read, Qt::LeftButton);
    QTest::mouseRelease(read, Qt::LeftButton);
    EXPECT_EQ(find<kit::LampWidget>("Shape1_2")->fill(), QColor(0, 128, 0));
}

TEST_F(ConsoleViewTest, GridBoxes_TabAndBacktab_WalkTheRowAndTypeIntoTheModel) {
    QApplication::setActiveWindow(&mainView());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&mainView()));
    find<kit::TextCell>("Reg_Adr_3")->setFocus(Qt::TabFocusReason);
    // The box that has the focus, by the name of its cell.
    auto focused = [] {
        QWidget* w = QApplication::focusWidget();
        EXPECT_NE(qobject_cast<QLineEdit*>(w), nullptr);
        return w != nullptr && w->parentWidget() != nullptr ? w->parentWidget()->objectName()
                                                            : QString();
    };
    const QStringList row = {"Reg_Adr_3", "Reg_Desc_3", "txtBWrite_3", "txtRdByte_3", "Reg_Adr_4"};
    for (qsizetype k = 0; k < row.size(); ++k) {
        EXPECT_EQ(focused(), row[k]);
        if (k + 1 < row.size()) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
    }
    for (qsizetype k = row.size() - 1; k > 0; --k) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        EXPECT_EQ(focused(), row[k - 1]);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClicks(QApplication::focusWidget(), "12");
    EXPECT_EQ(focused(), "txtBWrite_3");
    EXPECT_EQ(model().txtBWrite[3].Text(), "12");
}

TEST_F(ConsoleViewTest, GridBoxes_BeforeAndAfterUse_ReadAsEditableTexts) {
    auto* cell = find<kit::TextCell>("Reg_Adr_3");
    ASSERT_NE(cell, nullptr);
    for (const bool used : {false, true}) {
        if (used) {
            cell->editor();
        }
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(cell);
        ASSERT_NE(face, nullptr) << used;
        EXPECT_EQ(face->role(), QAccessible::EditableText) << used;
        EXPECT_EQ(face->text(QAccessible::Value), "03") << used;
        EXPECT_TRUE(face->state().editable) << used;
    }
    cell->setReadOnly(true);
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(cell)->state().readOnly);
}

TEST_F(ConsoleViewTest, InvalidWriteValue_TypedThenEnter_ShowsDashesAndLogs) {
    auto* value = find<QLineEdit>("txtsbwr_0");
    ASSERT_NE(value, nullptr);
    value->selectAll();
    QTest::keyClicks(value, "100");
    QTest::keyClick(value, Qt::Key_Return);
    EXPECT_EQ(value->text(), "--");
    EXPECT_NE(find<QPlainTextEdit>("Txtlog")->toPlainText().indexOf("Invalid Write Value"), -1);
}

TEST_F(ConsoleViewTest, LogView_NewEntries_AppendWithoutReplacingAndClearStartsFresh) {
    auto* log = find<QPlainTextEdit>("Txtlog");
    ASSERT_NE(log, nullptr);
    auto plain = [this] {
        QString text = QString::fromStdString(model().Txtlog.Text());
        return text.remove('\r');
    };
    EXPECT_EQ(log->toPlainText(), plain());
    // A mark on the first line survives an append but not a replacement.
    log->document()->firstBlock().setUserState(42);
    model().cbReset_Click();
    qtHost->renderAll();
    EXPECT_EQ(log->toPlainText(), plain());
    EXPECT_EQ(log->document()->firstBlock().userState(), 42);
    QTest::mouseClick(find<QPushButton>("cmdClearLog"), Qt::LeftButton);
    EXPECT_EQ(log->toPlainText(), "");
    model().cbReset_Click();
    qtHost->renderAll();
    EXPECT_EQ(log->toPlainText(), plain());
    EXPECT_TRUE(log->toPlainText().startsWith("Press Reset Button"));
}

// A log past its budget: the view drops the lines the model dropped and shows the notice on
// top, whether it renders after every entry, every few, or after more than a whole budget.
TEST_F(ConsoleViewTest, LogView_PastBudget_ShowsExactlyWhatTheModelHolds) {
    auto* log = find<QPlainTextEdit>("Txtlog");
    ASSERT_NE(log, nullptr);
    model().cmdClearLog_Click();
    model().Txtlog.keepNewest({400, 9, "older entries removed\r\n"});
    for (int every : {1, 3, 12}) {
        for (int i = 1; i <= 24; ++i) {
            model().cbReset_Click();
            if (i % every == 0) {
                qtHost->renderAll();
                ASSERT_EQ(log->toPlainText(),
                          QString::fromStdString(model().Txtlog.Text()).remove('\r'))
                    << "render every " << every << " entries, entry " << i;
            }
        }
    }
    EXPECT_TRUE(log->toPlainText().startsWith("older entries removed\n"));
}

TEST_F(ConsoleViewTest, CloseBox_WhileConnected_RefusedAndWindowStays) {
    QTest::mouseClick(find<QWidget>("ChKManUsbConn"), Qt::LeftButton);
    EXPECT_EQ(model().ChKManUsbConn.Value, 1);
    QTest::mouseClick(find<QPushButton>("cmdUSBConnect"), Qt::LeftButton);
    EXPECT_FALSE(find<QPushButton>("cmdexit")->isVisible());
    EXPECT_FALSE(mainView().close());
    EXPECT_TRUE(mainView().isVisible());
    EXPECT_FALSE(app->quitRequested());
    EXPECT_NE(find<QPlainTextEdit>("Txtlog")->toPlainText().indexOf(
                  "Form will not close until USB Connection is closed. Click USB Disconnect"),
              -1);
    // The reason shows: the "Program Log" tab is in front.
    QTabBar* bar = find<QTabWidget>("SSTab1")->tabBar();
    EXPECT_EQ(bar->currentIndex(), 1);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
    QTest::mouseClick(find<QPushButton>("cmdUSBDisconnect"), Qt::LeftButton);
    EXPECT_TRUE(find<QPushButton>("cmdexit")->isVisible());
    EXPECT_EQ(find<QLineEdit>("txthDriver")->text(), "Closed");
    EXPECT_TRUE(mainView().close());
    EXPECT_TRUE(app->quitRequested());
}

TEST_F(ConsoleViewTest, CloseBox_WhileAnotherOperationRuns_RefusedWithTheReason) {
    bool closed = true;
    // Runs at the first yield inside READ's handler.
    QMetaObject::invokeMethod(
        &mainView(), [this, &closed] { closed = mainView().close(); }, Qt::QueuedConnection);
    QTest::mouseClick(find<QPushButton>("cmdRead"), Qt::LeftButton);
    EXPECT_FALSE(closed);
    EXPECT_TRUE(mainView().isVisible());
    EXPECT_FALSE(app->quitRequested());
    EXPECT_EQ(countInLog(console::frmI2C_General::kCloseRefused), 1u);
}

// Leaving the address box for the other tab runs the box's handler, which repaints in the middle
// of the switch; the tab bar, the page and the model must still end on the same tab.
TEST_F(ConsoleViewTest, TabClick_FromTheAddressBox_BarPageAndModelAgree) {
    auto* tabs = find<QTabWidget>("SSTab1");
    auto* address = find<QLineEdit>("txtI2CAdr");
    ASSERT_TRUE(tabs && address);
    mainView().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&mainView()));
    QTest::mouseClick(address, Qt::LeftButton);
    ASSERT_TRUE(address->hasFocus());
    QTabBar* bar = tabs->tabBar();
    for (int tab : {1, 0}) {
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
        EXPECT_EQ(bar->currentIndex(), tab);
        EXPECT_EQ(tabs->currentWidget(), tabs->widget(tab));
        EXPECT_EQ(model().SSTab1.Tab, tab);
    }
}

TEST_F(ConsoleViewTest, GoodVerdict_TextInTheSystemButtonTextColour) {
    const QPalette saved = QApplication::palette();
    struct Restore {
        const QPalette& palette;
        ~Restore() { QApplication::setPalette(palette); }
    } restore{saved};
    QPalette marked = saved;
    marked.setColor(QPalette::ButtonText, QColor(0, 0, 160));
    QApplication::setPalette(marked);
    QTest::mouseClick(find<QPushButton>("cmdTestComm"), Qt::LeftButton);
    auto* verdict = find<QLabel>("lblCommTest");
    ASSERT_NE(verdict, nullptr);
    EXPECT_EQ(verdict->text(), "Good");
    EXPECT_EQ(verdict->palette().color(QPalette::WindowText), QColor(0, 0, 160));
}

TEST_F(ConsoleViewTest, Keyboard_AltFAndF10OpenTheMenuEnterPressesFocusedButton) {
    mainView().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&mainView()));
    auto* file = find<QMenu>("mnuFileProcess");
    ASSERT_NE(file, nullptr);
    for (const auto& [key, modifiers] :
         {std::pair{Qt::Key_F, Qt::AltModifier}, std::pair{Qt::Key_F10, Qt::NoModifier}}) {
        QTest::keyClick(&mainView(), key, modifiers);
        EXPECT_TRUE(file->isVisible()) << key;
        file->close();
        mainView().menuBar()->setActiveAction(nullptr);
    }
    // The captions the model holds stay as written.
    EXPECT_EQ(model().mnuFileProcess.Caption, "File");

    auto* read = find<QPushButton>("cmdRead");
    ASSERT_NE(read, nullptr);
    read->setFocus();
    const std::size_t before = i2cPackets().size();
    QTest::keyClick(read, Qt::Key_Return);
    EXPECT_EQ(i2cPackets().size(), before + 2);
}

TEST_F(ConsoleViewTest, GpioMenu_Triggered_ShowsPanelWithStartupReadBack) {
    auto* action = mainView().findChild<QAction*>("mnuGPIO");
    ASSERT_NE(action, nullptr);
    action->trigger();
    ASSERT_NE(views->gpioView(), nullptr);
    EXPECT_TRUE(views->gpioView()->isVisible());
    EXPECT_EQ(findInPanel<QLineEdit>("txtPCHexData_0")->text(), "FF");
    EXPECT_NE(findInPanel<QLineEdit>("txtPCHexData_1")->text(), "--");
}

// Runs `drive` on the program's file dialog once it shows. A message box over it (a name the
// dialog could not find) is closed and the dialog cancelled, so that a failing test ends.
void whenFileDialogShows(const std::function<void(QFileDialog*)>& drive) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, drive] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return;
        }
        poll->deleteLater();
        auto* guard = new QTimer(dialog);
        QObject::connect(guard, &QTimer::timeout, [dialog] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                box->close();
                QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
            }
        });
        guard->start(50);
        drive(dialog);
    });
    poll->start(20);
}

// The files the dialog lists in the folder, once `ready` holds for them (or after 2 s).
QStringList listedFiles(QFileDialog* dialog, const QString& folder,
                        const std::function<bool(const QStringList&)>& ready) {
    auto* model = dialog->findChild<QFileSystemModel*>();
    QStringList names;
    // A list that never gets ready is checked as it stands.
    (void)QTest::qWaitFor(
        [&] {
            const QModelIndex root = model->index(folder);
            names.clear();
            for (int row = 0; row < model->rowCount(root); ++row) {
                names << model->index(row, 0, root).data().toString();
            }
            return ready(names);
        },
        2000);
    names.sort();
    return names;
}

// On a case-sensitive file system the setup file dialog still lists "*.kvx" in any case, lists
// every file under "All Files (*.*)" (also one without a dot), shows the filter texts as
// written, and finds board.kvx for a typed "board" although the default extension is "KVX".
TEST_F(ConsoleViewTest, SetupOpenDialog_AnyCaseEveryFileAndTypedName) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows shows its own dialog, which ignores case and lists every file";
#endif
    QTemporaryDir dir;
    console::SetupFile setup;
    setup.address = "3c";
    ASSERT_TRUE(setup.write(dir.filePath("board.kvx").toStdString()).ok);
    for (const char* name : {"OLD.KVX", "notes", "readme.txt"}) {
        QFile(dir.filePath(name)).open(QIODevice::WriteOnly);
    }
    qtHost->systemDialogs = true;
    QStringList filterTexts, setupFiles, allFiles;
    whenFileDialogShows([&](QFileDialog* dialog) {
        dialog->setDirectory(dir.path());
        auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
        for (int i = 0; i < types->count(); ++i) {
            filterTexts << types->itemText(i);
        }
        setupFiles = listedFiles(dialog, dir.path(),
                                 [](const QStringList& names) { return names.size() >= 2; });
        dialog->selectNameFilter(dialog->nameFilters().at(0));
        allFiles = listedFiles(dialog, dir.path(),
                               [](const QStringList& names) { return names.size() >= 4; });
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        name->setText("board");
        QTest::keyClick(name, Qt::Key_Return);
    });
    model().mnuSetup_Open_Click();
    EXPECT_EQ(filterTexts.join('|'), "All Files (*.*)|I2C_General Setup Files(*.kvx)");
    EXPECT_EQ(setupFiles.join('|'), "OLD.KVX|board.kvx");
    EXPECT_EQ(allFiles.join('|'), "OLD.KVX|board.kvx|notes|readme.txt");
    EXPECT_EQ(model().Caption, "board.kvx - Velmorix I2CUSB");
    EXPECT_EQ(model().txtI2CAdr.Text(), "3C");
}

// "Capture..." asks for a file and the entry turns into a checked "Stop Capture"; the rest of the
// menu stays as it was.
TEST_F(ConsoleViewTest, CaptureMenu_StartAndStop_CheckMarkAndCaptionFollowTheModel) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows shows its own dialog, which this test cannot type into";
#endif
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.pcapng");
    auto* capture = mainView().findChild<QAction*>("mnuCapture");
    ASSERT_NE(capture, nullptr);
    EXPECT_EQ(capture->text(), "Capture...");
    EXPECT_FALSE(capture->isChecked());
    qtHost->systemDialogs = true;
    whenFileDialogShows([&](QFileDialog* dialog) {
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        name->setText(path);
        QTest::keyClick(name, Qt::Key_Return);
    });
    capture->trigger();
    EXPECT_EQ(model().capturePath(), path.toStdString());
    EXPECT_EQ(capture->text(), "Stop Capture");
    EXPECT_TRUE(capture->isChecked());
    capture->trigger();
    EXPECT_EQ(capture->text(), "Capture...");
    EXPECT_FALSE(capture->isChecked());
    EXPECT_TRUE(QFile::exists(path));
    QStringList entries;
    for (QAction* action : find<QMenu>("mnuFileProcess")->actions()) {
        entries << action->text();
    }
    EXPECT_EQ(entries.join('|'), "&Open|Save|Capture...");
}

}  // namespace
}  // namespace viewtest
