#include "schedule_window_fixture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QMdiSubWindow>
#include <QTest>
#include <QWindow>
#include <cstdlib>
#include <filesystem>

#include "catalogue/schema.h"
#include "catalogue/user_volumes.h"
#include "qt_environment.h"
#include "schedule/scheduler_link.h"
#include "test_paths.h"

namespace korvane::testing {

EnvironmentVariable::EnvironmentVariable(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name))
        saved_ = old;
    setenv(name, value.c_str(), 1);
}

EnvironmentVariable::~EnvironmentVariable() {
    if (saved_) {
        setenv(name_, saved_->c_str(), 1);
    } else {
        unsetenv(name_);
    }
}

void ScheduleWindowTest::SetUp() {
    home = dir / "home/";
    start.paths = InstallPathsOf(home);
    bool fresh = false;
    ASSERT_TRUE(PrepareInstallFolder(start.paths, fresh));
    std::string error;
    ASSERT_TRUE(CreateEmptyCatalogue(home + "Korvane.db", error)) << error;
    start.options = ReadProgramOptions(start.paths.settings_path);
    start.show_splash = false;
    start.program_path = KORVANE_BINARY_DIR "/korvane";
    start.scheduler_link.socket_path = dir / "korvane-schedule.sock";
    // The jobs' korvane inherits these through the scheduler: its own
    // installation folder and lock.
    home_variable = std::make_unique<EnvironmentVariable>("KORVANE_HOME", home);
    runtime_variable = std::make_unique<EnvironmentVariable>("XDG_RUNTIME_DIR", dir.str());
    scheduler = std::make_unique<SchedulerProcess>(start.scheduler_link.socket_path, dir / "scheduler.jobs",
                                                   dir / "scheduler.log");
    ASSERT_TRUE(scheduler->Start()) << ReadFileBytes(dir / "scheduler.log");
}

void ScheduleWindowTest::TearDown() {
    frame.reset();
    if (scheduler)
        scheduler->Stop();
}

void ScheduleWindowTest::PickVolumesFrom(const std::vector<std::string>& locations) {
    catalogue = std::make_unique<Catalogue>(ui);
    ASSERT_TRUE(catalogue->OpenCatalogue(home + "Korvane.db")) << catalogue->last_error();
    ASSERT_TRUE(OpenUserVolumes(*catalogue));
    for (const std::string& location : locations) {
        UserVolumeRecord volume;
        volume.location = location;
        ASSERT_TRUE(AddUserVolume(*catalogue, volume)) << location;
    }
    CloseUserVolumes(*catalogue);
    volume_services.catalogue = catalogue.get();
    volume_services.tree = &folders;
    volume_services.counters = &counters;
    volume_services.ui = &ui;
    volume_services.settings_path = start.paths.settings_path;
    volume_services.event_log_path = start.paths.event_log_path;
    volume_services.programs.fstab_path = dir / "fstab";
    ASSERT_TRUE(WriteFileBytes(volume_services.programs.fstab_path, ""));
    start.pick_volumes = [this](QWidget* parent) { return PickVolumeList(volume_services, parent); };
}

CMainFrame& ScheduleWindowTest::Frame() {
    if (!frame) {
        frame = std::make_unique<CMainFrame>(start, ui);
        frame->resize(1000, 700);
        frame->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    }
    return *frame;
}

CScheduleFrame* ScheduleWindowTest::OpenSchedule(const std::string& name) {
    WindowDocument* document = Frame().NewProject(home + name);
    auto* schedule = qobject_cast<CScheduleFrame*>(Frame().FrameOf(document));
    if (schedule != nullptr) {
        Frame().WindowOf(document)->showMaximized();
        QApplication::processEvents();
    }
    return schedule;
}

std::string ScheduleWindowTest::WriteSchedule(const std::string& name, const std::vector<std::string>& lines,
                                              const std::string& startup, const std::string& interval) {
    std::string text = "[Schedule]\r\nStartup=" + startup + "\r\nInterval=" + interval +
                       "\r\n[Script]\r\nLines=" + std::to_string(lines.size()) + "\r\n";
    for (std::size_t i = 0; i < lines.size(); ++i)
        text += "ScriptLine[" + std::to_string(i) + "]=" + lines[i] + "\r\n";
    EXPECT_TRUE(WriteFileBytes(home + name, text));
    return home + name;
}

void DragBetween(QAbstractItemView* from, QPoint from_point, QAbstractItemView* to, QPoint to_point) {
    // Through the top-level window, as the platform delivers a mouse.
    QWidget* top = from->window();
    QWindow* window = top->windowHandle();
    const QPoint start = from->viewport()->mapTo(top, from_point);
    const QPoint end = to->viewport()->mapTo(top, to_point);
    QTest::mousePress(window, Qt::LeftButton, {}, start);
    QTest::mouseMove(window, start + QPoint(2, 0));
    QTest::mouseMove(window, start + QPoint(QApplication::startDragDistance() + 8, 2));
    QTest::mouseMove(window, (start + end) / 2);
    QTest::mouseMove(window, end);
    QTest::mouseRelease(window, Qt::LeftButton, {}, end);
    QApplication::processEvents();
}

void ScheduleWindowTest::DragCommandToScript(CScheduleFrame& schedule, const QString& word) {
    CCommandView* commands = schedule.Commands();
    const QModelIndexList found =
        commands->model()->match(commands->model()->index(0, 0), Qt::DisplayRole, word, 1, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << word.toStdString();
    const QPoint from = commands->visualRect(found.front()).center();
    CScriptView* script = schedule.Script();
    DragBetween(commands, from, script, script->viewport()->rect().center());
}

void ScheduleWindowTest::DragLineToCommands(CScheduleFrame& schedule, int row) {
    CScriptView* script = schedule.Script();
    const QPoint from = script->visualRect(script->model()->index(row, 0)).center();
    CCommandView* commands = schedule.Commands();
    DragBetween(script, from, commands, commands->viewport()->rect().center());
}

void ScheduleWindowTest::DoubleClickLine(CScheduleFrame& schedule, int row) {
    CScriptView* script = schedule.Script();
    QWidget* top = script->window();
    const QPoint at =
        script->viewport()->mapTo(top, script->visualRect(script->model()->index(row, 1)).center());
    QTest::mouseDClick(top->windowHandle(), Qt::LeftButton, {}, at);
}

std::vector<std::string> ScheduleWindowTest::Jobs() {
    RecordingUserInterface quiet;
    SchedulerLink link(quiet, start.scheduler_link);
    if (!link.Open())
        return {"(no scheduler)"};
    return link.EnumerateJobs(LinkOwner::Document);
}

std::vector<std::string> ScheduleWindowTest::Messages() const {
    std::vector<std::string> texts;
    for (const auto& message : ui.messages)
        texts.push_back(message.text);
    return texts;
}

}  // namespace korvane::testing
