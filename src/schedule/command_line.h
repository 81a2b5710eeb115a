// Job command lines: split as a POSIX shell splits words, without running a
// shell (no expansion of variables, globs or substitutions), and built so
// that splitting gives back the exact paths.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// Blanks, tabs and line ends separate words; '...' keeps everything
// literally; "..." keeps everything but a backslash before $ ` " \ or a line
// end, which escapes that character; outside quotes a backslash escapes the
// next character. False (with the reason) for an unterminated quote, a
// trailing backslash or a line without a word.
bool SplitCommandLine(std::string_view line, std::vector<std::string>& words, std::string& error);

// The word between double quotes, with the characters that are special
// there escaped, so SplitCommandLine gives back exactly the word.
std::string QuoteCommandWord(std::string_view word);

// The full path of the running executable (what a job started from this
// program runs); empty when it cannot be read.
std::string RunningProgramPath();

// The job command of a schedule: "\"%s\" /EXECUTE \"%s\"" with the program
// and the schedule file (each quoted by QuoteCommandWord).
std::string BuildJobCommand(std::string_view program_path, std::string_view schedule_path);

}  // namespace korvane
