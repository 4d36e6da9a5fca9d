// The Qt host's painters: a window closed by a paint is not painted again in the same round;
// and its message boxes centre on the window that raised them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "kit/QtHost.h"

namespace viewtest {
namespace {

TEST(QtHostTest, RenderAll_ViewClosedByAnEarlierPaint_IsNotPaintedAgain) {
    kit::QtHost host;
    // Stands for a view: the first paint closes it and removes its painter, as a window that an
    // operation unloads does.
    auto view = std::make_unique<int>(0);
    int viewPainter = 0;
    bool paintedAfterClose = false;
    int added = 0;
    host.addRenderer([&] {
        host.removeRenderer(viewPainter);
        view.reset();
        // A painter added during the round waits for the next one.
        host.addRenderer([&] { ++added; });
    });
    viewPainter = host.addRenderer([&] {
        if (view == nullptr) {
            paintedAfterClose = true;
        } else {
            ++*view;
        }
    });
    host.renderAll();
    EXPECT_FALSE(paintedAfterClose);
    EXPECT_EQ(added, 0);
}

TEST(QtHostTest, MessageBox_CentredOnTheWindowThatRaisedIt) {
    kit::QtHost host;
    QWidget active;
    QWidget raiser;
    active.setGeometry(40, 40, 300, 200);
    raiser.setGeometry(700, 420, 500, 300);
    raiser.show();
    active.show();
    active.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&raiser));
    for (QWidget* owner : {&raiser, &active}) {
        QPoint boxCentre;
        QTimer::singleShot(0, [&boxCentre] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                boxCentre = box->frameGeometry().center();
                box->close();
            }
        });
        {
            const kit::QtHost::DialogOwner raising(host, owner);
            host.messageBox("Illegal I2C Address, re-enter", form::MsgButtons::Ok, "t");
        }
        const QPoint ownerCentre = owner->frameGeometry().center();
        EXPECT_LE((boxCentre - ownerCentre).manhattanLength(), 40)
            << boxCentre.x() << "," << boxCentre.y() << " vs " << ownerCentre.x() << ","
            << ownerCentre.y();
    }
}

}  // namespace
}  // namespace viewtest
