#include "actions/source_pattern.h"

#include <dirent.h>
#include <fnmatch.h>

#include <algorithm>
#include <cerrno>

namespace korvane {
namespace {

std::size_t LastComponentStart(const std::string& path) {
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == '/')
        --end;
    const auto slash = path.find_last_of('/', end == 0 ? 0 : end - 1);
    return slash == std::string::npos ? 0 : slash + 1;
}

}  // namespace

bool HasWildcard(const std::string& path) {
    return path.find_first_of("*?", LastComponentStart(path)) != std::string::npos;
}

int ExpandWildcard(const std::string& pattern, std::vector<std::string>& matches) {
    matches.clear();
    const std::size_t start = LastComponentStart(pattern);
    std::string last = pattern.substr(start);
    while (!last.empty() && last.back() == '/')
        last.pop_back();
    const std::string prefix =
        pattern.substr(0, start);  // keeps its trailing "/" ("" for the working folder)
    const std::string folder = prefix.empty() ? "." : prefix;

    // Only "*" and "?" are wild: brackets and backslashes are escaped so a
    // name like "report[1]" matches itself.
    std::string escaped;
    for (const char c : last) {
        if (c == '[' || c == ']' || c == '\\')
            escaped.push_back('\\');
        escaped.push_back(c);
    }
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr)
        return errno;
    int code = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(listing);
        if (entry == nullptr) {
            code = errno;
            break;
        }
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (::fnmatch(escaped.c_str(), name.c_str(), FNM_PERIOD) == 0)
            matches.push_back(prefix + name);
    }
    ::closedir(listing);
    std::sort(matches.begin(), matches.end());
    return code;
}

}  // namespace korvane
