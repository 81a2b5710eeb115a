// INI-style files with the private-profile semantics the program's files rely
// on: section and key names compare without regard to case, the first match
// wins, writing a key keeps every other byte of the file, new lines end in
// CR LF. Writes go to a temporary file that replaces the original, so a failed
// write never leaves a half-written file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace korvane {

// A whole profile file held in memory; lookups and edits, then Save.
class ProfileDocument {
public:
    ProfileDocument() = default;
    // A missing file loads as empty and succeeds; an unreadable one fails.
    bool Load(const std::string& path);
    // Atomically replaces the file at path. Failure leaves the old file.
    bool Save(const std::string& path) const;
    void Parse(std::string_view text);
    std::string Text() const;

    bool HasSection(std::string_view section) const;
    bool HasKey(std::string_view section, std::string_view key) const;
    // Value with surrounding blanks and tabs removed; fallback when missing.
    std::string Get(std::string_view section, std::string_view key, std::string_view fallback = {}) const;
    // Leading decimal digits (with an optional sign); fallback when missing or none.
    long GetInt(std::string_view section, std::string_view key, long fallback = 0) const;
    // Writes key=value; a CR or LF inside the value is written as a blank.
    void Set(std::string_view section, std::string_view key, std::string_view value);
    void RemoveKey(std::string_view section, std::string_view key);
    // Removes every line of the section but its header; creates the section when missing.
    void ClearSection(std::string_view section);
    void RemoveSection(std::string_view section);
    std::vector<std::string> SectionNames() const;
    std::vector<std::string> KeysOf(std::string_view section) const;

private:
    struct Line {
        std::string text;  // without its line end
        std::string end;   // "\r\n", "\n", "\r" or "" for a last line without one
    };
    long FindSection(std::string_view section) const;
    long SectionEnd(long header) const;
    long FindKey(long header, std::string_view key) const;
    void BuildIndex() const;
    void Invalidate() { indexed_ = false; }
    std::vector<Line> lines_;
    // Lookups go through an index of the first occurrences, so reading or
    // appending the many lines of a large file stays linear overall.
    mutable bool indexed_ = false;
    mutable std::unordered_map<std::string, long> section_index_;  // folded name -> header line
    mutable std::unordered_map<std::string, long> key_index_;      // folded section "\0" key -> line
    mutable long last_header_ = -1;
};

// One-shot helpers in the manner of the platform's profile functions: each
// reads the file, and each write rewrites it atomically.
std::string ReadProfileString(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view fallback = {}, std::size_t max_length = 259);
long ReadProfileInt(const std::string& path, std::string_view section, std::string_view key, long fallback);
bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);
bool WriteProfileInt(const std::string& path, std::string_view section, std::string_view key, long value);

}  // namespace korvane
