// How the bytes of a control connection become replies, however the network
// happens to cut them.
#include "scan/ftp/ftp_reply_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane {
namespace {

std::vector<std::string> FeedAll(FtpReplyReader& reader, const std::vector<std::string>& pieces) {
    for (const std::string& piece : pieces)
        EXPECT_TRUE(reader.Feed(piece));
    std::vector<std::string> replies;
    while (reader.HasReply())
        replies.push_back(reader.TakeReply());
    return replies;
}

struct Case {
    const char* what;
    std::string stream;
    std::vector<std::string> replies;
    std::size_t pending;  // bytes left waiting for more
};

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        {"single line", "220 Ready\r\n", {"220 Ready\r\n"}, 0},
        {"two replies", "150 Opening\r\n226 Done\r\n", {"150 Opening\r\n", "226 Done\r\n"}, 0},
        {"multi-line greeting",
         "220-Welcome\r\n220-to the site\r\n220 Ready\r\n",
         {"220-Welcome\r\n220-to the site\r\n220 Ready\r\n"},
         0},
        {"inner lines that look like replies",
         "211-Features:\r\n 211 indented\r\n211-still open\r\n200 other code\r\n211 End\r\n",
         {"211-Features:\r\n 211 indented\r\n211-still open\r\n200 other code\r\n211 End\r\n"},
         0},
        {"closing line needs the blank",
         "230-a\r\n230\r\n230x\r\n230 ok\r\n",
         {"230-a\r\n230\r\n230x\r\n230 ok\r\n"},
         0},
        {"incomplete tail waits", "200 ok\r\n331 Pass", {"200 ok\r\n"}, 8},
        {"CR without LF is not a line end", "200 a\rb\r\n", {"200 a\rb\r\n"}, 0},
        {"open multi-line reply waits", "220-one\r\n220-two\r\n", {}, 18},
        {"stray text is a reply", "hello\r\n", {"hello\r\n"}, 0},
        {"empty line is a reply", "\r\n200 x\r\n", {"\r\n", "200 x\r\n"}, 0},
        {"dash in fourth place of any text opens", "abc-x\r\nabc y\r\n", {"abc-x\r\nabc y\r\n"}, 0},
    };
    return cases;
}

TEST(FtpReplyReaderTest, CutsStreamsIntoReplies) {
    for (const Case& c : Cases()) {
        FtpReplyReader reader;
        EXPECT_EQ(FeedAll(reader, {c.stream}), c.replies) << c.what;
        EXPECT_EQ(reader.PendingBytes(), c.pending) << c.what;
    }
}

TEST(FtpReplyReaderTest, SameRepliesWhereverThePacketsAreCut) {
    for (const Case& c : Cases()) {
        for (std::size_t cut = 1; cut < c.stream.size(); ++cut) {
            FtpReplyReader reader;
            EXPECT_EQ(FeedAll(reader, {c.stream.substr(0, cut), c.stream.substr(cut)}), c.replies)
                << c.what << " cut at " << cut;
        }
        FtpReplyReader bytewise;
        std::vector<std::string> bytes;
        for (char ch : c.stream)
            bytes.emplace_back(1, ch);
        EXPECT_EQ(FeedAll(bytewise, bytes), c.replies) << c.what << " byte by byte";
    }
}

TEST(FtpReplyReaderTest, RepliesAreTakenOldestFirst) {
    FtpReplyReader reader;
    ASSERT_TRUE(reader.Feed("150 a\r\n226 b\r\n"));
    EXPECT_EQ(reader.QueuedReplies(), 2u);
    EXPECT_EQ(reader.TakeReply(), "150 a\r\n");
    ASSERT_TRUE(reader.Feed("221 c\r\n"));
    EXPECT_EQ(reader.TakeReply(), "226 b\r\n");
    EXPECT_EQ(reader.TakeReply(), "221 c\r\n");
    EXPECT_EQ(reader.TakeReply(), "");
}

TEST(FtpReplyReaderTest, EndlessLineIsRefusedAtItsBound) {
    FtpReplyReader reader(64, 1024);
    EXPECT_TRUE(reader.Feed("220 " + std::string(60, 'x') + "\r\n"));
    EXPECT_EQ(reader.TakeReply().size(), 66u);
    // Fed in pieces, as a server that never ends its line would send it.
    bool refused = false;
    for (int i = 0; i < 100 && !refused; ++i)
        refused = !reader.Feed(std::string(16, 'y'));
    EXPECT_TRUE(refused);
    EXPECT_TRUE(reader.Overflowed());
    EXPECT_LE(reader.PendingBytes(), 1024u + 2);
    EXPECT_FALSE(reader.Feed("200 ok\r\n")) << "nothing after an overflow can be trusted";
    reader.Reset();
    EXPECT_TRUE(reader.Feed("200 ok\r\n"));
    EXPECT_EQ(reader.TakeReply(), "200 ok\r\n");
}

TEST(FtpReplyReaderTest, OneHugePacketIsRefusedWithoutBeingHeld) {
    FtpReplyReader reader(64, 1024);
    EXPECT_FALSE(reader.Feed(std::string(1 << 20, 'z')));
    EXPECT_LE(reader.PendingBytes(), 1024u + 2);
}

TEST(FtpReplyReaderTest, EndlessMultiLineReplyIsRefusedAtTheReplyBound) {
    FtpReplyReader reader(64, 1024);
    ASSERT_TRUE(reader.Feed("220-start\r\n"));
    bool refused = false;
    for (int i = 0; i < 200 && !refused; ++i)
        refused = !reader.Feed("220-more of the same\r\n");
    EXPECT_TRUE(refused);
    EXPECT_FALSE(reader.HasReply());
}

TEST(FtpReplyReaderTest, ReplyJustInsideTheBoundsIsKept) {
    FtpReplyReader reader(16, 64);
    const std::string reply = "220-0123456789ab\r\n220-0123456789ab\r\n220 0123456789\r\n";
    ASSERT_LE(reply.size(), 64u);
    EXPECT_TRUE(reader.Feed(reply));
    EXPECT_EQ(reader.TakeReply(), reply);
}

}  // namespace
}  // namespace korvane
