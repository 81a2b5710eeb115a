// A schedule built, timed and made Active entirely in the window runs
// unattended: korvane-scheduler starts the real korvane on it, which scans a
// tree (a user volume picked in Select Volume), runs a saved query, exports
// the CSV and logs its success.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>
#include <chrono>
#include <filesystem>
#include <thread>

#include "modal_steps.h"
#include "qt_environment.h"
#include "schedule/schedule_time.h"
#include "schedule_window_fixture.h"
#include "ui/schedule/command_dialog.h"
#include "ui/schedule/query_select_dialog.h"
#include "ui/schedule/schedule_time_dialog.h"
#include "ui/volumes/select_volume_dialog.h"

namespace korvane {
namespace {

using testing::Later;
using testing::ModalSteps;
using testing::ReadFileBytes;
using testing::ScheduleWindowTest;
using testing::WriteFileBytes;

void Press(QWidget* dialog, QDialogButtonBox::StandardButton which) {
    QPushButton* button = dialog->findChild<QDialogButtonBox*>()->button(which);
    Later(button, [button] { button->click(); });
}

TEST_F(ScheduleWindowTest, AScheduleMadeInTheWindowRunsUnattended) {
    const std::string tree = dir / "tree";
    std::filesystem::create_directories(tree + "/sub dir");
    ASSERT_TRUE(WriteFileBytes(tree + "/a.doc", std::string(1500, 'a')));
    ASSERT_TRUE(WriteFileBytes(tree + "/sub dir/c.doc", std::string(4000, 'c')));
    ASSERT_TRUE(WriteFileBytes(tree + "/notes.txt", std::string(9000, 'n')));
    ASSERT_TRUE(WriteFileBytes(home + "Docs.qry",
                               "[Query Options]\r\nIncludeSubFolders=1\r\nDuplicates=\r\nFileThreshold=0\r\n"
                               "FolderThreshold=0\r\nSortColumn=Size\r\nDescending=DESC\r\n[Query]\r\n"
                               "Description=Documents\r\nInitial Folder=" +
                                   tree +
                                   "\r\nLines=2\r\nQueryLine[0]= \"File\", \"Name\", Include  \"*.doc\", \r\n"
                                   "QueryLine[1]= \"File\", \"Size\",\r\n"));
    const std::string csv = dir / "docs.csv";
    PickVolumesFrom({tree});

    CScheduleFrame* frame = OpenSchedule("Nightly.sch");
    ASSERT_NE(frame, nullptr);
    for (const char* word : {"Scan", "Query", "Export"})
        DragCommandToScript(*frame, word);
    ASSERT_EQ(frame->Script()->model()->rowCount(), 3);

    // Scan: the tree's user volume, picked in Select Volume.
    ModalSteps steps;
    steps.Then("SelectVolumeDialog", [](QWidget* dialog) {
        auto* select = static_cast<SelectVolumeDialog*>(dialog);
        QTest::mouseClick(select->ViewButton(VolumeView::UserVolumes), Qt::LeftButton);
        QTreeWidget* list = select->List();
        ASSERT_EQ(list->topLevelItemCount(), 1);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->topLevelItem(0)).center());
        Press(select, QDialogButtonBox::Ok);
    });
    DoubleClickLine(*frame, 0);
    ASSERT_TRUE(steps.Done()) << steps.Waiting();
    ASSERT_EQ(frame->Document().Schedule().Content().rows[0].parameters, "\"uv: 1\",");

    // Query: the saved query, starting at the tree.
    ui.chosen_folder = tree;
    steps.Then("QuerySelectDialog", [&](QWidget* dialog) {
        auto* select = static_cast<QuerySelectDialog*>(dialog);
        QTest::mouseClick(select->BrowseButton(), Qt::LeftButton);
        Press(select, QDialogButtonBox::Ok);
    });
    DoubleClickLine(*frame, 1);

    // Export: the query's result to a CSV file.
    steps
        .Then("CommandDialog",
              [&](QWidget* dialog) {
                  auto* command = static_cast<CommandDialog*>(dialog);
                  Later(command, [command] { command->FromQueryButton()->click(); });
              })
        .Then("QuerySelectDialog", [&](QWidget* dialog) { Press(dialog, QDialogButtonBox::Ok); })
        .Then("CommandDialog", [&](QWidget* dialog) { Press(dialog, QDialogButtonBox::Ok); })
        .Then("QFileDialog", [&](QWidget* dialog) {
            auto* save = static_cast<QFileDialog*>(dialog);
            testing::AcceptFileDialogWith(save, QString::fromStdString(csv));
        });
    DoubleClickLine(*frame, 2);
    ASSERT_TRUE(steps.Done()) << steps.Waiting();

    // The time: a new schedule's dialog shows the present minute, which has
    // come already, so the scheduler runs the job at once.
    steps.Then("ScheduleTimeDialog", [&](QWidget* dialog) { Press(dialog, QDialogButtonBox::Ok); });
    frame->StartEventAction()->trigger();
    ASSERT_TRUE(steps.Done());
    const std::string startup = frame->Document().Schedule().Content().startup;
    ASSERT_TRUE(ParseStartup(startup)) << startup;

    QTest::mouseClick(frame->ScheduleToolBar()->widgetForAction(frame->ActiveAction()), Qt::LeftButton);
    ASSERT_TRUE(frame->ActiveAction()->isChecked()) << ::testing::PrintToString(Messages());
    const std::string script = home + "Nightly.sch";
    EXPECT_EQ(ReadFileBytes(script), "[Schedule]\r\nStartup=" + startup +
                                         "\r\nInterval=None\r\n[Script]\r\nLines=3\r\n" +
                                         "ScriptLine[0]=Scan \"uv: 1\",\r\nScriptLine[1]=Query \"Docs\", \"" +
                                         tree + "\"\r\nScriptLine[2]=Export \"@Docs\", \"" + csv + "\"\r\n");

    const std::string success =
        "\"Nightly.sch\", \"Info\", \"Success executing script " + script + " of 3 lines.\"";
    for (int i = 0; i < 600 && ReadFileBytes(start.paths.event_log_path).find(success) == std::string::npos;
         ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_NE(ReadFileBytes(start.paths.event_log_path).find(success), std::string::npos)
        << ReadFileBytes(start.paths.event_log_path) << ReadFileBytes(dir / "scheduler.log");
    const std::string exported = ReadFileBytes(csv);
    EXPECT_NE(exported.find("c.doc"), std::string::npos) << exported;
    EXPECT_NE(exported.find("a.doc"), std::string::npos) << exported;
    EXPECT_EQ(exported.find("notes.txt"), std::string::npos) << exported;
    EXPECT_LT(exported.find("c.doc"), exported.find("a.doc"));
}

}  // namespace
}  // namespace korvane
