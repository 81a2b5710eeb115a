#include "schedule/scheduler_link.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <thread>

#include "schedule/command_line.h"
#include "schedule/link_protocol.h"
#include "schedule/scheduler_socket.h"
#include "scheduler_process.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

extern char** environ;

namespace korvane {
namespace {

using testing::ReadFileBytes;
using testing::RecordingUserInterface;
using testing::SchedulerProcess;
using testing::TempDir;
using testing::WaitForFile;

std::string StartupIn(int seconds) {
    const std::time_t when = std::time(nullptr) + seconds;
    std::tm tm{};
    localtime_r(&when, &tm);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%m/%d/%Y %H:%M:%S", &tm);
    return buffer;
}

// A command line that appends one line to the marker file when it runs.
std::string MarkerCommand(const std::string& marker, const std::string& text) {
    return "/bin/sh -c " + QuoteCommandWord("echo " + text + " >> '" + marker + "'");
}

void Pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

class SchedulerLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        struct stat st;
        ASSERT_EQ(::stat(testing::SchedulerBinary().c_str(), &st), 0)
            << "build the korvane-scheduler target first: " << testing::SchedulerBinary();
    }
    SchedulerProcess& Scheduler(std::vector<std::string> extra = {}) {
        process = std::make_unique<SchedulerProcess>(socket, jobs, log, std::move(extra));
        return *process;
    }
    std::string Log() const { return ReadFileBytes(log); }

    TempDir dir;
    std::string socket = dir / "korvane-schedule.sock";
    std::string jobs = dir / "scheduler.jobs";
    std::string log = dir / "scheduler.log";
    std::unique_ptr<SchedulerProcess> process;
    RecordingUserInterface ui;
};

TEST_F(SchedulerLinkTest, WithoutASchedulerEveryCommandFailsAfterOneMessage) {
    SchedulerLink link(ui, {socket});
    EXPECT_FALSE(link.Open());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "korvane-scheduler is not online and responding.");
    EXPECT_EQ(ui.messages[0].buttons, MessageButtons::Ok);
    EXPECT_FALSE(link.IsOpen());

    EXPECT_FALSE(link.RegisterJob("/a.sch", "/bin/true", "Startup", "None"));
    EXPECT_FALSE(link.StopJob("/a.sch"));
    EXPECT_EQ(link.LastError(), kLinkNoConversation);
    EXPECT_TRUE(link.EnumerateJobs(LinkOwner::Document).empty());
    EXPECT_EQ(ui.messages.size(), 1u);

    // The run-status dialog reports the failed poke and the failed request.
    EXPECT_TRUE(link.EnumerateJobs(LinkOwner::RunStatusDialog).empty());
    ASSERT_EQ(ui.messages.size(), 3u);
    EXPECT_EQ(ui.messages[1].text, "Dde poke error #0000400A...");
    EXPECT_EQ(ui.messages[2].text, "Dde request error #0000400A...");
}

TEST_F(SchedulerLinkTest, NoSocketToBeHadIsAnInitializationFailure) {
    // In a child whose descriptor limit is already used up.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        RecordingUserInterface child_ui;
        // The undefined-behaviour checker looks up a dynamic type once, which
        // needs a free descriptor; let it do so before the limit is used up.
        static_cast<UserInterface&>(child_ui).PumpMessages();
        const int lowest_free = ::dup(0);
        ::close(lowest_free);
        const rlimit limit{static_cast<rlim_t>(lowest_free), static_cast<rlim_t>(lowest_free)};
        ::setrlimit(RLIMIT_NOFILE, &limit);
        SchedulerLink link(child_ui, {socket});
        const bool opened = link.Open();
        const bool right = !opened && child_ui.messages.size() == 1 &&
                           child_ui.messages[0].text == "DDEML Initialization Failure" &&
                           !link.RegisterJob("/a.sch", "/bin/true", "Startup", "None");
        ::_exit(right ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(SchedulerLinkTest, AListenerThatNeverAnswersIsNotAScheduler) {
    UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket.c_str());
    ASSERT_EQ(::bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener.Get(), 4), 0);
    SchedulerLink link(ui, {socket, 300});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(link.Open());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, kSchedulerNotOnline);
}

TEST_F(SchedulerLinkTest, RegisteredJobRunsAtItsStartup) {
    ASSERT_TRUE(Scheduler().Start()) << Log();
    SchedulerLink link(ui, {socket});
    ASSERT_TRUE(link.Open());
    const std::string marker = dir / "marker";
    ASSERT_TRUE(
        link.RegisterJob(dir / "nightly job.sch", MarkerCommand(marker, "ran"), StartupIn(2), "None"));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ReadFileBytes(marker), "");
    ASSERT_TRUE(WaitForFile(marker, 15000)) << Log();
    Pause(1500);
    EXPECT_EQ(ReadFileBytes(marker), "ran\n");
    EXPECT_EQ(link.EnumerateJobs(LinkOwner::Document), std::vector<std::string>{dir / "nightly job.sch"});
    EXPECT_NE(Log().find("ended with exit code 0"), std::string::npos) << Log();
}

TEST_F(SchedulerLinkTest, JobsSurviveRestartsAndMissedRunsHappenOnceAtStart) {
    const std::string missed_marker = dir / "missed", boot_marker = dir / "boot";
    ASSERT_TRUE(Scheduler().Start()) << Log();
    {
        SchedulerLink link(ui, {socket});
        ASSERT_TRUE(link.Open());
        ASSERT_TRUE(link.RegisterJob("/jobs/missed.sch", MarkerCommand(missed_marker, "missed"), StartupIn(2),
                                     "None"));
        ASSERT_TRUE(
            link.RegisterJob("/jobs/boot.sch", MarkerCommand(boot_marker, "boot"), "Startup", "Daily"));
    }
    EXPECT_EQ(process->Stop(), 0);
    Pause(3000);
    EXPECT_EQ(ReadFileBytes(missed_marker), "");
    EXPECT_EQ(ReadFileBytes(boot_marker), "");

    ASSERT_TRUE(Scheduler().Start()) << Log();
    ASSERT_TRUE(WaitForFile(missed_marker, 10000)) << Log();
    ASSERT_TRUE(WaitForFile(boot_marker, 10000)) << Log();
    SchedulerLink link(ui, {socket});
    ASSERT_TRUE(link.Open());
    EXPECT_EQ(link.EnumerateJobs(LinkOwner::Document),
              (std::vector<std::string>{"/jobs/boot.sch", "/jobs/missed.sch"}));
    EXPECT_EQ(process->Stop(), 0);

    // Once run, the once-only job is done; the start-up job runs at every start.
    ASSERT_TRUE(Scheduler().Start()) << Log();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ReadFileBytes(boot_marker) != "boot\nboot\n" && std::chrono::steady_clock::now() < until)
        Pause(50);
    EXPECT_EQ(ReadFileBytes(boot_marker), "boot\nboot\n");
    Pause(500);
    EXPECT_EQ(ReadFileBytes(missed_marker), "missed\n");
    EXPECT_EQ(link.EnumerateJobs(LinkOwner::Document).size(), 2u);
}

TEST_F(SchedulerLinkTest, EnumerationWalksEveryJobAndStopRemovesOne) {
    ASSERT_TRUE(Scheduler().Start()) << Log();
    SchedulerLink link(ui, {socket});
    ASSERT_TRUE(link.Open());
    const std::vector<std::string> names = {"/home/u/a b, c=d.sch", "/home/u/\"quoted\".sch",
                                            "/home/u/z.sch"};
    for (const std::string& name : names) {
        ASSERT_TRUE(link.RegisterJob(name, "/bin/true", "Startup", "Weekly")) << name;
    }
    // Replacing keeps one job per name.
    ASSERT_TRUE(link.RegisterJob(names[2], "/bin/false", "Startup", "Hourly"));
    EXPECT_EQ(link.EnumerateJobs(LinkOwner::Document),
              (std::vector<std::string>{names[1], names[0], names[2]}));
    EXPECT_EQ(link.NextJob("", LinkOwner::Document), names[1]);
    EXPECT_EQ(link.NextJob(names[2], LinkOwner::Document), std::nullopt);

    EXPECT_TRUE(link.StopJob(names[0]));
    EXPECT_EQ(link.EnumerateJobs(LinkOwner::RunStatusDialog), (std::vector<std::string>{names[1], names[2]}));
    EXPECT_TRUE(link.StopJob("/home/u/never-registered.sch"));

    // A job the scheduler cannot keep gets an empty answer.
    EXPECT_FALSE(link.RegisterJob("/a.sch", "echo 'unbalanced", "Startup", "None"));
    EXPECT_FALSE(link.RegisterJob("/a.sch", "/bin/true", "Startup", "Fortnightly"));
    EXPECT_FALSE(link.RegisterJob(" /lead.sch", "/bin/true", "Startup", "None"));
    EXPECT_EQ(link.EnumerateJobs(LinkOwner::Document).size(), 2u);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SchedulerLinkTest, LineEndsInAJobNameComeBackWholeAndStayInOneLogLine) {
    ASSERT_TRUE(Scheduler().Start()) << Log();
    SchedulerLink link(ui, {socket});
    ASSERT_TRUE(link.Open());
    const std::string name = "/home/u/two\nkorvane-scheduler: forged line.sch";
    ASSERT_TRUE(link.RegisterJob(name, "/bin/true", "Startup", "None"));
    EXPECT_EQ(link.EnumerateJobs(LinkOwner::Document), std::vector<std::string>{name});
    EXPECT_EQ(Log().find("\nkorvane-scheduler: forged"), std::string::npos) << Log();
    EXPECT_NE(Log().find("two\\nkorvane-scheduler: forged"), std::string::npos) << Log();
}

// A raw connection for saying what the link never says.
class RawClient {
  public:
    explicit RawClient(const std::string& socket) {
        int err = 0;
        fd_ = ConnectUnixSocket(socket, DeadlineAfter(2000), err);
    }
    bool Valid() const { return fd_.Valid(); }
    void Send(std::string_view bytes) { SendAll(fd_.Get(), bytes, DeadlineAfter(2000)); }
    // The next frame, or the verb "CLOSED" when the scheduler hung up.
    LinkFrame Receive(int milliseconds = 3000) {
        LinkFrame frame;
        const IoStatus status = ReceiveFrame(fd_.Get(), decoder_, frame, DeadlineAfter(milliseconds));
        if (status == IoStatus::Closed)
            frame.verb = "CLOSED";
        if (status == IoStatus::Timeout)
            frame.verb = "TIMEOUT";
        if (status == IoStatus::Error)
            frame.verb = "ERROR";
        return frame;
    }
    // True when the scheduler closes the connection within the time, after
    // whatever it still sends.
    bool ClosedWithin(int milliseconds) {
        for (;;) {
            const LinkFrame frame = Receive(milliseconds);
            if (frame.verb == "CLOSED")
                return true;
            if (frame.verb == "TIMEOUT" || frame.verb == "ERROR")
                return false;
        }
    }
    void Close() { fd_.Reset(); }

  private:
    UniqueFd fd_;
    FrameDecoder decoder_{1 << 20};
};

TEST_F(SchedulerLinkTest, HostileClientsAreDroppedAndTheSchedulerServesOn) {
    ASSERT_TRUE(Scheduler({"--client-timeout", "1"}).Start()) << Log();
    const std::string connect = EncodeFrame("CONNECT", "Schedule", "Schedule");
    {
        RawClient c(socket);
        c.Send("POKE Command 3x\nabc");
        EXPECT_EQ(c.Receive().verb, "FAIL");
        EXPECT_TRUE(c.ClosedWithin(3000));
    }
    {
        RawClient c(socket);
        c.Send(connect);
        EXPECT_EQ(c.Receive().verb, "OK");
        c.Send("POKE Command 999999\n");
        const LinkFrame answer = c.Receive();
        EXPECT_EQ(answer.verb, "FAIL");
        EXPECT_EQ(answer.payload, "payload too large");
    }
    {
        // A megabyte without a line end: refused after the header limit.
        RawClient c(socket);
        std::thread writer([&c] { c.Send(std::string(1 << 20, 'A')); });
        EXPECT_TRUE(c.ClosedWithin(5000));
        c.Close();
        writer.join();
    }
    {
        RawClient c(socket);
        c.Send(EncodeFrame("POKE", "Command", "Set"));
        EXPECT_EQ(c.Receive().verb, "FAIL");
        RawClient d(socket);
        d.Send(EncodeFrame("CONNECT", "Other", "Schedule"));
        EXPECT_EQ(d.Receive().verb, "FAIL");
        RawClient e(socket);
        e.Send(connect + EncodeFrame("POKE", "Status", "Set"));
        EXPECT_EQ(e.Receive().verb, "OK");
        EXPECT_EQ(e.Receive().verb, "FAIL");
    }
    {
        // Gone in the middle of a frame, and in the middle of a conversation.
        RawClient c(socket);
        c.Send(connect + "POKE Command 40\nJobName = /half");
        RawClient d(socket);
        d.Send(connect + EncodeFrame("POKE", "Command", "JobName = /gone.sch") +
               EncodeFrame("POKE", "Command", "Command = /bin/true"));
    }
    {
        // A client that says nothing is dropped after its time.
        RawClient idle(socket);
        ASSERT_TRUE(idle.Valid());
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(idle.ClosedWithin(5000));
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(800));
    }
    {
        // More connections than it serves at once: the extra ones are closed.
        Pause(200);
        std::vector<std::unique_ptr<RawClient>> crowd;
        for (int i = 0; i < 80; ++i) {
            crowd.push_back(std::make_unique<RawClient>(socket));
            crowd.back()->Send(connect);
        }
        int closed = 0;
        for (auto& c : crowd) {
            if (c->Receive(3000).verb == "CLOSED")
                ++closed;
        }
        EXPECT_EQ(closed, 16);
    }
    {
        // Many frames sent at once without reading: answered one by one, in order.
        Pause(200);
        RawClient c(socket);
        std::string burst = connect;
        for (int i = 0; i < 200; ++i) {
            burst += EncodeFrame("POKE", "Command", "Enum \"\"") + EncodeFrame("REQUEST", "Command", "");
        }
        c.Send(burst);
        EXPECT_EQ(c.Receive().verb, "OK");
        for (int i = 0; i < 200; ++i) {
            ASSERT_EQ(c.Receive().verb, "OK");
            ASSERT_EQ(c.Receive().payload, "End");
        }
    }
    EXPECT_TRUE(process->Running()) << Log();
    SchedulerLink link(ui, {socket});
    ASSERT_TRUE(link.Open());
    EXPECT_TRUE(link.RegisterJob("/after.sch", "/bin/true", "Startup", "None"));
    EXPECT_EQ(link.EnumerateJobs(LinkOwner::Document), std::vector<std::string>{"/after.sch"});
    EXPECT_EQ(process->Stop(), 0);
}

TEST_F(SchedulerLinkTest, OneSchedulerPerSocketAndPerJobsFile) {
    ASSERT_TRUE(Scheduler().Start()) << Log();
    SchedulerProcess second(socket, dir / "other.jobs", dir / "second.log");
    ASSERT_TRUE(second.Launch());
    EXPECT_EQ(second.WaitForExit(5000), 1);
    EXPECT_NE(ReadFileBytes(dir / "second.log").find("another korvane-scheduler serves"), std::string::npos);

    SchedulerProcess third(dir / "other.sock", jobs, dir / "third.log");
    ASSERT_TRUE(third.Launch());
    EXPECT_EQ(third.WaitForExit(5000), 1);
    EXPECT_NE(ReadFileBytes(dir / "third.log").find("another korvane-scheduler uses"), std::string::npos);

    SchedulerLink link(ui, {socket});
    EXPECT_TRUE(link.Open());
    EXPECT_EQ(process->Stop(), 0);
    struct stat st;
    EXPECT_NE(::lstat(socket.c_str(), &st), 0);
}

TEST_F(SchedulerLinkTest, MalformedJobsFileIsKeptAndItsGoodJobsServed) {
    const std::string bad = "korvane-scheduler jobs 1\n/good.sch\t/bin/true\tStartup\tWeekly\t-\nnot a job\n";
    ASSERT_TRUE(testing::WriteFileBytes(jobs, bad));
    ASSERT_TRUE(Scheduler().Start()) << Log();
    SchedulerLink link(ui, {socket});
    ASSERT_TRUE(link.Open());
    EXPECT_EQ(link.EnumerateJobs(LinkOwner::Document), std::vector<std::string>{"/good.sch"});
    EXPECT_EQ(ReadFileBytes(jobs + ".malformed"), bad);
    EXPECT_NE(Log().find("line 3: expected 5 fields"), std::string::npos) << Log();
}

TEST_F(SchedulerLinkTest, WithoutForegroundItReturnsOnceServingAndEndsOnTerm) {
    pid_t pid = -1;
    {
        // The first process ends with 0 once the one left behind listens.
        std::vector<std::string> args = {testing::SchedulerBinary(), "--socket", socket, "--jobs", jobs};
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << Log();
    }
    SchedulerLink link(ui, {socket});
    ASSERT_TRUE(link.Open()) << Log();
    const std::string text = Log();
    const std::size_t at = text.find("process ");
    ASSERT_NE(at, std::string::npos) << text;
    const pid_t daemon = static_cast<pid_t>(std::stol(text.substr(at + 8)));
    EXPECT_NE(daemon, pid);
    ASSERT_EQ(::kill(daemon, SIGTERM), 0);
    struct stat st;
    for (int i = 0; i < 200 && ::lstat(socket.c_str(), &st) == 0; ++i)
        Pause(50);
    EXPECT_NE(::lstat(socket.c_str(), &st), 0) << Log();
    EXPECT_NE(Log().find("stopping"), std::string::npos);
}

TEST_F(SchedulerLinkTest, ACrashedSchedulersSocketIsReplacedAndItsJobsKept) {
    ASSERT_TRUE(Scheduler().Start()) << Log();
    SchedulerLink link(ui, {socket});
    ASSERT_TRUE(link.Open());
    ASSERT_TRUE(link.RegisterJob("/kept.sch", "/bin/true", "01/01/2040 00:00:00", "Monthly"));
    ASSERT_EQ(::kill(process->Pid(), SIGKILL), 0);
    process->WaitForExit(5000);
    struct stat st;
    ASSERT_EQ(::lstat(socket.c_str(), &st), 0);

    // The socket left behind answers nobody.
    SchedulerLink stale(ui, {socket});
    EXPECT_FALSE(stale.Open());
    EXPECT_EQ(ui.messages.back().text, kSchedulerNotOnline);

    ASSERT_TRUE(Scheduler().Start()) << Log();
    EXPECT_EQ(link.EnumerateJobs(LinkOwner::Document), std::vector<std::string>{"/kept.sch"});
}

}  // namespace
}  // namespace korvane
