// The scheduler conversation on the wire. A client opens a stream
// connection to the scheduler's Unix-domain socket and sends frames; the
// scheduler answers every frame with exactly one frame, in order.
//
//   frame  = verb " " item " " length "\n" payload
//   verb   = "CONNECT" | "POKE" | "REQUEST"        (client)
//          | "OK" | "DATA" | "FAIL"                (scheduler)
//   item   = 1..32 characters of A-Z a-z 0-9 "_" "-" "."
//   length = 1..6 decimal digits, the payload's byte count
//   payload = text, no terminator
//
// Client frames and their answers:
//   CONNECT <service> <n> <topic>  -> OK <service> 0        the conversation is open
//                                  -> FAIL <service> <n> <reason>, then the scheduler closes
//   POKE <item> <n> <text>         -> OK <item> 0           the command was taken
//                                  -> FAIL <item> <n> <reason>
//   REQUEST <item> 0               -> DATA <item> <n> <answer of the last command poked>
// POKE and REQUEST before CONNECT, an unknown verb or item, a malformed
// header or a payload above the scheduler's limit get a FAIL frame and the
// connection is closed. A header line is at most kMaxHeaderLength bytes.
//
// The service and topic are "Schedule", the item "Command"; the poked texts
// are "JobName = %s", "Command = %s", "Startup = %s", "Interval = %s",
// "Set", "Stop \"%s\"" and "Enum \"%s\"". An empty answer means the last
// command failed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korvane {

inline constexpr std::string_view kSchedulerService = "Schedule";
inline constexpr std::string_view kSchedulerTopic = "Schedule";
inline constexpr std::string_view kSchedulerItem = "Command";

inline constexpr std::string_view kVerbConnect = "CONNECT";
inline constexpr std::string_view kVerbPoke = "POKE";
inline constexpr std::string_view kVerbRequest = "REQUEST";
inline constexpr std::string_view kVerbOk = "OK";
inline constexpr std::string_view kVerbData = "DATA";
inline constexpr std::string_view kVerbFail = "FAIL";

inline constexpr std::size_t kMaxHeaderLength = 64;
// Largest payload either side sends: two full paths and their quoting fit.
inline constexpr std::size_t kMaxPayloadLength = 16384;

struct LinkFrame {
    std::string verb;
    std::string item;
    std::string payload;
};

// The bytes of one frame. The item must be a valid item word.
std::string EncodeFrame(std::string_view verb, std::string_view item, std::string_view payload);

bool IsValidItemWord(std::string_view word);

// Cuts frames out of a byte stream as it arrives.
class FrameDecoder {
  public:
    enum class Result { NeedMore, Frame, Error };

    explicit FrameDecoder(std::size_t max_payload = kMaxPayloadLength) : max_payload_(max_payload) {}
    void Append(std::string_view bytes) { buffer_.append(bytes); }
    // Frame: one complete frame was taken out. Error: the stream is not
    // a frame stream (error says why); nothing more can be decoded.
    Result Next(LinkFrame& frame, std::string& error);
    std::size_t Buffered() const { return buffer_.size(); }

  private:
    std::size_t max_payload_;
    std::string buffer_;
    bool failed_ = false;
};

}  // namespace korvane
