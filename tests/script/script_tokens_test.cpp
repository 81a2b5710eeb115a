#include "schedule/script/script_tokens.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

using Tokens = std::vector<std::string>;

TEST(SplitScriptLine, QuotedParametersKeepTheirQuotes) {
    EXPECT_EQ(SplitScriptLine("Copy \"@Big Files\", \"D:\\Backup\", /OVERWRITE"),
              (Tokens{"Copy", "\"@Big Files\"", "\"D:\\Backup\"", "/OVERWRITE"}));
    EXPECT_EQ(SplitScriptLine("Query=\"Weekly\",\"/srv/a, b\""), (Tokens{"Query", "\"Weekly\"", "\"/srv/a, b\""}));
}

TEST(SplitScriptLine, WordsLineEndsAndMissingQuotes) {
    EXPECT_EQ(SplitScriptLine("Delete"), Tokens{"Delete"});
    EXPECT_EQ(SplitScriptLine("a\"b c"), (Tokens{"a\"b", "c"}));
    EXPECT_EQ(SplitScriptLine("Logfile \"@open"), (Tokens{"Logfile", "\"@open\""}));
    EXPECT_EQ(SplitScriptLine("Scan /home\r\nDelete x"), (Tokens{"Scan", "/home"}));
    EXPECT_EQ(SplitScriptLine(std::string("Scan a\0b", 8)), (Tokens{"Scan", "a"}));
    EXPECT_EQ(SplitScriptLine("   "), Tokens{});
}

TEST(UnquoteParameter, OnePairRemovedInnerQuotesBlank) {
    EXPECT_EQ(UnquoteParameter("\"@Big Files\""), "@Big Files");
    EXPECT_EQ(UnquoteParameter("\"open"), "open");
    EXPECT_EQ(UnquoteParameter("a\"b"), "a b");
    EXPECT_EQ(UnquoteParameter("\"a\"b\""), "a b");
    EXPECT_EQ(UnquoteParameter("plain"), "plain");
    EXPECT_EQ(UnquoteParameter("\""), "");
}

}  // namespace
}  // namespace korvane
