#include "ui/document.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/profile_file.h"
#include "app/text_helpers.h"

namespace korvane {
namespace {

std::string ErrnoText() {
    return std::strerror(errno);
}

}  // namespace

std::string DocumentType::Part(std::size_t index) const {
    std::size_t start = 0;
    for (std::size_t i = 0; i < index; ++i) {
        const std::size_t end = type_string.find('\n', start);
        if (end == std::string_view::npos)
            return {};
        start = end + 1;
    }
    const std::size_t end = type_string.find('\n', start);
    return std::string(type_string.substr(start, end == std::string_view::npos ? end : end - start));
}

const std::vector<DocumentType>& DocumentTypes() {
    static const std::vector<DocumentType> types = {
        {DocumentKind::Query, 1072,
         "Query\nUntitled\nQuery File\nQuery File (*.qry)\n.qry\nqry\nKorvane Query\nQuery Files",
         " - Korvane Query"},
        {DocumentKind::Result, 1073,
         "Result\nResult\n\nResult File (*.rst)\n.rst\nrst\nKorvane Result\nResult Files",
         " - Korvane Result"},
        {DocumentKind::Schedule, 1074,
         "Schedule\nUntitled\nSchedule File\nSchedule File "
         "(*.sch)\n.sch\nScheduleFileType\nsch\nSCHEDULE\nSchedule "
         "Files",
         " - Korvane Schedule"},
    };
    return types;
}

const DocumentType* DocumentTypeOfPath(std::string_view path) {
    for (const DocumentType& type : DocumentTypes()) {
        const std::string extension = type.Extension();
        if (path.size() > extension.size() && EndsWithNoCase(path, extension))
            return &type;
    }
    return nullptr;
}

const DocumentType& DocumentTypeOf(DocumentKind kind) {
    for (const DocumentType& type : DocumentTypes()) {
        if (type.kind == kind)
            return type;
    }
    return DocumentTypes().front();
}

std::string DocumentTitleOfPath(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    return std::string(name.substr(0, name.find('.')));
}

WindowDocument::WindowDocument(const DocumentType& type, QObject* parent) : QObject(parent), type_(type) {}

WindowDocument::~WindowDocument() = default;

QString WindowDocument::WindowTitle() const {
    return QString::fromStdString(DisplayText(Title()) + std::string(type_.title_suffix));
}

void WindowDocument::SetModifiedFlag(bool modified) {
    if (modified_ == modified)
        return;
    modified_ = modified;
    emit ModifiedChanged(modified_);
}

void WindowDocument::SetPathName(const std::string& path) {
    if (path_ == path)
        return;
    path_ = path;
    emit PathChanged();
}

void WindowDocument::UpdateAllViews(int hint) {
    emit Updated(hint);
}

bool WindowDocument::Load(const std::string&, std::string&) {
    return true;
}

bool WindowDocument::OnOpenDocument(const std::string& path, std::string& error) {
    std::error_code code;
    if (std::filesystem::is_directory(path, code)) {
        error = "It is a folder, not a document.";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = ErrnoText();
        return false;
    }
    const auto size = std::filesystem::file_size(path, code);
    if (!code && size > kMaxDocumentBytes) {
        error = "The file is larger than 64 MB.";
        return false;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) {
        error = ErrnoText();
        return false;
    }
    std::string contents = bytes.str();
    if (!Load(contents, error))
        return false;
    contents_ = std::move(contents);
    SetPathName(path);
    SetModifiedFlag(false);
    UpdateAllViews();
    return true;
}

bool WindowDocument::OnSaveDocument(const std::string& path, std::string& error) {
    // Through a temporary file beside the target, so a failed write never
    // leaves half a document behind.
    const std::string temporary = path + ".~tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            error = ErrnoText();
            return false;
        }
        out.write(contents_.data(), static_cast<std::streamsize>(contents_.size()));
        out.flush();
        if (!out) {
            error = ErrnoText();
            out.close();
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = ErrnoText();
        std::remove(temporary.c_str());
        return false;
    }
    SetPathName(path);
    SetModifiedFlag(false);
    return true;
}

}  // namespace korvane
