// Cuts the bytes of an FTP control connection into complete replies.
//
// A line ends with CR LF. Outside a multi-line reply, a line whose fourth
// character is "-" opens one with its first three characters as code; any
// other line is a whole reply. Inside, only a line that starts with the same
// three characters and a blank closes it. A reply's text runs from its first
// line to the CR LF of its last, both included. Lines that do not start with
// three digits are taken as they come.
//
// Both a line and a reply have a bound, so a peer that sends an endless line
// or an endless multi-line reply cannot make the reader hold more than that.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace korvane {

inline constexpr std::size_t kFtpMaxReplyLine = 8 * 1024;
inline constexpr std::size_t kFtpMaxReplyBytes = 256 * 1024;

class FtpReplyReader {
  public:
    explicit FtpReplyReader(std::size_t max_line = kFtpMaxReplyLine,
                            std::size_t max_reply = kFtpMaxReplyBytes);

    // Adds received bytes; every reply they complete joins the queue. False
    // once a line or a reply is over its bound: the reader then refuses all
    // input until Reset, since the rest of the stream cannot be trusted.
    bool Feed(std::string_view bytes);

    bool HasReply() const { return !queue_.empty(); }
    std::size_t QueuedReplies() const { return queue_.size(); }
    // The oldest queued reply; empty text when there is none.
    std::string TakeReply();
    // Bytes received that are not part of a complete reply yet.
    std::size_t PendingBytes() const { return pending_.size(); }
    bool Overflowed() const { return overflowed_; }
    void Reset();

  private:
    std::size_t max_line_;
    std::size_t max_reply_;
    std::deque<std::string> queue_;
    std::string pending_;         // from the start of the reply being received
    std::size_t line_start_ = 0;  // first line of pending_ not yet judged
    bool in_multi_line_ = false;
    char code_[3] = {0, 0, 0};
    bool overflowed_ = false;
};

}  // namespace korvane
