#include "schedule/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane {
namespace {

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> words;
    std::string error;
    EXPECT_TRUE(SplitCommandLine(line, words, error)) << line << ": " << error;
    return words;
}

TEST(CommandLine, SplitsAsTheShellDoesWithoutExpanding) {
    using W = std::vector<std::string>;
    EXPECT_EQ(Split("/bin/echo a  b\tc"), (W{"/bin/echo", "a", "b", "c"}));
    EXPECT_EQ(Split("sh -c 'echo $HOME > \"x\"'"), (W{"sh", "-c", "echo $HOME > \"x\""}));
    EXPECT_EQ(Split("\"/opt/my tools/run\" /EXECUTE \"/home/a b/night.sch\""),
              (W{"/opt/my tools/run", "/EXECUTE", "/home/a b/night.sch"}));
    EXPECT_EQ(Split("\"a\\\"b\\\\c\\$d\\`e\\x\""), (W{"a\"b\\c$d`e\\x"}));
    EXPECT_EQ(Split("a\\ b c\\'d"), (W{"a b", "c'd"}));
    EXPECT_EQ(Split("pre\"mid dle\"'post fix'"), (W{"premid dlepost fix"}));
    EXPECT_EQ(Split("'' x"), (W{"", "x"}));
    EXPECT_EQ(Split("*.txt ~ $(rm -rf /) ;"), (W{"*.txt", "~", "$(rm", "-rf", "/)", ";"}));
}

TEST(CommandLine, RefusesWhatAShellWouldNotRun) {
    std::vector<std::string> words;
    std::string error;
    for (const char* bad : {"", "   \t ", "echo 'open", "echo \"open", "echo trailing\\"}) {
        EXPECT_FALSE(SplitCommandLine(bad, words, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

TEST(CommandLine, JobCommandGivesBackHostilePathsExactly) {
    const std::string program = "/opt/kor vane/bin/korvane";
    for (const std::string& path :
         {std::string("/home/u/Night.sch"), std::string("/home/u/with blank.sch"),
          std::string("/tmp/q\"uote'$HOME`id`\\back.sch"), std::string("/tmp/tab\there.sch")}) {
        const std::string command = BuildJobCommand(program, path);
        const auto words = Split(command);
        ASSERT_EQ(words.size(), 3u) << command;
        EXPECT_EQ(words[0], program);
        EXPECT_EQ(words[1], "/EXECUTE");
        EXPECT_EQ(words[2], path);
    }
    // This test program is the running executable.
    EXPECT_EQ(RunningProgramPath().substr(RunningProgramPath().rfind('/') + 1), "schedule_tests");
    EXPECT_EQ(BuildJobCommand("/usr/bin/korvane", "/home/u/Night.sch"),
              "\"/usr/bin/korvane\" /EXECUTE \"/home/u/Night.sch\"");
}

}  // namespace
}  // namespace korvane
