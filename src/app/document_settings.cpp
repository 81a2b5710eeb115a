#include "app/document_settings.h"

#include <sys/stat.h>

#include <charconv>

#include "app/text_helpers.h"

namespace korvane {
namespace {

long LeadingDigits(std::string_view text) {
    text = TrimBlanks(text);
    long value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return (result.ptr == text.data() || result.ec != std::errc()) ? 0 : value;
}

}  // namespace

std::string UnquoteSettingValue(std::string_view raw) {
    std::string_view value = TrimBlanks(raw);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    if (!value.empty() && value.back() == ',') value.remove_suffix(1);
    return std::string(value);
}

std::string QuoteSettingValue(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return std::string(value) + ",";
    return std::string(value);
}

void DocumentSettings::SelectFile(const std::string& path) {
    if (batch_ && dirty_) Commit();
    path_ = path;
    loaded_ = false;
    batch_ = false;
    dirty_ = false;
}

void DocumentSettings::SelectSection(std::string_view section) { section_ = std::string(section); }

bool DocumentSettings::EnsureLoaded() {
    if (loaded_ && (batch_ || dirty_)) return true;
    // Another writer may have changed the file since it was read.
    struct stat info {};
    const bool exists = ::stat(path_.c_str(), &info) == 0;
    const FileStamp stamp{exists, info.st_ino, info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
    if (loaded_ && stamp == stamp_) return true;
    loaded_ = document_.Load(path_);
    stamp_ = stamp;
    return loaded_;
}

bool DocumentSettings::Flush() {
    if (batch_) {
        dirty_ = true;
        return true;
    }
    const bool saved = document_.Save(path_);
    loaded_ = false;  // re-read the stamp of the file just written
    return saved;
}

bool DocumentSettings::BeginSection(std::string_view section) {
    section_ = std::string(section);
    if (!EnsureLoaded()) return false;
    document_.ClearSection(section_);
    return Flush();
}

bool DocumentSettings::WriteText(std::string_view key, std::string_view value) {
    if (!EnsureLoaded()) return false;
    document_.Set(section_, key, QuoteSettingValue(value));
    return Flush();
}

bool DocumentSettings::WriteInt(std::string_view key, long value) { return WriteText(key, std::to_string(value)); }

std::string DocumentSettings::ReadText(std::string_view key, std::string_view fallback, std::size_t max_length) {
    if (!EnsureLoaded() || !document_.HasKey(section_, key)) return std::string(fallback);
    std::string raw = document_.Get(section_, key);
    if (max_length > 0 && raw.size() > max_length - 1) raw.resize(max_length - 1);
    return UnquoteSettingValue(raw);
}

long DocumentSettings::ReadInt(std::string_view key, long fallback) {
    if (!EnsureLoaded() || !document_.HasKey(section_, key)) return fallback;
    return LeadingDigits(document_.Get(section_, key));
}

bool DocumentSettings::HasKey(std::string_view key) { return EnsureLoaded() && document_.HasKey(section_, key); }

bool DocumentSettings::Commit() {
    const bool was_dirty = dirty_;
    batch_ = false;
    dirty_ = false;
    return was_dirty ? Flush() : true;
}

bool CDocumentEx::BeginSection(std::string_view name) {
    shared_.section = std::string(name);
    ProfileDocument document;
    if (!document.Load(shared_.path)) return false;
    document.ClearSection(shared_.section);
    return document.Save(shared_.path);
}

bool CDocumentEx::WriteText(std::string_view key, std::string_view text) {
    return WriteProfileString(shared_.path, shared_.section, key, text);
}

bool CDocumentEx::WriteNumber(std::string_view key, long value) {
    return WriteProfileInt(shared_.path, shared_.section, key, value);
}

std::string CDocumentEx::ReadText(std::string_view key) const {
    return ReadProfileString(shared_.path, shared_.section, key, "", 259);
}

long CDocumentEx::ReadNumber(std::string_view key) const {
    return ReadProfileInt(shared_.path, shared_.section, key, 0);
}

}  // namespace korvane
