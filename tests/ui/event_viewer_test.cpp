#include "ui/event_viewer.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>

#include "app/event_log.h"
#include "qt_environment.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::RecordingUserInterface;
using testing::TempDir;
using testing::WriteFileBytes;

constexpr const char* kLog =
    "\"07/24/1998 14:05:09\", \"Korvane\", \"Warning\", \"Only one instance allowed.\"\r\n"
    "\"07/24/1998 14:06:00\", \"Night.sch\", \"Info\", \"Copied a, b and c\"\r\n"
    "\r\n"
    "\"07/24/1998 14:07:00\", \"Night.sch\", \"Error\", \"Cannot open \"x.qry\" now\"\r\n"
    "\"07/24/1998 14:08:00\", \"Night.sch\", \"Info\"\r\n"
    "\"07/24/1998 14:09:00\", \"FTP Scan\", \"ERROR\", \"Connection refused\"\r\n"
    "\"07/24/1998 14:10:00\", \"Other\", \"Debug\", \"Odd type\"\n";

QStringList Row(QTreeWidget* list, int index) {
    QStringList texts;
    for (int column = 0; column < 4; ++column)
        texts << list->topLevelItem(index)->text(column);
    return texts;
}

TEST(EventViewer, ListsTheLogAsItsLinesSplit) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / "Event.log", kLog));
    RecordingUserInterface ui;
    EventViewer viewer(dir / "Event.log", ui);
    EXPECT_EQ(viewer.windowTitle(), "Event Message Viewer");
    QTreeWidget* list = viewer.List();
    ASSERT_EQ(list->columnCount(), 4);
    EXPECT_EQ(list->headerItem()->text(0), "Date-Time");
    EXPECT_EQ(list->headerItem()->text(3), "Message");
    // At least the given widths, and wide enough for the date.
    EXPECT_GE(list->columnWidth(0), 125);
    EXPECT_GE(list->columnWidth(1), 85);
    EXPECT_GE(list->columnWidth(2), 55);
    EXPECT_GE(list->columnWidth(0), list->fontMetrics().horizontalAdvance("07/24/1998 14:05:09"));

    // The blank line and the line of three fields are passed over.
    ASSERT_EQ(list->topLevelItemCount(), 5);
    EXPECT_EQ(Row(list, 0),
              QStringList({"07/24/1998 14:05:09", "Korvane", "Warning", "Only one instance allowed."}));
    EXPECT_EQ(Row(list, 1)[3], "Copied a, b and c");
    // A double quote inside the message ends it there.
    EXPECT_EQ(Row(list, 2)[3], "Cannot open ");
    EXPECT_EQ(Row(list, 3)[2], "ERROR");
    const int icons[5] = {2, 0, 1, 1, 3};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(list->topLevelItem(i)->data(0, EventViewer::kIconRole).toInt(), icons[i]) << i;
        EXPECT_FALSE(list->topLevelItem(i)->icon(0).isNull());
    }
}

TEST(EventViewer, MissingLogShowsAnEmptyList) {
    TempDir dir;
    RecordingUserInterface ui;
    EventViewer viewer(dir / "Event.log", ui);
    EXPECT_EQ(viewer.List()->topLevelItemCount(), 0);
    EXPECT_EQ(viewer.List()->columnWidth(0), 125);
    EXPECT_EQ(viewer.List()->columnWidth(1), 85);
    EXPECT_EQ(viewer.List()->columnWidth(2), 55);
}

TEST(EventViewer, ClearAsksAndDeletesTheLogOnYes) {
    TempDir dir;
    const std::string log = dir / "Event.log";
    ASSERT_TRUE(WriteFileBytes(log, kLog));
    RecordingUserInterface ui;
    EventViewer viewer(log, ui);
    ui.answers = {MessageAnswer::No};
    QTest::mouseClick(viewer.ClearButton(), Qt::LeftButton);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Are you sure you want to clear the event messages?");
    EXPECT_EQ(ui.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_TRUE(std::filesystem::exists(log));
    EXPECT_EQ(viewer.List()->topLevelItemCount(), 5);

    ui.answers = {MessageAnswer::Yes};
    QTest::mouseClick(viewer.ClearButton(), Qt::LeftButton);
    EXPECT_FALSE(std::filesystem::exists(log));
    EXPECT_EQ(viewer.List()->topLevelItemCount(), 0);

    ASSERT_EQ(WriteEvent(log, "Korvane", "Info", "Started again."), 1);
    viewer.Reload();
    ASSERT_EQ(viewer.List()->topLevelItemCount(), 1);
    EXPECT_EQ(viewer.List()->topLevelItem(0)->text(3), "Started again.");
}

}  // namespace
}  // namespace korvane
