#include "schedule/scheduler_service.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <list>
#include <vector>

#include "schedule/command_line.h"
#include "schedule/job_book.h"
#include "schedule/link_protocol.h"
#include "schedule/process_launcher.h"
#include "schedule/scheduler_conversation.h"
#include "schedule/scheduler_log.h"
#include "schedule/scheduler_socket.h"

namespace korvane {
namespace {

constexpr int kMaxSleepMs = 60000;

long long RealtimeMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string Errno() {
    return std::strerror(errno);
}

// Takes an exclusive lock on a lock file beside path; an invalid fd when
// another process holds it (busy set) or it cannot be made.
UniqueFd LockBeside(const std::string& path, bool& busy) {
    busy = false;
    const std::string lock_path = path + ".lock";
    UniqueFd fd(::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!fd.Valid())
        return {};
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        busy = errno == EWOULDBLOCK;
        return {};
    }
    return fd;
}

bool MakeParentFolder(const std::string& path, std::string& error) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (parent.empty())
        return true;
    std::error_code ec;
    if (std::filesystem::is_directory(parent, ec))
        return true;
    std::filesystem::create_directories(parent, ec);
    if (ec) {
        error = parent.string() + ": " + ec.message();
        return false;
    }
    std::filesystem::permissions(parent, std::filesystem::perms::owner_all, ec);
    return true;
}

struct Client {
    Client(int fd, JobBook& book, std::ostream& log, int timeout_ms)
        : socket(fd), conversation(book, log), deadline(DeadlineAfter(timeout_ms)) {}
    UniqueFd socket;
    FrameDecoder decoder{kMaxPayloadLength};
    std::string out;
    SchedulerConversation conversation;
    Deadline deadline;
    bool connected = false;
    bool closing = false;  // closed once out is sent
    bool gone = false;     // to be removed
};

}  // namespace

std::string DefaultJobsPath() {
    std::string base;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/') {
        base = state;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
        base = std::string(home) + "/.local/state";
    } else {
        base = "/tmp";
    }
    return base + "/korvane/scheduler.jobs";
}

struct SchedulerService::State {
    State(SchedulerOptions o, std::ostream& l)
        : options(std::move(o)), log(l), started(std::time(nullptr)), book(options.jobs_path, started, log) {}

    void Log(std::string_view text) { SchedulerLog(log, text); }
    void RunDueJobs();
    void Reap();
    void AcceptClients();
    void ReadClient(Client& client);
    void WriteClient(Client& client);
    void Pump(Client& client);
    void Handle(Client& client, const LinkFrame& frame);
    void Fail(Client& client, std::string_view item, std::string_view reason);

    SchedulerOptions options;
    std::ostream& log;
    std::time_t started;
    JobBook book;
    UniqueFd socket_lock, jobs_lock, listener, signals;
    std::list<Client> clients;
    bool bound = false;
    bool stop = false;
    bool mask_set = false;
    sigset_t old_mask{};
};

SchedulerService::SchedulerService(SchedulerOptions options, std::ostream& log)
    : state_(std::make_unique<State>(std::move(options), log)) {}

SchedulerService::~SchedulerService() {
    if (state_->bound)
        ::unlink(state_->options.socket_path.c_str());
    if (state_->mask_set)
        ::sigprocmask(SIG_SETMASK, &state_->old_mask, nullptr);
}

bool SchedulerService::Start() {
    State& s = *state_;
    const SchedulerOptions& o = s.options;
    if (!UnixAddressFits(o.socket_path)) {
        s.Log("the socket path is empty or too long: " + o.socket_path);
        return false;
    }
    std::string error;
    if (!MakeParentFolder(o.socket_path, error) || !MakeParentFolder(o.jobs_path, error)) {
        s.Log("cannot make the folder " + error);
        return false;
    }
    bool busy = false;
    s.socket_lock = LockBeside(o.socket_path, busy);
    if (!s.socket_lock.Valid()) {
        s.Log(busy ? "another korvane-scheduler serves " + o.socket_path
                   : "cannot lock " + o.socket_path + ".lock: " + Errno());
        return false;
    }
    s.jobs_lock = LockBeside(o.jobs_path, busy);
    if (!s.jobs_lock.Valid()) {
        s.Log(busy ? "another korvane-scheduler uses " + o.jobs_path
                   : "cannot lock " + o.jobs_path + ".lock: " + Errno());
        return false;
    }
    if (!s.book.Load())
        return false;

    sigset_t mask;
    sigemptyset(&mask);
    for (int signal : {SIGCHLD, SIGTERM, SIGINT, SIGHUP})
        sigaddset(&mask, signal);
    if (::sigprocmask(SIG_BLOCK, &mask, &s.old_mask) != 0) {
        s.Log("cannot block signals: " + Errno());
        return false;
    }
    s.mask_set = true;
    s.signals.Reset(::signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK));
    if (!s.signals.Valid()) {
        s.Log("cannot watch signals: " + Errno());
        return false;
    }

    // The lock is ours, so a socket left at the path is a dead scheduler's.
    struct stat st;
    if (::lstat(o.socket_path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            s.Log(o.socket_path + " exists and is not a socket; not replacing it");
            return false;
        }
        ::unlink(o.socket_path.c_str());
    }
    s.listener.Reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!s.listener.Valid()) {
        s.Log("cannot make a socket: " + Errno());
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, o.socket_path.data(), o.socket_path.size());
    const mode_t old_umask = ::umask(0077);
    const int bound = ::bind(s.listener.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const int bind_errno = errno;
    ::umask(old_umask);
    if (bound != 0) {
        s.Log("cannot bind " + o.socket_path + ": " + std::strerror(bind_errno));
        return false;
    }
    s.bound = true;
    ::chmod(o.socket_path.c_str(), 0600);
    if (::listen(s.listener.Get(), 64) != 0) {
        s.Log("cannot listen on " + o.socket_path + ": " + Errno());
        return false;
    }
    s.Log("process " + std::to_string(::getpid()) + " serving " + o.socket_path + " with " +
          std::to_string(s.book.Size()) + " job(s) from " + o.jobs_path);
    return true;
}

int SchedulerService::Run() {
    State& s = *state_;
    if (!s.listener.Valid())
        return 1;
    std::vector<pollfd> fds;
    std::vector<Client*> polled;
    while (!s.stop) {
        s.RunDueJobs();

        long long timeout = kMaxSleepMs;
        if (const auto wake = s.book.NextWake()) {
            timeout =
                std::clamp<long long>(static_cast<long long>(*wake) * 1000 - RealtimeMs(), 0, kMaxSleepMs);
        }
        const auto steady_now = std::chrono::steady_clock::now();
        for (const Client& client : s.clients) {
            const long long left =
                std::chrono::duration_cast<std::chrono::milliseconds>(client.deadline - steady_now).count();
            timeout = std::clamp<long long>(left + 1, 0, timeout);
        }

        fds.clear();
        polled.clear();
        fds.push_back({s.signals.Get(), POLLIN, 0});
        fds.push_back({s.listener.Get(), POLLIN, 0});
        for (Client& client : s.clients) {
            short events = client.out.empty() ? POLLIN : POLLOUT;
            fds.push_back({client.socket.Get(), events, 0});
            polled.push_back(&client);
        }
        const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(timeout));
        if (ready < 0 && errno != EINTR) {
            s.Log("poll failed: " + Errno());
            return 1;
        }

        if (ready > 0 && (fds[0].revents & POLLIN) != 0) {
            signalfd_siginfo info;
            while (::read(s.signals.Get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                if (info.ssi_signo == SIGCHLD)
                    s.Reap();
                if (info.ssi_signo == SIGTERM || info.ssi_signo == SIGINT)
                    s.stop = true;
            }
        }
        for (std::size_t i = 0; ready > 0 && i < polled.size(); ++i) {
            Client& client = *polled[i];
            const short revents = fds[i + 2].revents;
            if ((revents & POLLOUT) != 0)
                s.WriteClient(client);
            if (!client.gone && (revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                if (client.out.empty()) {
                    s.ReadClient(client);
                } else if ((revents & (POLLHUP | POLLERR)) != 0) {
                    client.gone = true;
                }
            }
        }
        const auto now = std::chrono::steady_clock::now();
        for (Client& client : s.clients) {
            if (!client.gone && now >= client.deadline) {
                s.Log("dropping a client that sent no complete frame in time");
                client.gone = true;
            }
        }
        s.clients.remove_if([](const Client& client) { return client.gone; });
        // After the departed are gone, so their places count for newcomers.
        if (ready > 0 && (fds[1].revents & POLLIN) != 0)
            s.AcceptClients();
    }
    s.Log("stopping");
    s.clients.clear();
    s.Reap();
    return 0;
}

void SchedulerService::State::RunDueJobs() {
    const std::time_t now = std::time(nullptr);
    for (const std::string& name : book.DueJobs(now)) {
        const ScheduledJob* job = book.Find(name);
        if (job == nullptr)
            continue;
        std::vector<std::string> argv;
        std::string error;
        pid_t pid = 0;
        if (!SplitCommandLine(job->command, argv, error)) {
            Log("job \"" + name + "\" not started: " + error);
        } else if (!StartDetached(argv, pid, error)) {
            Log("job \"" + name + "\" not started: " + argv.front() + ": " + error);
        } else {
            Log("job \"" + name + "\" started as process " + std::to_string(pid) + ": " + job->command);
        }
        book.MarkRun(name, now);
    }
}

void SchedulerService::State::Reap() {
    int status = 0;
    pid_t pid;
    while ((pid = ::waitpid(-1, &status, WNOHANG)) > 0) {
        if (WIFEXITED(status)) {
            Log("process " + std::to_string(pid) + " ended with exit code " +
                std::to_string(WEXITSTATUS(status)));
        } else if (WIFSIGNALED(status)) {
            Log("process " + std::to_string(pid) + " ended by signal " + std::to_string(WTERMSIG(status)));
        }
    }
}

void SchedulerService::State::AcceptClients() {
    for (;;) {
        UniqueFd fd(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!fd.Valid()) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                Log("accept failed: " + Errno());
            return;
        }
        if (!PeerIsSameUser(fd.Get())) {
            Log("refusing a client of another user");
            continue;
        }
        if (clients.size() >= options.max_clients) {
            Log("refusing a client: " + std::to_string(clients.size()) + " connections open");
            continue;
        }
        clients.emplace_back(fd.Release(), book, log, options.client_timeout_ms);
    }
}

void SchedulerService::State::Fail(Client& client, std::string_view item, std::string_view reason) {
    client.out += EncodeFrame(kVerbFail, IsValidItemWord(item) ? item : kSchedulerItem, reason);
    client.closing = true;
}

void SchedulerService::State::Handle(Client& client, const LinkFrame& frame) {
    client.deadline = DeadlineAfter(options.client_timeout_ms);
    if (frame.verb == kVerbConnect) {
        if (frame.item != kSchedulerService || frame.payload != kSchedulerTopic) {
            Fail(client, frame.item, "unknown service or topic");
            return;
        }
        client.connected = true;
        client.out += EncodeFrame(kVerbOk, frame.item, {});
        return;
    }
    if (frame.verb != kVerbPoke && frame.verb != kVerbRequest) {
        Fail(client, frame.item, "unknown verb");
        return;
    }
    if (!client.connected) {
        Fail(client, frame.item, "no conversation: CONNECT first");
        return;
    }
    if (frame.item != kSchedulerItem) {
        Fail(client, frame.item, "unknown item");
        return;
    }
    if (frame.verb == kVerbPoke) {
        client.conversation.Poke(frame.payload, std::time(nullptr));
        client.out += EncodeFrame(kVerbOk, frame.item, {});
    } else {
        client.out += EncodeFrame(kVerbData, frame.item, client.conversation.Answer());
    }
}

void SchedulerService::State::Pump(Client& client) {
    LinkFrame frame;
    std::string error;
    // One frame at a time: the next is taken only once the answer is sent,
    // so a client that does not read cannot make the server buffer more.
    while (client.out.empty() && !client.closing) {
        const FrameDecoder::Result result = client.decoder.Next(frame, error);
        if (result == FrameDecoder::Result::NeedMore)
            return;
        if (result == FrameDecoder::Result::Error) {
            Log("dropping a client: " + error);
            Fail(client, kSchedulerItem, error);
            return;
        }
        Handle(client, frame);
    }
}

void SchedulerService::State::ReadClient(Client& client) {
    char buffer[4096];
    const ssize_t n = ::recv(client.socket.Get(), buffer, sizeof buffer, MSG_DONTWAIT);
    if (n == 0) {
        client.gone = true;
        return;
    }
    if (n < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            client.gone = true;
        return;
    }
    client.decoder.Append(std::string_view(buffer, static_cast<std::size_t>(n)));
    Pump(client);
    if (!client.out.empty())
        WriteClient(client);
}

void SchedulerService::State::WriteClient(Client& client) {
    for (;;) {
        while (!client.out.empty()) {
            const ssize_t n = ::send(client.socket.Get(), client.out.data(), client.out.size(),
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                client.out.erase(0, static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return;
            client.gone = true;
            return;
        }
        if (client.closing) {
            client.gone = true;
            return;
        }
        // Frames that arrived while the answer waited are served now.
        Pump(client);
        if (client.out.empty())
            return;
    }
}

}  // namespace korvane
