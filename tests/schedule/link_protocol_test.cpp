#include "schedule/link_protocol.h"

#include <gtest/gtest.h>

#include <string>

#include "schedule/script_line_head.h"

namespace korvane {
namespace {

TEST(LinkFrames, DecodeWhateverWayTheBytesArrive) {
    const std::string stream = EncodeFrame("POKE", "Command", "JobName = /home/a b.sch") +
                               EncodeFrame("REQUEST", "Command", "") +
                               EncodeFrame("DATA", "Command", std::string("a\0b\nc", 5));
    EXPECT_EQ(stream.substr(0, 16), "POKE Command 23\n");
    // Byte by byte and all at once give the same frames.
    for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, stream.size()}) {
        FrameDecoder decoder;
        std::vector<LinkFrame> frames;
        std::string error;
        for (std::size_t pos = 0; pos < stream.size(); pos += chunk) {
            decoder.Append(std::string_view(stream).substr(pos, chunk));
            LinkFrame frame;
            FrameDecoder::Result result;
            while ((result = decoder.Next(frame, error)) == FrameDecoder::Result::Frame)
                frames.push_back(frame);
            ASSERT_EQ(result, FrameDecoder::Result::NeedMore) << error;
        }
        ASSERT_EQ(frames.size(), 3u);
        EXPECT_EQ(frames[0].verb, "POKE");
        EXPECT_EQ(frames[0].item, "Command");
        EXPECT_EQ(frames[0].payload, "JobName = /home/a b.sch");
        EXPECT_EQ(frames[1].verb, "REQUEST");
        EXPECT_EQ(frames[1].payload, "");
        EXPECT_EQ(frames[2].payload, std::string("a\0b\nc", 5));
        EXPECT_EQ(decoder.Buffered(), 0u);
    }
}

TEST(LinkFrames, RejectsMalformedAndOversizedHeadersForGood) {
    const std::string bad_streams[] = {
        "POKE Command\n",       "POKE  Command 3\nabc",
        "poke Command 3\nabc",  "POKE Com mand 3\nabc",
        "POKE Command -3\nabc", "POKE Command 3x\nabc",
        "POKE Command \n",      "POKE Command 0000003\nabc",
        "POKE Command 16385\n", "\n",
        std::string(200, 'A'),  "POKE " + std::string(40, 'i') + " 1\nx",
    };
    for (const std::string& bytes : bad_streams) {
        FrameDecoder decoder;
        decoder.Append(bytes);
        LinkFrame frame;
        std::string error;
        EXPECT_EQ(decoder.Next(frame, error), FrameDecoder::Result::Error) << bytes;
        EXPECT_FALSE(error.empty());
        // Once failed, later good bytes do not revive the stream.
        decoder.Append(EncodeFrame("REQUEST", "Command", ""));
        EXPECT_EQ(decoder.Next(frame, error), FrameDecoder::Result::Error);
    }
    FrameDecoder small(8);
    small.Append("POKE Command 9\n");
    LinkFrame frame;
    std::string error;
    EXPECT_EQ(small.Next(frame, error), FrameDecoder::Result::Error);
    EXPECT_EQ(error, "payload too large");
}

TEST(SchedulerAnswers, NameRunsFromTheSecondTokenToTheEnd) {
    EXPECT_EQ(TextFromSecondToken("Job /home/a b/Night Shift.sch"), "/home/a b/Night Shift.sch");
    EXPECT_EQ(TextFromSecondToken("Job   \"/quoted/name\" tail"), "\"/quoted/name\" tail");
    EXPECT_EQ(TextFromSecondToken("Job,=/x"), "/x");
    EXPECT_EQ(TextFromSecondToken("Job /a\r\nb"), "/a\r\nb");
    EXPECT_FALSE(TextFromSecondToken("End").has_value());
    EXPECT_FALSE(TextFromSecondToken("").has_value());
    EXPECT_FALSE(TextFromSecondToken("Job   ").has_value());
    EXPECT_FALSE(TextFromSecondToken("Job\r\n/a").has_value());
}

}  // namespace
}  // namespace korvane
