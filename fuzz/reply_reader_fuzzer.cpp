// Feeds arbitrary bytes, cut into packets as the input's first bytes say, to
// the reply reader, and checks that the cut never changes the replies, that
// replies are whole lines, and that the bounds hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "scan/ftp/ftp_reply_reader.h"

namespace {

constexpr std::size_t kLine = 64;
constexpr std::size_t kReply = 512;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

struct Outcome {
    std::vector<std::string> replies;
    bool overflowed = false;
    std::size_t pending = 0;
};

Outcome Run(std::string_view stream, const std::vector<std::size_t>& cuts) {
    korvane::FtpReplyReader reader(kLine, kReply);
    Outcome outcome;
    std::size_t at = 0;
    std::size_t next_cut = 0;
    while (at < stream.size() && !outcome.overflowed) {
        std::size_t length = next_cut < cuts.size() ? cuts[next_cut++] : stream.size() - at;
        if (length > stream.size() - at)
            length = stream.size() - at;
        outcome.overflowed = !reader.Feed(stream.substr(at, length));
        at += length;
        Check(reader.PendingBytes() <= kReply + 2);
        // Taking replies between packets must not change what follows.
        while (reader.HasReply())
            outcome.replies.push_back(reader.TakeReply());
    }
    outcome.pending = reader.PendingBytes();
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    // The first byte says how many of the following bytes are packet sizes.
    const std::size_t cut_count = data[0] % 8;
    if (size < 1 + cut_count)
        return 0;
    std::vector<std::size_t> cuts;
    for (std::size_t i = 0; i < cut_count; ++i)
        cuts.push_back(1 + data[1 + i]);
    const std::string_view stream(reinterpret_cast<const char*>(data + 1 + cut_count), size - 1 - cut_count);

    const Outcome whole = Run(stream, {});
    const Outcome cut = Run(stream, cuts);

    for (const std::string& reply : whole.replies) {
        Check(reply.size() >= 2 && reply.size() <= kReply);
        Check(reply.compare(reply.size() - 2, 2, "\r\n") == 0);
    }
    if (!whole.overflowed && !cut.overflowed) {
        Check(whole.replies == cut.replies);
        Check(whole.pending == cut.pending);
        std::string joined;
        for (const std::string& reply : whole.replies)
            joined += reply;
        Check(joined.size() + whole.pending == stream.size());
        Check(std::string_view(joined) == stream.substr(0, joined.size()));
    }
    return 0;
}
