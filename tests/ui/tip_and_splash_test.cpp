#include <gtest/gtest.h>

#include <QCheckBox>
#include <QImage>
#include <QPushButton>
#include <QTest>

#include "app/profile_file.h"
#include "qt_environment.h"
#include "support/temp_dir.h"
#include "ui/splash_window.h"
#include "ui/tip_dialog.h"

namespace korvane {
namespace {

using testing::TempDir;
using testing::WriteFileBytes;

constexpr const char* kTips = "; remark\r\nFirst tip.\r\n\tcontinued\r\nSecond tip.\r\n";

TEST(TipDialog, ShowsTipsInTurnAndCloseWritesTheCheckBox) {
    TempDir dir;
    const std::string tips = dir / "Korvane.txt";
    const std::string ini = dir / "Korvane.ini";
    ASSERT_TRUE(WriteFileBytes(tips, kTips));
    {
        TipDialog dialog(tips, ini);
        EXPECT_EQ(dialog.windowTitle(), "Today's tip.");
        EXPECT_EQ(dialog.TipText(), "First tip.");
        EXPECT_TRUE(dialog.ShowAtStartUp()->isChecked());
        QTest::mouseClick(dialog.NextButton(), Qt::LeftButton);
        EXPECT_EQ(dialog.TipText(), "Second tip.");
        QTest::mouseClick(dialog.NextButton(), Qt::LeftButton);
        EXPECT_EQ(dialog.TipText(), "First tip.");
        dialog.ShowAtStartUp()->setChecked(false);
        QTest::mouseClick(dialog.CloseButton(), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(ReadProfileString(ini, "Tip", "StartUp"), "0");
    const long position = ReadProfileInt(ini, "Tip", "FilePos", -1);
    EXPECT_GT(position, 0);

    // The next dialog carries on after the tip shown last.
    TipDialog again(tips, ini);
    EXPECT_EQ(again.TipText(), "Second tip.");
    EXPECT_FALSE(again.ShowAtStartUp()->isChecked());
    again.ShowAtStartUp()->setChecked(true);
    again.reject();
    // Leaving any other way keeps the position but not the check box.
    EXPECT_EQ(ReadProfileString(ini, "Tip", "StartUp"), "0");
    EXPECT_NE(ReadProfileInt(ini, "Tip", "FilePos", -1), position);
}

TEST(TipDialog, MissingFileSaysSoAndHasNoNextTip) {
    TempDir dir;
    TipDialog dialog(dir / "Korvane.txt", dir / "Korvane.ini");
    EXPECT_EQ(dialog.TipText(), "Cannot find tip of the day text file.");
    EXPECT_FALSE(dialog.NextButton()->isEnabled());
    dialog.accept();
    EXPECT_EQ(ReadProfileString(dir / "Korvane.ini", "Tip", "FilePos", "<none>"), "<none>");
}

TEST(TipsFile, InstallationFolderComesFirst) {
    TempDir dir;
    const std::string folder = dir.str() + "/";
    ASSERT_TRUE(WriteFileBytes(folder + "Korvane.txt", kTips));
    EXPECT_EQ(TipsFilePath(folder), folder + "Korvane.txt");
}

TEST(Splash, BitmapFileOrTheBuiltInPicture) {
    TempDir dir;
    const std::string folder = dir.str() + "/";
    const QSize built_in = BuiltInSplashImage().size();
    EXPECT_FALSE(built_in.isEmpty());
    EXPECT_EQ(LoadSplashImage(folder).size(), built_in);

    QImage picture(120, 80, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(QString::fromStdString(folder + "Korvane.bmp"), "BMP"));
    EXPECT_EQ(LoadSplashImage(folder).size(), QSize(120, 80));

    // A picture of another kind under the bitmap's name is not taken.
    ASSERT_TRUE(picture.save(QString::fromStdString(folder + "Korvane.bmp"), "PNG"));
    EXPECT_EQ(LoadSplashImage(folder).size(), built_in);
    // Nor is a damaged bitmap.
    ASSERT_TRUE(WriteFileBytes(folder + "Korvane.bmp", "BM\x10\x00garbage"));
    EXPECT_EQ(LoadSplashImage(folder).size(), built_in);

    SplashWindow splash(BuiltInSplashImage());
    EXPECT_EQ(splash.size(), built_in);
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
}

}  // namespace
}  // namespace korvane
