#include "app/text_helpers.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

using Tokens = std::vector<std::string>;

TEST(SplitTokens, SeparatorsQuotesAndEquals) {
    EXPECT_EQ(SplitTokens("a b\tc,d"), (Tokens{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitTokens("  ,, a ,  b  "), (Tokens{"a", "b"}));
    EXPECT_EQ(SplitTokens("\"C:\\My Files, old\" next"), (Tokens{"C:\\My Files, old", "next"}));
    EXPECT_EQ(SplitTokens("key=value"), (Tokens{"key", "value"}));
    EXPECT_EQ(SplitTokens("\"a=b\"=c"), (Tokens{"a=b", "c"}));
    EXPECT_EQ(SplitTokens("\"\" x"), (Tokens{"", "x"}));
}

TEST(SplitTokens, LineEndEndsTheListAndQuotes) {
    EXPECT_EQ(SplitTokens("a b\r\nc d"), (Tokens{"a", "b"}));
    EXPECT_EQ(SplitTokens("\"open quote\nnext line"), (Tokens{"open quote"}));
    EXPECT_EQ(SplitTokens("\n a"), Tokens{});
    EXPECT_EQ(SplitTokens(""), Tokens{});
}

TEST(SplitTokens, EventLogLineKeepsCommaInMessageAndCutsAtInnerQuote) {
    EXPECT_EQ(SplitTokens("\"07/24/1998 14:05:09\", \"Korvane\", \"Info\", \"a, b\"\r\n"),
              (Tokens{"07/24/1998 14:05:09", "Korvane", "Info", "a, b"}));
    const auto cut = SplitTokens("\"d\", \"s\", \"t\", \"say \"hi\" now\"");
    ASSERT_GE(cut.size(), 4u);
    EXPECT_EQ(cut[3], "say ");
}

TEST(SplitTokens, HonoursTheTokenLimit) {
    EXPECT_EQ(SplitTokens("a b c d", 2), (Tokens{"a", "b"}));
}

TEST(RootOfLocation, SpecForms) {
    auto parts = RootOfLocation("C:\\Data\\Old");
    EXPECT_EQ(parts.root, "C:");
    EXPECT_EQ(parts.rest, "\\Data\\Old");
    parts = RootOfLocation("C:");
    EXPECT_EQ(parts.root, "C:");
    EXPECT_FALSE(parts.rest.has_value());
    parts = RootOfLocation("\\\\srv\\share\\dir\\sub");
    EXPECT_EQ(parts.root, "\\\\srv\\share");
    EXPECT_EQ(parts.rest, "\\dir\\sub");
    parts = RootOfLocation("\\\\srv\\share");
    EXPECT_EQ(parts.root, "\\\\srv\\share");
    EXPECT_FALSE(parts.rest.has_value());
    parts = RootOfLocation("ftp:host.example/pub/docs");
    EXPECT_EQ(parts.root, "ftp:host.example");
    EXPECT_EQ(parts.rest, "/pub/docs");
    parts = RootOfLocation("ftp:host");
    EXPECT_EQ(parts.root, "ftp:host");
    EXPECT_FALSE(parts.rest.has_value());
}

TEST(RootOfLocation, PosixPathsCutAtTheHoldingMountPoint) {
    const std::vector<std::string> mounts = {"/", "/home", "/mnt/data", "/mnt/data2"};
    auto parts = RootOfLocation("/mnt/data/photos/2020", mounts);
    EXPECT_EQ(parts.root, "/mnt/data");
    EXPECT_EQ(parts.rest, "/photos/2020");
    parts = RootOfLocation("/mnt/data2", mounts);
    EXPECT_EQ(parts.root, "/mnt/data2");
    EXPECT_FALSE(parts.rest.has_value());
    parts = RootOfLocation("/mnt/datax/a", mounts);
    EXPECT_EQ(parts.root, "/");
    EXPECT_EQ(parts.rest, "/mnt/datax/a");
    parts = RootOfLocation("/home/", mounts);
    EXPECT_EQ(parts.root, "/home");
    EXPECT_FALSE(parts.rest.has_value());
    parts = RootOfLocation("/", mounts);
    EXPECT_EQ(parts.root, "/");
    EXPECT_FALSE(parts.rest.has_value());
}

TEST(RootOfLocation, RealMountTableHoldsTheRoot) {
    const auto parts = RootOfLocation("/proc/self/status");
    EXPECT_EQ(parts.root, "/proc");
    EXPECT_EQ(parts.rest, "/self/status");
}

TEST(SplitNetworkName, UncNames) {
    auto name = SplitNetworkName("\\\\server\\share\\dir\\sub");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->server, "server");
    EXPECT_EQ(name->share, "share");
    EXPECT_EQ(name->rest, "dir\\sub");
    name = SplitNetworkName("\\\\nw\\SYS:");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->share, "SYS");
    EXPECT_EQ(name->rest, "");
}

TEST(SplitNetworkName, LocalNamesFail) {
    EXPECT_FALSE(SplitNetworkName("C:"));
    EXPECT_FALSE(SplitNetworkName("/proc"));
    EXPECT_FALSE(SplitNetworkName(""));
}

TEST(PathSeparator, FollowsTheRoot) {
    EXPECT_EQ(PathSeparatorOf("C:"), '\\');
    EXPECT_EQ(PathSeparatorOf("\\\\srv\\share"), '\\');
    EXPECT_EQ(PathSeparatorOf("ftp:host"), '/');
    EXPECT_EQ(PathSeparatorOf("FTP:host"), '/');
    EXPECT_EQ(PathSeparatorOf("/mnt/data"), '/');
}

TEST(JoinPath, NeverDoublesTheSeparator) {
    EXPECT_EQ(JoinPath("/", "etc"), "/etc");
    EXPECT_EQ(JoinPath("/mnt/data", "a"), "/mnt/data/a");
    EXPECT_EQ(JoinPath("/mnt/data/", "/a"), "/mnt/data/a");
    EXPECT_EQ(JoinPath("C:", "Data"), "C:\\Data");
    EXPECT_EQ(JoinPath("C:\\", "Data"), "C:\\Data");
    EXPECT_EQ(JoinPath("ftp:host", "pub"), "ftp:host/pub");
    EXPECT_EQ(JoinPath("/", "/etc"), "/etc");
}

TEST(PathNamesEqual, PosixIsExactOthersIgnoreCase) {
    EXPECT_FALSE(PathNamesEqual("/home", "Docs", "docs"));
    EXPECT_TRUE(PathNamesEqual("C:", "Docs", "docs"));
    EXPECT_TRUE(PathNamesEqual("ftp:h", "Docs", "DOCS"));
}

TEST(DisplayText, ReplacesOnlyInvalidBytes) {
    EXPECT_EQ(DisplayText("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(DisplayText("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(DisplayText("\xC3"), "\xEF\xBF\xBD");
    EXPECT_EQ(DisplayText("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

}  // namespace
}  // namespace korvane
