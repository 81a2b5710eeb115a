#include "ui/frame_status_bar.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "app/minute_clock.h"
#include "qt_environment.h"

namespace korvane {
namespace {

using testing::WaitUntil;

std::time_t LocalTime(int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = 124;
    local.tm_mon = 6;
    local.tm_mday = 18;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

class StatusBarWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        bar = new FrameStatusBar(&window);
        window.setStatusBar(bar);
        file = window.menuBar()->addMenu("&File");
        QAction* open = file->addAction("&Open...");
        open->setStatusTip("Open an existing document");
        view = window.menuBar()->addMenu("&View");
        view->addAction("&Toolbar")->setStatusTip("Show or hide the toolbar");
        bar->WatchMenus(window.menuBar());
        bar->SetClock([this] { return now; });
        window.resize(800, 500);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    std::time_t now = LocalTime(12, 30, 42);
    QMainWindow window;
    FrameStatusBar* bar = nullptr;
    QMenu* file = nullptr;
    QMenu* view = nullptr;
};

TEST_F(StatusBarWindow, PanesShowTheClockTextsAtTheirOwnWidth) {
    bar->StartClock();
    EXPECT_EQ(bar->TimePane()->text(), " 12:30  PM ");
    EXPECT_EQ(bar->DatePane()->text(), "Thu, Jul 18, 2024 ");
    const QFontMetrics metrics = bar->TimePane()->fontMetrics();
    const QMargins margins = bar->TimePane()->contentsMargins();
    EXPECT_EQ(bar->TimePane()->width(),
              metrics.horizontalAdvance(" 12:30  PM ") + margins.left() + margins.right());
    EXPECT_EQ(bar->MessagePane()->text(), "Ready");

    now = LocalTime(0, 5, 0);
    bar->StartClock();
    EXPECT_EQ(bar->TimePane()->text(), " 12:05  AM ");
}

TEST_F(StatusBarWindow, FirstTimerWaitsForTheNextWholeMinute) {
    bar->StartClock();
    EXPECT_TRUE(bar->FirstTimer().isActive());
    EXPECT_TRUE(bar->FirstTimer().isSingleShot());
    EXPECT_EQ(bar->FirstTimer().interval(), 18000);
    EXPECT_FALSE(bar->MinuteTimer().isActive());
    bar->StopClock();
    EXPECT_FALSE(bar->FirstTimer().isActive());
}

TEST_F(StatusBarWindow, AfterTheFirstTickTheMinuteTimerTakesOver) {
    now = LocalTime(9, 14, 59);
    bar->StartClock();
    EXPECT_EQ(bar->FirstTimer().interval(), 1000);
    EXPECT_EQ(bar->TimePane()->text(), " 9:14  AM ");
    now = LocalTime(9, 15, 0);
    ASSERT_TRUE(WaitUntil([&] { return bar->MinuteTimer().isActive(); }, 4000));
    EXPECT_FALSE(bar->FirstTimer().isActive());
    EXPECT_EQ(bar->MinuteTimer().interval(), 60000);
    EXPECT_FALSE(bar->MinuteTimer().isSingleShot());
    EXPECT_EQ(bar->TimePane()->text(), " 9:15  AM ");
}

TEST_F(StatusBarWindow, MenuPromptGetsTheWholeBarAndThePaneComesBack) {
    bar->StartClock();
    QApplication::processEvents();
    const int message_width = bar->MessagePane()->width();
    ASSERT_TRUE(bar->DatePane()->isVisible());

    file->popup(window.mapToGlobal(QPoint(10, 30)));
    ASSERT_TRUE(WaitUntil([&] { return file->isVisible(); }));
    EXPECT_TRUE(bar->PromptHasWholeBar());
    EXPECT_FALSE(bar->DatePane()->isVisible());
    EXPECT_FALSE(bar->TimePane()->isVisible());

    // From one menu to the next the prompt keeps the bar.
    file->hide();
    view->popup(window.mapToGlobal(QPoint(60, 30)));
    QTest::qWait(30);
    EXPECT_TRUE(bar->PromptHasWholeBar());
    EXPECT_FALSE(bar->DatePane()->isVisible());

    view->hide();
    ASSERT_TRUE(WaitUntil([&] { return !bar->PromptHasWholeBar(); }));
    EXPECT_TRUE(bar->DatePane()->isVisible());
    EXPECT_TRUE(bar->TimePane()->isVisible());
    ASSERT_TRUE(WaitUntil([&] { return bar->MessagePane()->width() == message_width; }));
    EXPECT_EQ(bar->currentMessage(), "");
}

TEST_F(StatusBarWindow, PanesHiddenBeforeTheMenuStayHidden) {
    bar->StartClock();
    bar->TimePane()->hide();
    file->popup(window.mapToGlobal(QPoint(10, 30)));
    ASSERT_TRUE(WaitUntil([&] { return file->isVisible(); }));
    file->hide();
    ASSERT_TRUE(WaitUntil([&] { return !bar->PromptHasWholeBar(); }));
    EXPECT_TRUE(bar->DatePane()->isVisible());
    EXPECT_FALSE(bar->TimePane()->isVisible());
}

TEST_F(StatusBarWindow, PopUpStretchesOnlyAfterASelection) {
    // A pop-up with no selection seen first keeps the bar as it is.
    bar->OnMenuPopup();
    EXPECT_FALSE(bar->PromptHasWholeBar());
    EXPECT_TRUE(bar->DatePane()->isVisible());
    bar->OnMenuSelect(false);
    bar->OnMenuPopup();
    EXPECT_TRUE(bar->PromptHasWholeBar());
    bar->OnMenuSelect(true);
    EXPECT_FALSE(bar->PromptHasWholeBar());
    // The selection flag went with the restore.
    bar->OnMenuPopup();
    EXPECT_FALSE(bar->PromptHasWholeBar());
}

}  // namespace
}  // namespace korvane
