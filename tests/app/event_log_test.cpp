#include "app/event_log.h"

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;

TEST(WriteEvent, AppendsOneQuotedLinePerCall) {
    TempDir dir;
    const std::string log = dir / "Event.log";
    EXPECT_EQ(WriteEvent(log, "Korvane", "Warning", "Only one instance allowed."), 1);
    EXPECT_EQ(WriteEvent(log, "night.sch", "Info", "a, b"), 1);
    const std::string text = ReadFileBytes(log);
    const std::regex line(
        "\"\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d\", \"Korvane\", \"Warning\", \"Only one instance allowed.\"\r\n"
        "\"\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d\", \"night.sch\", \"Info\", \"a, b\"\r\n");
    EXPECT_TRUE(std::regex_match(text, line)) << text;
}

TEST(WriteEvent, FailsWhenTheFileCannotBeOpened) {
    TempDir dir;
    EXPECT_EQ(WriteEvent(dir / "missing/Event.log", "s", "Info", "m"), 0);
    EXPECT_EQ(WriteEvent(dir.str(), "s", "Info", "m"), 0);
}

TEST(WriteEvent, FailsWhenTheWriteFails) {
    // /dev/full opens for appending and refuses every write with ENOSPC, as a full disk does.
    EXPECT_EQ(WriteEvent("/dev/full", "s", "Info", "m"), 0);
}

TEST(WriteEvent, RecreatesTheFileAfterItWasDeleted) {
    TempDir dir;
    const std::string log = dir / "Event.log";
    ASSERT_EQ(WriteEvent(log, "s", "Info", "first"), 1);
    std::filesystem::remove(log);
    ASSERT_EQ(WriteEvent(log, "s", "Info", "second"), 1);
    EXPECT_NE(ReadFileBytes(log).find("second"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(log).find("first"), std::string::npos);
}

TEST(FormatEventLine, TemplateCutAndLineBreaks) {
    EXPECT_EQ(FormatEventLine("07/24/1998 14:05:09", "Korvane", "Info", "done"),
              "\"07/24/1998 14:05:09\", \"Korvane\", \"Info\", \"done\"\r\n");
    EXPECT_EQ(FormatEventLine("d", "s", "t", "say \"hi\""), "\"d\", \"s\", \"t\", \"say \"hi\"\"\r\n");
    const std::string long_line = FormatEventLine("d", "s", "t", std::string(5000, 'x'));
    EXPECT_EQ(long_line.size(), 1023u);
    EXPECT_EQ(long_line.substr(1021), "\r\n");
    EXPECT_EQ(FormatEventLine("d", "s", "t", "file\nname\r"), "\"d\", \"s\", \"t\", \"file name \"\r\n");
}

TEST(WriteEvent, ConcurrentWritersNeverInterleaveLines) {
    TempDir dir;
    const std::string log = dir / "Event.log";
    std::vector<pid_t> children;
    for (int child = 0; child < 4; ++child) {
        const pid_t pid = fork();
        if (pid == 0) {
            for (int i = 0; i < 200; ++i) WriteEvent(log, "proc" + std::to_string(child), "Info", std::string(300, 'a' + child));
            _exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) waitpid(pid, nullptr, 0);
    const std::string text = ReadFileBytes(log);
    std::size_t lines = 0, pos = 0;
    EventRow row;
    while (pos < text.size()) {
        const std::size_t end = text.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos);
        ASSERT_TRUE(ParseEventLine(text.substr(pos, end - pos), row));
        EXPECT_EQ(row.message, std::string(300, row.source.back() - '0' + 'a'));
        ++lines;
        pos = end + 2;
    }
    EXPECT_EQ(lines, 800u);
}

TEST(ParseEventLine, ViewerRules) {
    EventRow row;
    ASSERT_TRUE(ParseEventLine("\"07/24/1998 14:05:09\", \"FTP Scan\", \"ERROR\", \"a, b\"", row));
    EXPECT_EQ(row.date_time, "07/24/1998 14:05:09");
    EXPECT_EQ(row.source, "FTP Scan");
    EXPECT_EQ(row.message, "a, b");
    EXPECT_EQ(row.icon, 1);
    ASSERT_TRUE(ParseEventLine("\"d\", \"s\", \"info\", \"m\"", row));
    EXPECT_EQ(row.icon, 0);
    ASSERT_TRUE(ParseEventLine("\"d\", \"s\", \"Warning\", \"m\"", row));
    EXPECT_EQ(row.icon, 2);
    ASSERT_TRUE(ParseEventLine("\"d\", \"s\", \"Odd\", \"m\"", row));
    EXPECT_EQ(row.icon, 3);
    ASSERT_TRUE(ParseEventLine("\"d\", \"s\", \"Info\", \"say \"hi\" now\"", row));
    EXPECT_EQ(row.message, "say ");
    EXPECT_FALSE(ParseEventLine("", row));
    EXPECT_FALSE(ParseEventLine("\"d\", \"s\", \"Info\"", row));
}

}  // namespace
}  // namespace korvane
