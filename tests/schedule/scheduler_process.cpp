#include "scheduler_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "schedule/scheduler_socket.h"
#include "test_paths.h"

extern char** environ;

namespace korvane::testing {

std::string SchedulerBinary() {
    return std::string(KORVANE_BINARY_DIR) + "/korvane-scheduler";
}

SchedulerProcess::SchedulerProcess(std::string socket_path, std::string jobs_path, std::string log_path,
                                   std::vector<std::string> extra_arguments)
    : socket_path_(std::move(socket_path)),
      jobs_path_(std::move(jobs_path)),
      log_path_(std::move(log_path)),
      extra_(std::move(extra_arguments)) {}

SchedulerProcess::~SchedulerProcess() {
    if (pid_ > 0)
        Stop();
}

bool SchedulerProcess::Launch() {
    std::vector<std::string> args = {SchedulerBinary(), "--socket", socket_path_,
                                     "--jobs",          jobs_path_, "--foreground"};
    args.insert(args.end(), extra_.begin(), extra_.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, log_path_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        pid_ = -1;
        return false;
    }
    return true;
}

bool SchedulerProcess::Start() {
    if (!Launch())
        return false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
        if (!Running())
            return false;
        int err = 0;
        if (ConnectUnixSocket(socket_path_, DeadlineAfter(200), err).Valid())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

int SchedulerProcess::Stop() {
    if (pid_ <= 0)
        return -1;
    ::kill(pid_, SIGTERM);
    const int code = WaitForExit(10000);
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    return code;
}

int SchedulerProcess::WaitForExit(int milliseconds) {
    if (pid_ <= 0)
        return -1;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (std::chrono::steady_clock::now() >= until)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool SchedulerProcess::Running() const {
    if (pid_ <= 0)
        return false;
    // WNOWAIT leaves an ended child to WaitForExit.
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
        return false;
    return info.si_pid == 0;
}

bool WaitForFile(const std::string& path, int milliseconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < until) {
        struct stat st;
        if (::stat(path.c_str(), &st) == 0 && st.st_size > 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

}  // namespace korvane::testing
