#include "platform/computer_name.h"

#include <limits.h>
#include <unistd.h>

#include <array>
#include <cstring>

namespace korvane {

std::string ComputerName() {
    std::array<char, HOST_NAME_MAX + 1> name{};
    if (gethostname(name.data(), name.size()) != 0)
        return {};
    name.back() = '\0';  // a truncated name need not be terminated
    return std::string(name.data(), std::strlen(name.data()));
}

}  // namespace korvane
