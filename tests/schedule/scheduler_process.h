// A real korvane-scheduler started by a test on its own socket and jobs
// file, with its log in a file the test can read.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace korvane::testing {

std::string SchedulerBinary();

class SchedulerProcess {
  public:
    SchedulerProcess(std::string socket_path, std::string jobs_path, std::string log_path,
                     std::vector<std::string> extra_arguments = {});
    ~SchedulerProcess();
    SchedulerProcess(const SchedulerProcess&) = delete;
    SchedulerProcess& operator=(const SchedulerProcess&) = delete;

    // Starts it in the foreground.
    bool Launch();
    // Launches it and waits until its socket answers.
    bool Start();
    // SIGTERM and wait; the exit code, or -1.
    int Stop();
    // Waits for the process to end by itself within the time; its exit code, or -1.
    int WaitForExit(int milliseconds);
    bool Running() const;
    pid_t Pid() const { return pid_; }

  private:
    std::string socket_path_, jobs_path_, log_path_;
    std::vector<std::string> extra_;
    pid_t pid_ = -1;
};

// Polls until the file exists and is not empty, within the time.
bool WaitForFile(const std::string& path, int milliseconds);

}  // namespace korvane::testing
