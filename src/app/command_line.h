// What the first command-line tokens ask the program to do.
#pragma once

#include <string>
#include <vector>

namespace korvane {

enum class RunMode {
    Script,       // "/EXECUTE file" or a first token ending in "sch": run unattended, no window
    Print,        // "/P document": print its views and end
    Open,         // "/OPEN document": open only that document
    Interactive,  // anything else
};

struct RunRequest {
    RunMode mode = RunMode::Interactive;
    std::string path;  // the script or document; may be empty ("/EXECUTE" alone)
};

// tokens are the arguments after the program name. The shell has already
// split them, so each argument is one token (a path may hold blanks or commas).
RunRequest DecideRunMode(const std::vector<std::string>& tokens);

}  // namespace korvane
