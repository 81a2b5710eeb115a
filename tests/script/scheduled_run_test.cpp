// The whole unattended chain: a job registered with a running
// korvane-scheduler starts the real korvane a few seconds later, which runs
// the schedule file and logs its success.
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>

#include <gtest/gtest.h>

#include "schedule/command_line.h"
#include "schedule/scheduler_link.h"
#include "scheduler_process.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "test_paths.h"

namespace korvane {
namespace {

using testing::ReadFileBytes;
using testing::RecordingUserInterface;
using testing::SchedulerProcess;
using testing::TempDir;
using testing::WriteFileBytes;

std::string StartupIn(int seconds) {
    const std::time_t when = std::time(nullptr) + seconds;
    std::tm local{};
    localtime_r(&when, &local);
    char text[32];
    std::strftime(text, sizeof text, "%m/%d/%Y %H:%M:%S", &local);
    return text;
}

class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) saved_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~EnvironmentVariable() {
        if (saved_) {
            setenv(name_, saved_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> saved_;
};

TEST(ScheduledRun, SchedulerStartsKorvaneWhichRunsTheScript) {
    TempDir dir;
    // The scheduler's children inherit these: korvane finds its own folder and lock there.
    EnvironmentVariable home("KORVANE_HOME", dir / "home");
    EnvironmentVariable runtime("XDG_RUNTIME_DIR", dir.str());
    const std::string script = dir / "night job.sch";
    ASSERT_TRUE(WriteFileBytes(script, "[Schedule]\r\nStartup=Startup\r\nInterval=None\r\n[Script]\r\nLines=1\r\n"
                                       "ScriptLine[0]=rem scheduled\r\n"));
    SchedulerProcess scheduler(dir / "s.sock", dir / "jobs", dir / "scheduler.log");
    ASSERT_TRUE(scheduler.Start()) << ReadFileBytes(dir / "scheduler.log");

    RecordingUserInterface ui;
    SchedulerLink link(ui, {dir / "s.sock"});
    ASSERT_TRUE(link.Open());
    const std::string command = BuildJobCommand(std::string(KORVANE_BINARY_DIR) + "/korvane", script);
    ASSERT_TRUE(link.RegisterJob(script, command, StartupIn(2), "None"));

    const std::string log = dir / "home/Event.log";
    const std::string expected = "\"night job.sch\", \"Info\", \"Success executing script " + script + " of 1 line.\"";
    for (int i = 0; i < 300 && ReadFileBytes(log).find(expected) == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_NE(ReadFileBytes(log).find(expected), std::string::npos)
        << ReadFileBytes(log) << ReadFileBytes(dir / "scheduler.log");
    scheduler.Stop();
}

}  // namespace
}  // namespace korvane
