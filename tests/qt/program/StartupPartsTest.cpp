// What the program does to show its main window sooner must not change what it shows: the
// style's deferred extension arrows draw as Fusion's own, and the font worker ends whether or not
// the application came to exist.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QImage>
#include <QPixmap>
#include <QStyleFactory>
#include <memory>

#include "kit/DeferredIconStyle.h"
#include "program/FontWarmup.h"

namespace viewtest {
namespace {

TEST(StartupPartsTest, DeferredIconStyle_IconsDrawAsFusionsOwn) {
    kit::DeferredIconStyle deferred;
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create("Fusion"));
    ASSERT_NE(fusion, nullptr);
    for (const QStyle::StandardPixmap which :
         {QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_ToolBarVerticalExtensionButton,
          QStyle::SP_MessageBoxWarning}) {
        SCOPED_TRACE(static_cast<int>(which));
        const QIcon icon = deferred.standardIcon(which, nullptr, nullptr);
        EXPECT_FALSE(icon.isNull());
        for (const int side : {16, 32}) {
            const QImage drawn = icon.pixmap(side, side).toImage();
            ASSERT_FALSE(drawn.isNull());
            EXPECT_EQ(drawn, fusion->standardIcon(which).pixmap(side, side).toImage());
        }
    }
}

TEST(StartupPartsTest, FontWarmup_EndsWithOrWithoutTheApplication) {
    {
        // The program stopped before its QApplication (a bridge that cannot be had).
        program::FontWarmup fonts;
    }
    program::FontWarmup fonts;
    fonts.applicationReady();
    fonts.waitForConfiguration();
    fonts.finish();
    fonts.finish();
    EXPECT_FALSE(QFontDatabase::families().isEmpty());
}

}  // namespace
}  // namespace viewtest
