// Pictures of the schedule window and its dialogs, for a person to look at;
// they land in the build folder's "screenshots" folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <QTest>

#include "schedule/schedule_editing.h"
#include "schedule_window_fixture.h"
#include "test_paths.h"
#include "ui/schedule/command_dialog.h"
#include "ui/schedule/schedule_time_dialog.h"

namespace korvane {
namespace {

using testing::ScheduleWindowTest;

const QString kFolder = QStringLiteral(KORVANE_BINARY_DIR "/screenshots");

void Save(QWidget& widget, const char* name) {
    QApplication::processEvents();
    ASSERT_TRUE(QDir().mkpath(kFolder));
    const QString path = kFolder + "/" + name;
    EXPECT_TRUE(widget.grab().save(path, "PNG")) << name;
    EXPECT_GT(QFileInfo(path).size(), 0) << name;
}

TEST_F(ScheduleWindowTest, Screenshots) {
    WriteSchedule(
        "Nightly.sch",
        {"Scan \"/srv\", \"/home\"", "Query \"Big Files\", \"/srv/data\"",
         "Copy \"@Big Files\", \"/backup/big\", /SUBFOLDER/OVERWRITE",
         "Export \"@Big Files\", \"/srv/reports/big.csv\"", "Command \"/usr/local/bin/notify-admins\""},
        "12/24/2026 23:05:00", "Daily");
    CScheduleFrame* frame = OpenSchedule("Nightly.sch");
    ASSERT_NE(frame, nullptr);
    frame->Script()->setCurrentIndex(frame->Script()->model()->index(2, 0));
    Save(Frame(), "schedule_window.png");

    const auto shape = CommandDialogShapeOf("Copy");
    ASSERT_TRUE(shape);
    CommandDialog copy("Copy", *shape, {"@Big Files", "/backup/big", {true, false}}, {"Big Files"}, ui);
    copy.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&copy));
    Save(copy, "schedule_command_dialog_copy.png");

    ScheduleTimeDialog time(ScheduleTimeFieldsOf("12/24/2026 23:05:00", "Daily", 0), "12/24/2026 23:05:00");
    time.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&time));
    Save(time, "schedule_time_dialog.png");
}

}  // namespace
}  // namespace korvane
