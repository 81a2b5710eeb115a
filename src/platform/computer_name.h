// The name of this computer, as the Computer row and the account lists show it.
#pragma once

#include <string>

namespace korvane {

// The host name; empty when the platform gives none.
std::string ComputerName();

}  // namespace korvane
