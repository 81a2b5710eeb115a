// What the schedule window tests share: an installation folder with an
// empty catalogue, a real korvane-scheduler on a private socket whose jobs
// start the real korvane, the main window, and a person's mouse on the
// command and script lists.
#pragma once

#include <gtest/gtest.h>

#include <QPoint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "scheduler_process.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "ui/main_frame.h"
#include "ui/schedule/schedule_frame.h"
#include "ui/volumes/select_volume_dialog.h"
#include "ui/windowed_program.h"

class QAbstractItemView;

namespace korvane::testing {

// Sets an environment variable for the life of the object.
class EnvironmentVariable {
  public:
    EnvironmentVariable(const char* name, const std::string& value);
    ~EnvironmentVariable();

  private:
    const char* name_;
    std::optional<std::string> saved_;
};

class ScheduleWindowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Scan lines pick their volumes in Select Volume over the installation
    // folder's catalogue, which gets a user volume for each location (in
    // order). Call before the main window is made.
    void PickVolumesFrom(const std::vector<std::string>& locations);
    // The main window, made on first use.
    CMainFrame& Frame();
    // Opens (or, for a missing file, makes as File New does) a schedule of
    // the installation folder.
    CScheduleFrame* OpenSchedule(const std::string& name);
    // Writes a schedule file into the installation folder.
    std::string WriteSchedule(const std::string& name, const std::vector<std::string>& lines,
                              const std::string& startup = "Startup", const std::string& interval = "None");

    // Presses on the command's row, drags it over the script list and lets go.
    void DragCommandToScript(CScheduleFrame& frame, const QString& word);
    // Presses on the script line, drags it over the command list and lets go.
    void DragLineToCommands(CScheduleFrame& frame, int row);
    void DoubleClickLine(CScheduleFrame& frame, int row);
    // The job names the scheduler holds now.
    std::vector<std::string> Jobs();
    std::vector<std::string> Messages() const;

    TempDir dir;
    std::string home;  // the installation folder, ending in "/"
    std::unique_ptr<EnvironmentVariable> home_variable, runtime_variable;
    std::unique_ptr<SchedulerProcess> scheduler;
    WindowedStart start;
    RecordingUserInterface ui;
    std::unique_ptr<Catalogue> catalogue;
    FolderTree folders;
    IdCounters counters;
    VolumeSelectionServices volume_services;
    std::unique_ptr<CMainFrame> frame;
};

// Drags with the mouse from one list's point to another list's point.
void DragBetween(QAbstractItemView* from, QPoint from_point, QAbstractItemView* to, QPoint to_point);

}  // namespace korvane::testing
