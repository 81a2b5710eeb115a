#include "schedule/job_book.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "schedule/schedule_time.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

std::string StartupIn(std::time_t when) {
    std::tm tm{};
    localtime_r(&when, &tm);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%m/%d/%Y %H:%M:%S", &tm);
    return buffer;
}

ScheduledJob Job(std::string name, std::string startup = "Startup", std::string interval = "None") {
    return {std::move(name), "/bin/true", std::move(startup), std::move(interval), std::nullopt};
}

TEST(JobsFile, RoundTripKeepsEveryByteOfHostileTexts) {
    std::vector<ScheduledJob> jobs = {
        {"/home/a b/Night.sch", "\"/usr/bin/korvane\" /EXECUTE \"/home/a b/Night.sch\"",
         "12/24/1998 23:05:00", "Daily", std::time_t{914537100}},
        {std::string("/tmp/t\tab\nnew\rline\\back\xff\xfe.sch"), "sh -c 'printf \"\\t\"'", "Startup", "None",
         std::nullopt},
    };
    const std::string text = SerializeJobs(jobs);
    EXPECT_EQ(text.substr(0, text.find('\n')), kJobsFileHeader);
    // One line per job whatever the texts hold.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
    const ParsedJobs parsed = ParseJobs(text);
    EXPECT_TRUE(parsed.errors.empty());
    ASSERT_EQ(parsed.jobs.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(parsed.jobs[i].name, jobs[i].name);
        EXPECT_EQ(parsed.jobs[i].command, jobs[i].command);
        EXPECT_EQ(parsed.jobs[i].startup, jobs[i].startup);
        EXPECT_EQ(parsed.jobs[i].interval, jobs[i].interval);
        EXPECT_EQ(parsed.jobs[i].next_run, jobs[i].next_run);
    }
}

TEST(JobsFile, EveryMalformedLineIsReportedAndTheRestKept) {
    const std::string text = std::string(kJobsFileHeader) +
                             "\n"
                             "/a.sch\t/bin/true\tStartup\tNone\t-\n"
                             "/b.sch\t/bin/true\tStartup\tNone\n"
                             "/c.sch\t/bin/true\tStartup\tNone\t-\textra\n"
                             "/d\\q.sch\t/bin/true\tStartup\tNone\t-\n"
                             "/e.sch\t/bin/true\tStartup\tNone\t12x\n"
                             "/f.sch\t/bin/true\tStartup\tFortnightly\t-\n"
                             "/a.sch\t/bin/false\tStartup\tNone\t-\n"
                             "/g.sch\techo 'open\tStartup\tNone\t-\n"
                             "\t/bin/true\tStartup\tNone\t-\n"
                             "\n"
                             "/h.sch\t/bin/true\t01/01/2030 10:00:00\tweekly\t1893488400\n";
    const ParsedJobs parsed = ParseJobs(text);
    ASSERT_EQ(parsed.jobs.size(), 2u);
    EXPECT_EQ(parsed.jobs[0].name, "/a.sch");
    EXPECT_EQ(parsed.jobs[0].command, "/bin/true");
    EXPECT_EQ(parsed.jobs[1].name, "/h.sch");
    EXPECT_EQ(parsed.jobs[1].next_run, std::time_t{1893488400});
    ASSERT_EQ(parsed.errors.size(), 8u);
    EXPECT_EQ(parsed.errors[0], "line 3: expected 5 fields, found 4");
    EXPECT_EQ(parsed.errors[1], "line 4: expected 5 fields, found 6");
    EXPECT_EQ(parsed.errors[2], "line 5: bad escape sequence");
    EXPECT_EQ(parsed.errors[3], "line 6: bad next run \"12x\"");
    EXPECT_EQ(parsed.errors[4], "line 7: unknown interval \"Fortnightly\"");
    EXPECT_EQ(parsed.errors[5], "line 8: second job named \"/a.sch\"");
    EXPECT_EQ(parsed.errors[6].rfind("line 9: the command line cannot be split", 0), 0u);
    EXPECT_EQ(parsed.errors[7], "line 10: the job has no name");

    EXPECT_EQ(ParseJobs("something else\n/a.sch\t/bin/true\tStartup\tNone\t-\n").jobs.size(), 0u);
    EXPECT_EQ(ParseJobs("").errors.size(), 1u);
}

TEST(JobTimes, WhenASetJobFirstRuns) {
    const std::time_t now = std::time(nullptr);
    const std::time_t started = now - 600;
    // A date still ahead.
    const std::string ahead = StartupIn(now + 3600);
    EXPECT_EQ(*FirstRunOnSet(Job("/j", ahead, "Daily"), now, started), *LocalTimeOf(*ParseStartup(ahead)));
    // A date passed: the next repeat, or at once for a job that runs once.
    const std::string passed = StartupIn(now - 36 * 3600 - 60);
    const auto daily = FirstRunOnSet(Job("/j", passed, "Daily"), now, started);
    ASSERT_TRUE(daily.has_value());
    EXPECT_GT(*daily, now);
    EXPECT_LE(*daily, now + 86400);
    EXPECT_EQ(*FirstRunOnSet(Job("/j", passed, "None"), now, started), now);
    EXPECT_EQ(*FirstRunOnSet(Job("/j", passed, "User defined"), now, started), now);
    // "Startup" counts from the scheduler's start: nothing more this run for
    // a job that runs once, every hour from the start for an hourly one.
    EXPECT_FALSE(FirstRunOnSet(Job("/j", "Startup", "None"), now, started).has_value());
    EXPECT_EQ(*FirstRunOnSet(Job("/j", "Startup", "Hourly"), now, started), started + 3600);
    EXPECT_EQ(*FirstRunOnSet(Job("/j", "at boot", "Hourly"), now, started), started + 3600);
    // After a run.
    EXPECT_FALSE(RunAfter(Job("/j", passed, "None"), now, started).has_value());
    EXPECT_EQ(*RunAfter(Job("/j", "Startup", "Hourly"), started, started), started + 3600);
}

class JobBookTest : public ::testing::Test {
  protected:
    TempDir dir;
    std::ostringstream log;
    std::string path = dir / "scheduler.jobs";
};

TEST_F(JobBookTest, SetStopAndEnumerationOrderSurviveReloading) {
    const std::time_t now = std::time(nullptr);
    {
        JobBook book(path, now, log);
        ASSERT_TRUE(book.Load());
        std::string error;
        ASSERT_TRUE(book.Set(Job("/srv/b.sch", StartupIn(now + 7200), "Weekly"), now, error)) << error;
        ASSERT_TRUE(book.Set(Job("/srv/a.sch"), now, error)) << error;
        ASSERT_TRUE(book.Set(Job("/srv/c c.sch"), now, error)) << error;
        // Set again replaces.
        ScheduledJob replaced = Job("/srv/a.sch", "Startup", "Daily");
        replaced.command = "/bin/echo replaced";
        ASSERT_TRUE(book.Set(replaced, now, error)) << error;
        EXPECT_EQ(book.Size(), 3u);
        ASSERT_TRUE(book.Stop("/srv/c c.sch", error));
        ASSERT_TRUE(book.Stop("/srv/never.sch", error));
        // A job that cannot be kept is refused and changes nothing.
        EXPECT_FALSE(book.Set(Job("", "Startup", "None"), now, error));
        EXPECT_FALSE(book.Set(Job(" /lead.sch"), now, error));
        EXPECT_FALSE(book.Set(Job("/x.sch", "Startup", "Sometimes"), now, error));
        EXPECT_EQ(error, "unknown interval \"Sometimes\"");
    }
    JobBook again(path, now, log);
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.NameAfter(""), "/srv/a.sch");
    EXPECT_EQ(again.NameAfter("/srv/a.sch"), "/srv/b.sch");
    EXPECT_FALSE(again.NameAfter("/srv/b.sch").has_value());
    // A name that is gone still has a successor.
    EXPECT_EQ(again.NameAfter("/srv/a0.sch"), "/srv/b.sch");
    ASSERT_NE(again.Find("/srv/a.sch"), nullptr);
    EXPECT_EQ(again.Find("/srv/a.sch")->command, "/bin/echo replaced");
    EXPECT_EQ(again.Find("/srv/a.sch")->interval, "Daily");
    EXPECT_EQ(again.Find("/srv/b.sch")->next_run, LocalTimeOf(*ParseStartup(StartupIn(now + 7200))));
}

TEST_F(JobBookTest, MissedAndStartupJobsAreDueWhenTheSchedulerStarts) {
    const std::time_t now = std::time(nullptr);
    const std::string passed = StartupIn(now - 3 * 3600 - 30);
    ScheduledJob missed = Job("/missed.sch", passed, "Daily");
    missed.next_run = now - 3 * 3600 - 30;
    ScheduledJob done = Job("/done.sch", passed, "None");
    ScheduledJob future = Job("/future.sch", StartupIn(now + 600), "None");
    future.next_run = now + 600;
    ScheduledJob boot = Job("/boot.sch", "Startup", "None");
    ASSERT_TRUE(WriteFileBytes(path, SerializeJobs({missed, done, future, boot})));

    JobBook book(path, now, log);
    ASSERT_TRUE(book.Load());
    EXPECT_EQ(book.DueJobs(now), (std::vector<std::string>{"/boot.sch", "/missed.sch"}));
    EXPECT_EQ(*book.NextWake(), book.Find("/missed.sch")->next_run.value());

    // Each runs once; the daily one goes on tomorrow, the others are done.
    book.MarkRun("/missed.sch", now);
    book.MarkRun("/boot.sch", now);
    EXPECT_TRUE(book.DueJobs(now).empty());
    const auto next = book.Find("/missed.sch")->next_run;
    ASSERT_TRUE(next.has_value());
    EXPECT_GT(*next, now + 20 * 3600);
    EXPECT_FALSE(book.Find("/boot.sch")->next_run.has_value());
    EXPECT_EQ(book.NextWake(), future.next_run);

    JobBook reloaded(path, now + 1, log);
    ASSERT_TRUE(reloaded.Load());
    EXPECT_EQ(reloaded.Find("/missed.sch")->next_run, next);
    // A job of the scheduler's start runs again at every start.
    EXPECT_EQ(reloaded.DueJobs(now + 1), (std::vector<std::string>{"/boot.sch"}));
}

TEST_F(JobBookTest, MalformedFileIsKeptAsItWasAndItsGoodJobsLoaded) {
    const std::string bad =
        std::string(kJobsFileHeader) + "\n/good.sch\t/bin/true\tStartup\tDaily\t-\ngarbage\n";
    ASSERT_TRUE(WriteFileBytes(path, bad));
    {
        JobBook book(path, std::time(nullptr), log);
        ASSERT_TRUE(book.Load());
        EXPECT_EQ(book.Size(), 1u);
        EXPECT_NE(book.Find("/good.sch"), nullptr);
    }
    EXPECT_EQ(ReadFileBytes(path + ".malformed"), bad);
    EXPECT_TRUE(ParseJobs(ReadFileBytes(path)).errors.empty());
    EXPECT_NE(log.str().find("line 3: expected 5 fields, found 1"), std::string::npos);

    // A second malformed file does not replace the first one kept.
    const std::string binary(
        "\x7f"
        "ELF\0\0\x01garbage",
        13);
    ASSERT_TRUE(WriteFileBytes(path, binary));
    JobBook book(path, std::time(nullptr), log);
    ASSERT_TRUE(book.Load());
    EXPECT_EQ(book.Size(), 0u);
    EXPECT_EQ(ReadFileBytes(path + ".malformed"), bad);
    EXPECT_EQ(ReadFileBytes(path + ".malformed.1"), binary);
}

TEST_F(JobBookTest, UnreadableFileStopsTheLoadAndUnwritableOneRefusesChanges) {
    ASSERT_TRUE(std::filesystem::create_directory(path));
    JobBook folder(path, std::time(nullptr), log);
    EXPECT_FALSE(folder.Load());

    JobBook nowhere(dir / "missing-folder/scheduler.jobs", std::time(nullptr), log);
    ASSERT_TRUE(nowhere.Load());
    std::string error;
    EXPECT_FALSE(nowhere.Set(Job("/a.sch"), std::time(nullptr), error));
    EXPECT_EQ(error, "the jobs file cannot be written");
    EXPECT_EQ(nowhere.Size(), 0u);
}

}  // namespace
}  // namespace korvane
