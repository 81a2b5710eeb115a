#include "schedule/scheduler_link.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <set>

#include "schedule/link_protocol.h"
#include "schedule/scheduler_socket.h"
#include "schedule/script_line_head.h"

namespace korvane {
namespace {

std::string Quoted(std::string_view verb, std::string_view name) {
    std::string text(verb);
    text += " \"";
    text += name;
    text += '"';
    return text;
}

std::string ErrorMessage(const char* format, std::uint32_t code) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, static_cast<unsigned>(code));
    return buffer;
}

// One exchange: a frame out and its answer back, within the wait.
IoStatus Exchange(int fd, FrameDecoder& decoder, std::string_view frame_bytes, LinkFrame& answer,
                  int wait_ms) {
    const Deadline deadline = DeadlineAfter(wait_ms);
    const IoStatus sent = SendAll(fd, frame_bytes, deadline);
    if (sent != IoStatus::Ok)
        return sent;
    return ReceiveFrame(fd, decoder, answer, deadline);
}

std::uint32_t ErrorOf(IoStatus status, std::uint32_t timeout_code) {
    switch (status) {
        case IoStatus::Ok:
            return kLinkNoError;
        case IoStatus::Timeout:
            return timeout_code;
        case IoStatus::Closed:
            return kLinkServerDied;
        case IoStatus::Error:
            return kLinkSystemError;
    }
    return kLinkSystemError;
}

}  // namespace

SchedulerLink::SchedulerLink(UserInterface& ui, SchedulerLinkOptions options)
    : ui_(ui), options_(std::move(options)) {
    if (options_.socket_path.empty())
        options_.socket_path = DefaultSchedulerSocketPath();
}

bool SchedulerLink::Open() {
    open_ = false;
    last_error_ = kLinkNoError;
    // The socket itself is the instance: without one nothing can be said.
    UniqueFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!probe.Valid()) {
        last_error_ = kLinkSystemError;
        ui_.ShowMessage(kLinkInitFailure, MessageIcon::None, MessageButtons::Ok);
        return false;
    }
    probe.Reset();
    open_ = true;
    std::vector<bool> poke_ok;
    std::string answer;
    if (!Converse({}, poke_ok, answer)) {
        open_ = false;
        last_error_ = kLinkNoConversation;
        ui_.ShowMessage(kSchedulerNotOnline, MessageIcon::None, MessageButtons::Ok);
        return false;
    }
    return true;
}

bool SchedulerLink::Converse(const std::vector<std::string>& pokes, std::vector<bool>& poke_ok,
                             std::string& answer) {
    poke_ok.assign(pokes.size(), false);
    answer.clear();
    if (!open_) {
        last_error_ = kLinkNoConversation;
        return false;
    }
    int err = 0;
    UniqueFd fd = ConnectUnixSocket(options_.socket_path, DeadlineAfter(options_.wait_ms), err);
    if (!fd.Valid()) {
        last_error_ = kLinkNoConversation;
        return false;
    }
    FrameDecoder decoder;
    LinkFrame reply;
    IoStatus status =
        Exchange(fd.Get(), decoder, EncodeFrame(kVerbConnect, kSchedulerService, kSchedulerTopic), reply,
                 options_.wait_ms);
    if (status != IoStatus::Ok || reply.verb != kVerbOk) {
        last_error_ = kLinkNoConversation;
        return false;
    }
    for (std::size_t i = 0; i < pokes.size(); ++i) {
        status = Exchange(fd.Get(), decoder, EncodeFrame(kVerbPoke, kSchedulerItem, pokes[i]), reply,
                          options_.wait_ms);
        if (status != IoStatus::Ok) {
            // The stream is out of step after a lost answer: nothing more on it.
            last_error_ = ErrorOf(status, kLinkPokeTimeout);
            return false;
        }
        poke_ok[i] = reply.verb == kVerbOk;
        if (!poke_ok[i])
            last_error_ = kLinkNotProcessed;
    }
    status =
        Exchange(fd.Get(), decoder, EncodeFrame(kVerbRequest, kSchedulerItem, {}), reply, options_.wait_ms);
    if (status != IoStatus::Ok) {
        last_error_ = ErrorOf(status, kLinkRequestTimeout);
        return false;
    }
    if (reply.verb != kVerbData) {
        last_error_ = kLinkNotProcessed;
        return false;
    }
    answer = std::move(reply.payload);
    return true;
}

bool SchedulerLink::RegisterJob(std::string_view name, std::string_view command, std::string_view startup,
                                std::string_view interval) {
    const std::vector<std::string> pokes = {
        "JobName = " + std::string(name), "Command = " + std::string(command),
        "Startup = " + std::string(startup), "Interval = " + std::string(interval), "Set"};
    std::vector<bool> poke_ok;
    std::string answer;
    return Converse(pokes, poke_ok, answer) && !answer.empty();
}

bool SchedulerLink::StopJob(std::string_view name) {
    std::vector<bool> poke_ok;
    std::string answer;
    return Converse({Quoted("Stop", name)}, poke_ok, answer) && !answer.empty();
}

std::optional<std::string> SchedulerLink::NextJob(std::string_view previous, LinkOwner owner) {
    std::vector<bool> poke_ok;
    std::string answer;
    const bool answered = Converse({Quoted("Enum", previous)}, poke_ok, answer);
    const bool poked = !poke_ok.empty() && poke_ok.front();
    if (!poked) {
        if (owner == LinkOwner::Document)
            return std::nullopt;
        ui_.ShowMessage(ErrorMessage("Dde poke error #%08X...", last_error_), MessageIcon::None,
                        MessageButtons::Ok);
    }
    if (!answered) {
        if (owner == LinkOwner::RunStatusDialog) {
            ui_.ShowMessage(ErrorMessage("Dde request error #%08X...", last_error_), MessageIcon::None,
                            MessageButtons::Ok);
        }
        return std::nullopt;
    }
    // A C string ends at its first NUL, and so does an answer.
    const std::size_t nul = answer.find('\0');
    if (nul != std::string::npos)
        answer.resize(nul);
    return TextFromSecondToken(answer);
}

std::vector<std::string> SchedulerLink::EnumerateJobs(LinkOwner owner) {
    std::vector<std::string> names;
    std::set<std::string> seen;
    std::string previous;
    while (auto next = NextJob(previous, owner)) {
        if (!seen.insert(*next).second)
            break;
        names.push_back(*next);
        previous = std::move(*next);
    }
    return names;
}

}  // namespace korvane
