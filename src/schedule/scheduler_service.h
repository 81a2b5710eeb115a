// korvane-scheduler's server: one process per socket that serves the
// scheduler conversation (link_protocol.h, scheduler_conversation.h) and
// starts each job's command line at its times (job_book.h).
//
// It is single-threaded around poll(): the listening socket, every client
// connection, a signalfd for SIGCHLD (children are reaped), SIGTERM and
// SIGINT (orderly end) and SIGHUP (ignored), and a timeout up to the next
// job. Clients are bounded: at most max_clients at once, each frame within
// client_timeout_ms of the connection or of its previous frame, payloads of
// at most kMaxPayloadLength bytes; a client that breaks a rule is answered
// FAIL and dropped, and nothing it sends can end the server. Only processes
// of the scheduler's own user may connect.
#pragma once

#include <cstddef>
#include <ctime>
#include <memory>
#include <ostream>
#include <string>

namespace korvane {

struct SchedulerOptions {
    std::string socket_path;
    std::string jobs_path;
    int client_timeout_ms = 10000;
    std::size_t max_clients = 64;
};

// $XDG_STATE_HOME/korvane/scheduler.jobs, else ~/.local/state/korvane/scheduler.jobs.
std::string DefaultJobsPath();

class SchedulerService {
  public:
    SchedulerService(SchedulerOptions options, std::ostream& log);
    ~SchedulerService();
    SchedulerService(const SchedulerService&) = delete;
    SchedulerService& operator=(const SchedulerService&) = delete;

    // Takes the socket's and the jobs file's single-instance locks, loads
    // the jobs and listens. False, logged, when another scheduler holds
    // either, the jobs cannot be loaded, or the socket cannot be made.
    bool Start();
    // Serves until SIGTERM or SIGINT; the socket is removed at the end.
    // Returns the process exit code.
    int Run();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace korvane
