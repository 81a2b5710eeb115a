// Feeds arbitrary bytes to the script line reader and the parameter unquoting
// every command uses, and checks their promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "schedule/script/script_tokens.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const auto tokens = korvane::SplitScriptLine(line);
    for (const std::string& token : tokens) {
        Check(!token.empty());
        Check(token.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
        // A quoted token keeps both its quotes; a word has no separator.
        if (token.front() == '"') {
            Check(token.size() >= 2 && token.back() == '"');
        } else {
            Check(token.find_first_of(" \t,=") == std::string::npos);
        }
        const std::string parameter = korvane::UnquoteParameter(token);
        Check(parameter.find('"') == std::string::npos);
        Check(parameter.size() <= token.size());
    }
    return 0;
}
