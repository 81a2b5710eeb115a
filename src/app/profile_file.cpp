#include "app/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/bounded_file.h"
#include "app/text_helpers.h"

namespace korvane {
namespace {

// "[name]" -> name; false for any other line.
bool SectionHeader(std::string_view line, std::string_view& name) {
    line = TrimBlanks(line);
    if (line.size() < 2 || line.front() != '[') return false;
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos) return false;
    name = TrimBlanks(line.substr(1, close - 1));
    return true;
}

// "key=value" -> key; false for a line without "=".
bool KeyOf(std::string_view line, std::string_view& key, std::string_view* value = nullptr) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    key = TrimBlanks(line.substr(0, equals));
    if (value != nullptr) *value = TrimBlanks(line.substr(equals + 1));
    return true;
}

long LeadingInteger(std::string_view text, long fallback) {
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    long value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ptr == text.data()) return fallback;
    if (result.ec == std::errc::result_out_of_range) return fallback;
    return value;
}

std::string Fold(std::string_view text) {
    std::string out(TrimBlanks(text));
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string KeyIndexName(std::string_view section, std::string_view key) {
    return Fold(section) + '\0' + Fold(key);
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

void ProfileDocument::Parse(std::string_view text) {
    lines_.clear();
    Invalidate();
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
        Line line{std::string(text.substr(pos, end - pos)), {}};
        if (end < text.size()) {
            const std::size_t end_length = (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1;
            line.end = std::string(text.substr(end, end_length));
            end += end_length;
        }
        lines_.push_back(std::move(line));
        pos = end;
    }
}

std::string ProfileDocument::Text() const {
    std::string text;
    for (const auto& line : lines_) {
        text += line.text;
        text += line.end;
    }
    return text;
}

bool ProfileDocument::Load(const std::string& path) {
    std::string text;
    int error = 0;
    if (!ReadBoundedFile(path, text, error)) {
        lines_.clear();
        Invalidate();
        return error == ENOENT;
    }
    Parse(text);
    return true;
}

bool ProfileDocument::Save(const std::string& path) const {
    const std::string temp = path + ".~tmp" + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    struct stat original {};
    if (::stat(path.c_str(), &original) == 0) ::fchmod(fd, original.st_mode & 07777);
    const bool written = WriteAll(fd, Text()) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

void ProfileDocument::BuildIndex() const {
    section_index_.clear();
    key_index_.clear();
    last_header_ = -1;
    std::string current;
    bool first_occurrence = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        std::string_view name;
        if (SectionHeader(lines_[i].text, name)) {
            current = Fold(name);
            first_occurrence = section_index_.emplace(current, static_cast<long>(i)).second;
            last_header_ = static_cast<long>(i);
            continue;
        }
        std::string_view key;
        if (first_occurrence && KeyOf(lines_[i].text, key)) {
            key_index_.emplace(current + '\0' + Fold(key), static_cast<long>(i));
        }
    }
    indexed_ = true;
}

long ProfileDocument::FindSection(std::string_view section) const {
    if (!indexed_) BuildIndex();
    const auto found = section_index_.find(Fold(section));
    return found == section_index_.end() ? -1 : found->second;
}

long ProfileDocument::SectionEnd(long header) const {
    std::size_t i = static_cast<std::size_t>(header) + 1;
    std::string_view name;
    while (i < lines_.size() && !SectionHeader(lines_[i].text, name)) ++i;
    return static_cast<long>(i);
}

long ProfileDocument::FindKey(long header, std::string_view key) const {
    if (!indexed_) BuildIndex();
    std::string_view section;
    SectionHeader(lines_[static_cast<std::size_t>(header)].text, section);
    const auto found = key_index_.find(KeyIndexName(section, key));
    return found == key_index_.end() ? -1 : found->second;
}

bool ProfileDocument::HasSection(std::string_view section) const { return FindSection(section) >= 0; }

bool ProfileDocument::HasKey(std::string_view section, std::string_view key) const {
    const long header = FindSection(section);
    return header >= 0 && FindKey(header, key) >= 0;
}

std::string ProfileDocument::Get(std::string_view section, std::string_view key, std::string_view fallback) const {
    const long header = FindSection(section);
    const long line = header < 0 ? -1 : FindKey(header, key);
    if (line < 0) return std::string(fallback);
    std::string_view name, value;
    KeyOf(lines_[static_cast<std::size_t>(line)].text, name, &value);
    return std::string(value);
}

long ProfileDocument::GetInt(std::string_view section, std::string_view key, long fallback) const {
    if (!HasKey(section, key)) return fallback;
    return LeadingInteger(Get(section, key), fallback);
}

void ProfileDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    std::string text = std::string(TrimBlanks(key)) + "=" + std::string(value);
    // A line break inside a value would split it into lines of its own.
    for (char& c : text) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    const long header = FindSection(section);
    if (header < 0) {
        if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = "\r\n";
        lines_.push_back({"[" + std::string(TrimBlanks(section)) + "]", "\r\n"});
        lines_.push_back({std::move(text), "\r\n"});
        const long new_header = static_cast<long>(lines_.size()) - 2;
        section_index_.emplace(Fold(section), new_header);
        key_index_.emplace(KeyIndexName(section, key), new_header + 1);
        last_header_ = new_header;
        return;
    }
    const long line = FindKey(header, key);
    if (line >= 0) {
        lines_[static_cast<std::size_t>(line)].text = std::move(text);
        return;
    }
    // After the section's last non-blank line, as the platform's profile functions do.
    const long end = header == last_header_ ? static_cast<long>(lines_.size()) : SectionEnd(header);
    long insert = end;
    while (insert - 1 > header && TrimBlanks(lines_[static_cast<std::size_t>(insert - 1)].text).empty()) --insert;
    auto& before = lines_[static_cast<std::size_t>(insert - 1)];
    if (before.end.empty()) before.end = "\r\n";
    lines_.insert(lines_.begin() + insert, Line{std::move(text), "\r\n"});
    if (insert == static_cast<long>(lines_.size()) - 1) {
        key_index_.emplace(KeyIndexName(section, key), insert);  // appended: no other line moved
    } else {
        Invalidate();
    }
}

void ProfileDocument::RemoveKey(std::string_view section, std::string_view key) {
    const long header = FindSection(section);
    const long line = header < 0 ? -1 : FindKey(header, key);
    if (line >= 0) lines_.erase(lines_.begin() + line);
    Invalidate();
}

void ProfileDocument::ClearSection(std::string_view section) {
    const long header = FindSection(section);
    if (header < 0) {
        if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = "\r\n";
        lines_.push_back({"[" + std::string(TrimBlanks(section)) + "]", "\r\n"});
        Invalidate();
        return;
    }
    lines_.erase(lines_.begin() + header + 1, lines_.begin() + SectionEnd(header));
    Invalidate();
    if (lines_[static_cast<std::size_t>(header)].end.empty()) lines_[static_cast<std::size_t>(header)].end = "\r\n";
}

void ProfileDocument::RemoveSection(std::string_view section) {
    const long header = FindSection(section);
    if (header >= 0) lines_.erase(lines_.begin() + header, lines_.begin() + SectionEnd(header));
    Invalidate();
}

std::vector<std::string> ProfileDocument::SectionNames() const {
    std::vector<std::string> names;
    for (const auto& line : lines_) {
        std::string_view name;
        if (SectionHeader(line.text, name)) names.emplace_back(name);
    }
    return names;
}

std::vector<std::string> ProfileDocument::KeysOf(std::string_view section) const {
    std::vector<std::string> keys;
    const long header = FindSection(section);
    if (header < 0) return keys;
    const long end = SectionEnd(header);
    for (long i = header + 1; i < end; ++i) {
        std::string_view key;
        if (KeyOf(lines_[static_cast<std::size_t>(i)].text, key)) keys.emplace_back(key);
    }
    return keys;
}

std::string ReadProfileString(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view fallback, std::size_t max_length) {
    ProfileDocument document;
    std::string value = document.Load(path) ? document.Get(section, key, fallback) : std::string(fallback);
    if (max_length > 0 && value.size() > max_length) value.resize(max_length);
    return value;
}

long ReadProfileInt(const std::string& path, std::string_view section, std::string_view key, long fallback) {
    ProfileDocument document;
    return document.Load(path) ? document.GetInt(section, key, fallback) : fallback;
}

bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
    ProfileDocument document;
    if (!document.Load(path)) return false;
    document.Set(section, key, value);
    return document.Save(path);
}

bool WriteProfileInt(const std::string& path, std::string_view section, std::string_view key, long value) {
    return WriteProfileString(path, section, key, std::to_string(value));
}

}  // namespace korvane
