#include "scan/ftp/ftp_reply_reader.h"

#include <utility>

namespace korvane {

FtpReplyReader::FtpReplyReader(std::size_t max_line, std::size_t max_reply)
    : max_line_(max_line), max_reply_(max_reply) {}

void FtpReplyReader::Reset() {
    queue_.clear();
    pending_.clear();
    line_start_ = 0;
    in_multi_line_ = false;
    overflowed_ = false;
}

std::string FtpReplyReader::TakeReply() {
    if (queue_.empty())
        return std::string();
    std::string reply = std::move(queue_.front());
    queue_.pop_front();
    return reply;
}

bool FtpReplyReader::Feed(std::string_view bytes) {
    if (overflowed_)
        return false;
    while (!bytes.empty()) {
        // Take no more than the bounds can still hold, so one huge packet is
        // refused before it is copied.
        std::size_t room = max_reply_ + 2 - pending_.size();
        std::string_view piece = bytes.substr(0, room);
        bytes.remove_prefix(piece.size());
        pending_.append(piece);

        for (;;) {
            std::size_t end = pending_.find("\r\n", line_start_);
            if (end == std::string::npos)
                break;
            std::string_view line(pending_.data() + line_start_, end - line_start_);
            if (line.size() > max_line_) {
                overflowed_ = true;
                return false;
            }
            bool complete;
            if (!in_multi_line_) {
                if (line.size() >= 4 && line[3] == '-') {
                    in_multi_line_ = true;
                    code_[0] = line[0];
                    code_[1] = line[1];
                    code_[2] = line[2];
                    complete = false;
                } else {
                    complete = true;
                }
            } else {
                complete = line.size() >= 4 && line[0] == code_[0] && line[1] == code_[1] &&
                           line[2] == code_[2] && line[3] == ' ';
            }
            line_start_ = end + 2;
            if (line_start_ > max_reply_) {
                overflowed_ = true;
                return false;
            }
            if (complete) {
                queue_.push_back(pending_.substr(0, line_start_));
                pending_.erase(0, line_start_);
                line_start_ = 0;
                in_multi_line_ = false;
            }
        }
        if (pending_.size() - line_start_ > max_line_ + 1 || pending_.size() > max_reply_) {
            overflowed_ = true;
            return false;
        }
    }
    return true;
}

}  // namespace korvane
