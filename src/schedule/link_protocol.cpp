#include "schedule/link_protocol.h"

#include <charconv>

namespace korvane {
namespace {

bool IsVerbWord(std::string_view word) {
    if (word.empty() || word.size() > 16)
        return false;
    for (char c : word) {
        if (c < 'A' || c > 'Z')
            return false;
    }
    return true;
}

}  // namespace

bool IsValidItemWord(std::string_view word) {
    if (word.empty() || word.size() > 32)
        return false;
    for (char c : word) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                        c == '_' || c == '-' || c == '.';
        if (!ok)
            return false;
    }
    return true;
}

std::string EncodeFrame(std::string_view verb, std::string_view item, std::string_view payload) {
    std::string out;
    out.reserve(verb.size() + item.size() + payload.size() + 16);
    out.append(verb);
    out.push_back(' ');
    out.append(item);
    out.push_back(' ');
    out.append(std::to_string(payload.size()));
    out.push_back('\n');
    out.append(payload);
    return out;
}

FrameDecoder::Result FrameDecoder::Next(LinkFrame& frame, std::string& error) {
    if (failed_) {
        error = "stream already failed";
        return Result::Error;
    }
    const std::size_t newline = buffer_.find('\n');
    if (newline == std::string::npos) {
        if (buffer_.size() > kMaxHeaderLength) {
            failed_ = true;
            error = "header line too long";
            return Result::Error;
        }
        return Result::NeedMore;
    }
    if (newline > kMaxHeaderLength) {
        failed_ = true;
        error = "header line too long";
        return Result::Error;
    }
    const std::string_view header(buffer_.data(), newline);
    const std::size_t first = header.find(' ');
    const std::size_t second = first == std::string_view::npos ? first : header.find(' ', first + 1);
    if (second == std::string_view::npos) {
        failed_ = true;
        error = "malformed header";
        return Result::Error;
    }
    const std::string_view verb = header.substr(0, first);
    const std::string_view item = header.substr(first + 1, second - first - 1);
    const std::string_view length_text = header.substr(second + 1);
    std::size_t length = 0;
    const auto parsed = std::from_chars(length_text.data(), length_text.data() + length_text.size(), length);
    if (!IsVerbWord(verb) || !IsValidItemWord(item) || length_text.empty() || length_text.size() > 6 ||
        parsed.ec != std::errc() || parsed.ptr != length_text.data() + length_text.size()) {
        failed_ = true;
        error = "malformed header";
        return Result::Error;
    }
    if (length > max_payload_) {
        failed_ = true;
        error = "payload too large";
        return Result::Error;
    }
    if (buffer_.size() - newline - 1 < length)
        return Result::NeedMore;
    frame.verb.assign(verb);
    frame.item.assign(item);
    frame.payload.assign(buffer_, newline + 1, length);
    buffer_.erase(0, newline + 1 + length);
    return Result::Frame;
}

}  // namespace korvane
