#include "schedule/schedule_document.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>

#include "schedule/command_line.h"
#include "schedule/run_status.h"
#include "scheduler_process.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::ReadFileBytes;
using testing::RecordingUserInterface;
using testing::SchedulerProcess;
using testing::TempDir;
using testing::WaitForFile;
using testing::WriteFileBytes;

std::string StartupIn(int seconds) {
    const std::time_t when = std::time(nullptr) + seconds;
    std::tm tm{};
    localtime_r(&when, &tm);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%m/%d/%Y %H:%M:%S", &tm);
    return buffer;
}

std::vector<std::string> Texts(const RecordingUserInterface& ui) {
    std::vector<std::string> texts;
    for (const auto& m : ui.messages)
        texts.push_back(m.text);
    return texts;
}

class ScheduleDocumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // The job's program: records the arguments it is started with.
        ASSERT_TRUE(
            WriteFileBytes(program, "#!/bin/sh\nprintf '%s|%s\\n' \"$1\" \"$2\" >> '" + marker + "'\n"));
        ASSERT_EQ(::chmod(program.c_str(), 0700), 0);
    }
    bool StartScheduler() {
        scheduler = std::make_unique<SchedulerProcess>(socket, dir / "scheduler.jobs", dir / "scheduler.log");
        return scheduler->Start();
    }
    std::unique_ptr<CScheduleDoc> Document() {
        return std::make_unique<CScheduleDoc>(shared, ui, program, SchedulerLinkOptions{socket});
    }
    std::string WriteSchedule(const std::string& name, const std::string& startup = "Startup") {
        const std::string path = dir / name;
        EXPECT_TRUE(WriteFileBytes(path, "[Schedule]\r\nStartup=" + startup +
                                             "\r\nInterval=None\r\n[Script]\r\nLines=1\r\n"
                                             "ScriptLine[0]=Scan \"/srv\"\r\n"));
        return path;
    }

    TempDir dir;
    std::string socket = dir / "korvane-schedule.sock";
    std::string program = dir / "record args";
    std::string marker = dir / "marker";
    DocumentExShared shared;
    RecordingUserInterface ui;
    std::unique_ptr<SchedulerProcess> scheduler;
};

TEST_F(ScheduleDocumentTest, WithoutASchedulerAScheduleOpensInactiveAndStaysSo) {
    const std::string path = WriteSchedule("night.sch");
    auto doc = Document();
    ASSERT_TRUE(doc->OnOpenDocument(path));
    EXPECT_EQ(Texts(ui), std::vector<std::string>{"korvane-scheduler is not online and responding."});
    EXPECT_FALSE(doc->IsActive());
    ASSERT_EQ(doc->Content().rows.size(), 1u);
    EXPECT_FALSE(doc->ToggleActive());
    EXPECT_FALSE(doc->IsActive());
    EXPECT_EQ(ui.messages.size(), 1u);

    // Editing an inactive schedule is allowed and marks it modified.
    EXPECT_TRUE(doc->AppendRow("copy"));
    EXPECT_EQ(doc->Content().rows.back().command, "Copy");
    EXPECT_TRUE(doc->IsModified());
    EXPECT_FALSE(doc->AppendRow("Email"));
    EXPECT_FALSE(doc->AppendRow("remark"));

    auto fresh = Document();
    fresh->OnNewDocument();
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(fresh->Content().startup, "Startup");
    EXPECT_EQ(fresh->Content().interval, "None");
    EXPECT_EQ(fresh->StatusBarText(), "Startup on Startup.");

    // File New makes an empty file and opens it: a new schedule, not one
    // whose Startup and Interval read as empty.
    ASSERT_TRUE(WriteFileBytes(dir / "new.sch", ""));
    auto opened = Document();
    ASSERT_TRUE(opened->OnOpenDocument(dir / "new.sch"));
    EXPECT_EQ(opened->Content().startup, "Startup");
    EXPECT_EQ(opened->Content().interval, "None");
    EXPECT_EQ(opened->PathName(), dir / "new.sch");
}

TEST_F(ScheduleDocumentTest, ActiveStatusFollowsTheSchedulersJobs) {
    ASSERT_TRUE(StartScheduler());
    auto doc = Document();
    doc->OnNewDocument();
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_TRUE(doc->AppendRow("Query"));
    ASSERT_TRUE(doc->SetRowParameters(0, "\"Big Files\", \"/srv\""));

    // Never saved: nothing names the job.
    EXPECT_FALSE(doc->ToggleActive());
    EXPECT_EQ(Texts(ui), std::vector<std::string>{std::string(kSaveBeforeActivating)});
    EXPECT_FALSE(doc->IsActive());

    const std::string path = dir / "My \"Night\" Shift.sch";
    ASSERT_TRUE(doc->OnSaveDocument(path));
    EXPECT_FALSE(doc->IsModified());
    ASSERT_TRUE(doc->ToggleActive());
    EXPECT_TRUE(doc->IsActive());
    EXPECT_EQ(doc->JobCommand(), BuildJobCommand(program, path));

    // An active schedule refuses every change, with the same message each time.
    ui.messages.clear();
    const ScheduleContent before = doc->Content();
    EXPECT_FALSE(doc->AppendRow("Copy"));
    EXPECT_FALSE(doc->RemoveRow(0));
    EXPECT_FALSE(doc->SetRowParameters(0, "\"x\""));
    EXPECT_FALSE(doc->SetScheduleTime("01/01/2030 10:00:00", "Daily"));
    EXPECT_FALSE(doc->EditAllowed());
    EXPECT_EQ(Texts(ui),
              std::vector<std::string>(5, "Can not modify an active script.\nPlease uncheck active status."));
    EXPECT_EQ(doc->Content().rows.size(), before.rows.size());
    EXPECT_EQ(doc->Content().rows[0].parameters, before.rows[0].parameters);
    EXPECT_EQ(doc->Content().startup, before.startup);
    EXPECT_FALSE(doc->IsModified());

    // Another window on the same file learns the status from the scheduler.
    auto other = Document();
    ASSERT_TRUE(other->OnOpenDocument(path));
    EXPECT_TRUE(other->IsActive());
    auto unrelated = Document();
    ASSERT_TRUE(unrelated->OnOpenDocument(WriteSchedule("other.sch")));
    EXPECT_FALSE(unrelated->IsActive());

    // Closing a document leaves its job registered.
    other->OnCloseDocument();
    other = Document();
    ASSERT_TRUE(other->OnOpenDocument(path));
    EXPECT_TRUE(other->IsActive());

    ASSERT_TRUE(doc->ToggleActive());
    EXPECT_FALSE(doc->IsActive());
    EXPECT_TRUE(doc->AppendRow("Copy"));
    auto reopened = Document();
    ASSERT_TRUE(reopened->OnOpenDocument(path));
    EXPECT_FALSE(reopened->IsActive());

    // A scheduler that goes away leaves the status as it was.
    ASSERT_EQ(scheduler->Stop(), 0);
    ui.messages.clear();
    EXPECT_FALSE(doc->ToggleActive());
    EXPECT_FALSE(doc->IsActive());
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ScheduleDocumentTest, ActivatingSavesChangesFirstAndTheJobStartsTheProgramOnTheFile) {
    ASSERT_TRUE(StartScheduler());
    const std::string path = WriteSchedule("weekly copy.sch");
    auto doc = Document();
    ASSERT_TRUE(doc->OnOpenDocument(path));
    const std::string startup = StartupIn(2);
    ASSERT_TRUE(doc->SetScheduleTime(startup, "None"));
    ASSERT_TRUE(doc->AppendRow("LOGFILE"));
    ASSERT_TRUE(doc->SetRowParameters(1, "\"@Big Files\""));
    ASSERT_TRUE(doc->IsModified());
    EXPECT_EQ(doc->StatusBarText(), "Startup on " + startup + ".");

    ASSERT_TRUE(doc->ToggleActive());
    EXPECT_FALSE(doc->IsModified());
    ScheduleContent saved;
    CDocumentEx file(shared);
    ASSERT_TRUE(ReadScheduleFile(file, path, saved));
    EXPECT_EQ(saved.startup, startup);
    ASSERT_EQ(saved.rows.size(), 2u);
    EXPECT_EQ(saved.rows[1].command, "Logfile");
    EXPECT_EQ(saved.rows[1].parameters, "\"@Big Files\"");

    ASSERT_TRUE(WaitForFile(marker, 15000)) << ReadFileBytes(dir / "scheduler.log");
    EXPECT_EQ(ReadFileBytes(marker), "/EXECUTE|" + path + "\n");
}

TEST_F(ScheduleDocumentTest, RunStatusListsTheFolderSchedulesWithTheirStates) {
    const std::string folder = dir / "install";
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    // Without schedule files nothing asks the scheduler, so nothing complains.
    ASSERT_TRUE(WriteFileBytes(folder + "/notes.txt", "x"));
    EXPECT_TRUE(ListRunStatus(folder, shared, ui, {socket}).empty());
    EXPECT_TRUE(ui.messages.empty());

    ASSERT_TRUE(
        WriteFileBytes(folder + "/a.sch", "[Schedule]\nStartup=01/02/2030 03:04:00\nInterval=Daily\n"));
    ASSERT_TRUE(WriteFileBytes(folder + "/B.SCH", "[Schedule]\nStartup=Startup\nInterval=None\n"));
    ASSERT_TRUE(std::filesystem::create_directory(folder + "/folder.sch"));

    auto rows = ListRunStatus(folder, shared, ui, {socket});
    EXPECT_EQ(rows.size(), 2u);
    EXPECT_EQ(Texts(ui), std::vector<std::string>{std::string(kSchedulerNotOnline)});

    ASSERT_TRUE(StartScheduler());
    SchedulerLink link(ui, {socket});
    ASSERT_TRUE(link.Open());
    ASSERT_TRUE(link.RegisterJob(folder + "/a.sch", "/bin/true", "01/02/2030 03:04:00", "Daily"));
    ASSERT_TRUE(link.RegisterJob(folder + "/elsewhere.sch", "/bin/true", "Startup", "None"));
    ui.messages.clear();
    rows = ListRunStatus(folder, shared, ui, {socket});
    EXPECT_TRUE(ui.messages.empty());
    std::sort(rows.begin(), rows.end(), [](const auto& x, const auto& y) { return x.script < y.script; });
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].script, folder + "/B.SCH");
    EXPECT_EQ(rows[0].start, "Startup");
    EXPECT_EQ(rows[0].interval, "None");
    EXPECT_EQ(rows[0].status, "Inactive");
    EXPECT_EQ(rows[1].script, folder + "/a.sch");
    EXPECT_EQ(rows[1].start, "01/02/2030 03:04:00");
    EXPECT_EQ(rows[1].interval, "Daily");
    EXPECT_EQ(rows[1].status, "Active");
}

}  // namespace
}  // namespace korvane
