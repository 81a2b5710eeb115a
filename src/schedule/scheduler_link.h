// The program's side of the scheduler conversation: registering a schedule
// as a job, stopping it, and enumerating the scheduler's jobs. The
// conversation runs over the Unix-domain socket of korvane-scheduler with
// the frames of link_protocol.h.
//
// Open checks once that a scheduler answers (the conversation of a schedule
// document or the run-status dialog). Every later command then travels over
// its own short connection: CONNECT, its pokes, one REQUEST. So the scheduler
// keeps no idle connections, and a link whose first connect failed stays
// closed: its commands fail without trying again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/user_interface.h"

namespace korvane {

inline constexpr std::string_view kLinkInitFailure = "DDEML Initialization Failure";
inline constexpr std::string_view kSchedulerNotOnline = "korvane-scheduler is not online and responding.";
inline constexpr int kSchedulerWaitMs = 10000;

// Error codes of the conversation, shown as eight hexadecimal digits in the
// run-status dialog's messages.
enum LinkError : std::uint32_t {
    kLinkNoError = 0,
    kLinkRequestTimeout = 0x4002,  // no answer to a request in time
    kLinkNotProcessed = 0x4009,    // the scheduler refused the frame
    kLinkNoConversation = 0x400A,  // no scheduler at the socket, or the link is closed
    kLinkPokeTimeout = 0x400B,     // no answer to a poke in time
    kLinkServerDied = 0x400E,      // the scheduler closed the connection
    kLinkSystemError = 0x400F,     // a socket call failed, or the answer was not a frame
};

// Who enumerates: a schedule document stops at a failed poke and takes
// names of up to 2,048 characters; the run-status dialog reports poke and
// request errors and takes up to 260.
enum class LinkOwner { Document, RunStatusDialog };

struct SchedulerLinkOptions {
    std::string socket_path;  // empty: DefaultSchedulerSocketPath()
    int wait_ms = kSchedulerWaitMs;
};

class SchedulerLink {
  public:
    explicit SchedulerLink(UserInterface& ui, SchedulerLinkOptions options = {});
    ~SchedulerLink() { Close(); }
    SchedulerLink(const SchedulerLink&) = delete;
    SchedulerLink& operator=(const SchedulerLink&) = delete;

    // Connects to service "Schedule", topic "Schedule". Shows "DDEML
    // Initialization Failure" when no socket can be made and "korvane-scheduler
    // is not online and responding." when no scheduler answers; the owner
    // goes on without a conversation.
    bool Open();
    void Close() { open_ = false; }
    bool IsOpen() const { return open_; }

    // Pokes "JobName = %s", "Command = %s", "Startup = %s", "Interval = %s",
    // "Set" and requests the answer: true when it holds at least one byte.
    bool RegisterJob(std::string_view name, std::string_view command, std::string_view startup,
                     std::string_view interval);
    // Pokes "Stop \"%s\"" and requests: true when the answer is not empty.
    bool StopJob(std::string_view name);
    // Pokes "Enum \"%s\"" with the previous name (empty for the first job)
    // and requests; the answer's text from its second token on is the next
    // job's name. None ends the enumeration.
    std::optional<std::string> NextJob(std::string_view previous, LinkOwner owner);
    // Every job name, from the empty name on until NextJob gives none. A
    // scheduler that names a job twice ends the list there.
    std::vector<std::string> EnumerateJobs(LinkOwner owner);

    std::uint32_t LastError() const { return last_error_; }
    const std::string& SocketPath() const { return options_.socket_path; }

  private:
    // One connection: CONNECT, the pokes in order, one REQUEST. poke_ok
    // (one per poke) and answer receive the outcome; false when the request
    // got no answer.
    bool Converse(const std::vector<std::string>& pokes, std::vector<bool>& poke_ok, std::string& answer);

    UserInterface& ui_;
    SchedulerLinkOptions options_;
    bool open_ = false;
    std::uint32_t last_error_ = kLinkNoError;
};

}  // namespace korvane
