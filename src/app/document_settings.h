// INI access of query files, result files and the script interpreter's
// reading of schedule files: one current file and one current section, with
// the quote-and-comma rule that keeps quoted values intact.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "app/profile_file.h"

namespace korvane {

class DocumentSettings {
public:
    // Selects the file; its contents are read on first use.
    void SelectFile(const std::string& path);
    void SelectSection(std::string_view section);
    // Selects the section and removes every key it holds (other sections stay).
    bool BeginSection(std::string_view section);

    // A value that begins and ends with a double quote gets one "," appended.
    bool WriteText(std::string_view key, std::string_view value);
    bool WriteInt(std::string_view key, long value);
    // Blanks dropped, then an enclosing pair of double quotes, then one
    // trailing ","; the result is cut to max_length - 1 characters.
    std::string ReadText(std::string_view key, std::string_view fallback = {}, std::size_t max_length = 260);
    // Leading decimal digits, 0 when missing or none.
    long ReadInt(std::string_view key, long fallback = 0);
    bool HasKey(std::string_view key);

    // Batch mode: writes stay in memory until Commit, which writes the file once.
    void BeginBatch() { batch_ = true; }
    bool Commit();

    const std::string& File() const { return path_; }
    const std::string& Section() const { return section_; }

private:
    bool EnsureLoaded();
    bool Flush();
    struct FileStamp {
        bool exists = false;
        unsigned long inode = 0;
        long size = 0, seconds = 0, nanoseconds = 0;
        bool operator==(const FileStamp&) const = default;
    };
    std::string path_;
    std::string section_;
    ProfileDocument document_;
    FileStamp stamp_;
    bool loaded_ = false;
    bool batch_ = false;
    bool dirty_ = false;
};

// Reading rule of DocumentSettings on one raw value.
std::string UnquoteSettingValue(std::string_view raw);
// Writing rule of DocumentSettings on one value.
std::string QuoteSettingValue(std::string_view value);

// INI access of the schedule document: values pass through unchanged, and the
// current file and section are shared by every document that uses the same
// DocumentExShared (one document is read or written at a time).
struct DocumentExShared {
    std::string path;
    std::string section;
};

class CDocumentEx {
public:
    explicit CDocumentEx(DocumentExShared& shared) : shared_(shared) {}
    virtual ~CDocumentEx() = default;
    void SetFile(const std::string& path) { shared_.path = path; }
    bool BeginSection(std::string_view name);
    void SelectSection(std::string_view name) { shared_.section = std::string(name); }
    bool WriteText(std::string_view key, std::string_view text);
    bool WriteNumber(std::string_view key, long value);
    // At most 259 characters; empty when missing.
    std::string ReadText(std::string_view key) const;
    long ReadNumber(std::string_view key) const;

private:
    DocumentExShared& shared_;
};

}  // namespace korvane
