#include "schedule/command_line.h"

#include <unistd.h>

namespace korvane {

bool SplitCommandLine(std::string_view line, std::vector<std::string>& words, std::string& error) {
    words.clear();
    std::string word;
    bool in_word = false;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (in_word) {
                words.push_back(std::move(word));
                word.clear();
                in_word = false;
            }
            ++i;
        } else if (c == '\'') {
            const std::size_t end = line.find('\'', i + 1);
            if (end == std::string_view::npos) {
                error = "unterminated single quote";
                return false;
            }
            word.append(line.substr(i + 1, end - i - 1));
            in_word = true;
            i = end + 1;
        } else if (c == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                const char d = line[i];
                if (d == '"') {
                    closed = true;
                    ++i;
                    break;
                }
                if (d == '\\' && i + 1 < line.size()) {
                    const char e = line[i + 1];
                    if (e == '$' || e == '`' || e == '"' || e == '\\') {
                        word.push_back(e);
                        i += 2;
                        continue;
                    }
                    if (e == '\n') {
                        i += 2;
                        continue;
                    }
                }
                word.push_back(d);
                ++i;
            }
            if (!closed) {
                error = "unterminated double quote";
                return false;
            }
            in_word = true;
        } else if (c == '\\') {
            if (i + 1 >= line.size()) {
                error = "backslash at the end of the line";
                return false;
            }
            if (line[i + 1] != '\n') {
                word.push_back(line[i + 1]);
                in_word = true;
            }
            i += 2;
        } else {
            word.push_back(c);
            in_word = true;
            ++i;
        }
    }
    if (in_word)
        words.push_back(std::move(word));
    if (words.empty()) {
        error = "empty command line";
        return false;
    }
    return true;
}

std::string QuoteCommandWord(std::string_view word) {
    std::string out = "\"";
    for (char c : word) {
        if (c == '$' || c == '`' || c == '"' || c == '\\')
            out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

std::string RunningProgramPath() {
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= path.size())
        return {};
    path.resize(static_cast<std::size_t>(n));
    return path;
}

std::string BuildJobCommand(std::string_view program_path, std::string_view schedule_path) {
    return QuoteCommandWord(program_path) + " /EXECUTE " + QuoteCommandWord(schedule_path);
}

}  // namespace korvane
