// Feeds arbitrary bytes to SplitTokens, the splitter of the command line,
// volume lists, event-log lines and criteria, and checks its promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/text_helpers.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const std::size_t room : {std::size_t{1}, std::size_t{3}, std::size_t{255}}) {
        const auto tokens = korvane::SplitTokens(text, room);
        Check(tokens.size() <= room + 1);
        std::size_t characters = 0;
        for (const std::string& token : tokens) {
            // A token never runs past a line end.
            Check(token.find_first_of("\r\n") == std::string::npos);
            characters += token.size();
        }
        Check(characters <= text.size());
    }
    return 0;
}
