// The windowed modes from the command line on: a /OPEN handed to a running
// instance, the start-up up to the open catalogue, and the windows with their
// first-run volume selection. main calls it; tests call it in the process.
#pragma once

#include <string>
#include <vector>

#include "app/single_instance.h"

namespace korvane {

// Makes the QApplication unless one exists. The program's exit code.
int RunWithWindows(int& argc, char** argv, const std::vector<std::string>& arguments,
                   SingleInstanceLock& lock, const std::string& lock_path);

}  // namespace korvane
