// File names shaped like a file server's for the Like benchmarks: mostly
// ASCII, some extensions in upper case, a few UTF-8 and a few Latin-1
// (invalid UTF-8) names. The same seed gives both engines the same names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace korvane::bench {

// Calls add(name) for each of count names, always in the same order.
template <typename Add>
void ForEachLikeBenchName(std::size_t count, Add&& add) {
    static const char* const kStems[] = {"report",
                                         "IMG_",
                                         "backup-",
                                         "notes",
                                         "Q3 budget ",
                                         "server",
                                         "\xc3\xa9t\xc3\xa9 ",
                                         "Pr\xfc"
                                         "fung "};
    static const char* const kExtensions[] = {".log", ".txt",   ".LOG",  ".doc", ".tar.gz",
                                              ".jpg", ".log.1", ".xlsx", ".Log", ".c"};
    std::uint32_t state = 12345;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    std::string name;
    for (std::size_t i = 0; i < count; ++i) {
        name = kStems[next() % 8];
        name += std::to_string(next() % 100000);
        name += kExtensions[next() % 10];
        add(name);
    }
}

}  // namespace korvane::bench
