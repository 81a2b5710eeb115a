// korvane-scheduler: keeps the jobs that active schedules register and
// starts each job's command line at its times. See schedule/scheduler_service.h.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>

#include "platform/runtime_folder.h"
#include "schedule/scheduler_service.h"
#include "schedule/scheduler_socket.h"

namespace {

constexpr const char* kUsage =
    "Usage: korvane-scheduler [--socket PATH] [--jobs FILE] [--foreground] [--client-timeout SECONDS]\n"
    "  --socket PATH     socket to serve (default: $KORVANE_SCHEDULER_SOCKET, else\n"
    "                    $XDG_RUNTIME_DIR/korvane-schedule.sock)\n"
    "  --jobs FILE       jobs file (default: $XDG_STATE_HOME/korvane/scheduler.jobs)\n"
    "  --foreground      stay attached to the terminal instead of running in the background\n"
    "  --client-timeout  seconds a client may take per frame (default 10)\n"
    "Logs go to stderr.\n";

std::string Absolute(const std::string& path) {
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

// Runs the service in a new session; the first process ends when the
// service listens (exit 0) or has failed to start (exit 1).
int RunInBackground(korvane::SchedulerOptions options) {
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        std::perror("korvane-scheduler: pipe");
        return 1;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        std::perror("korvane-scheduler: fork");
        return 1;
    }
    if (child > 0) {
        ::close(ready[1]);
        char status = '0';
        while (::read(ready[0], &status, 1) < 0 && errno == EINTR) {
        }
        return status == '1' ? 0 : 1;
    }
    ::close(ready[0]);
    ::setsid();
    if (::chdir("/") != 0)
        std::perror("korvane-scheduler: chdir");
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::close(null);
    }
    korvane::SchedulerService service(std::move(options), std::cerr);
    const bool started = service.Start();
    const char status = started ? '1' : '0';
    while (::write(ready[1], &status, 1) < 0 && errno == EINTR) {
    }
    ::close(ready[1]);
    return started ? service.Run() : 1;
}

}  // namespace

int main(int argc, char** argv) {
    // The jobs it starts inherit the folder, so korvane finds the same socket and lock.
    korvane::ExportRuntimeFolder();
    korvane::SchedulerOptions options;
    bool foreground = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--socket" && has_value) {
            options.socket_path = argv[++i];
        } else if (arg == "--jobs" && has_value) {
            options.jobs_path = argv[++i];
        } else if (arg == "--client-timeout" && has_value) {
            char* end = nullptr;
            const long seconds = std::strtol(argv[++i], &end, 10);
            if (end == argv[i] || *end != '\0' || seconds < 1 || seconds > 3600) {
                std::cerr << "korvane-scheduler: --client-timeout takes 1 to 3600 seconds\n";
                return 2;
            }
            options.client_timeout_ms = static_cast<int>(seconds * 1000);
        } else if (arg == "--foreground") {
            foreground = true;
        } else if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else {
            std::cerr << "korvane-scheduler: unknown or incomplete option " << arg << "\n" << kUsage;
            return 2;
        }
    }
    if (options.socket_path.empty())
        options.socket_path = korvane::DefaultSchedulerSocketPath();
    if (options.jobs_path.empty())
        options.jobs_path = korvane::DefaultJobsPath();
    options.socket_path = Absolute(options.socket_path);
    options.jobs_path = Absolute(options.jobs_path);

    if (!foreground)
        return RunInBackground(std::move(options));
    korvane::SchedulerService service(std::move(options), std::cerr);
    if (!service.Start())
        return 1;
    return service.Run();
}
