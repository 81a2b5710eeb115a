// Starting job command lines detached from the scheduler.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace korvane {

// Starts argv[0] (looked up in PATH when it holds no "/") with the given
// arguments in a session of its own, stdin on /dev/null, stdout and stderr
// shared with the caller, default signal handling and an empty signal mask.
// The caller still reaps the child. False with the reason when it could not
// be started (including a program that cannot be executed).
bool StartDetached(const std::vector<std::string>& argv, pid_t& pid, std::string& error);

}  // namespace korvane
