#include "ui/query/query_document.h"

#include <filesystem>

#include "app/text_helpers.h"
#include "query/query_editing.h"
#include "query/query_file.h"

namespace korvane {

CQueryDoc::CQueryDoc(QueryDocumentContext context, QObject* parent)
    : WindowDocument(DocumentTypeOf(DocumentKind::Query), parent),
      context_(std::move(context)),
      folders_(context_.folders != nullptr ? context_.folders : &own_folders_) {}

CQueryDoc::~CQueryDoc() = default;

bool CQueryDoc::OnOpenDocument(const std::string& path, std::string& error) {
    std::error_code code;
    if (std::filesystem::is_directory(path, code)) {
        error = "It is a folder, not a document.";
        return false;
    }
    const auto size = std::filesystem::file_size(path, code);
    if (!code && size > kMaxDocumentBytes) {
        error = "The file is larger than 64 MB.";
        return false;
    }
    QueryProfile read;
    if (!ReadQueryFile(read, path, *folders_, true, &error))
        return false;
    CheckQueryShape(read);
    profile_ = std::move(read);
    SetPathName(path);
    SetModifiedFlag(false);
    LinkResults(&profile_);
    UpdateAllViews();
    return true;
}

bool CQueryDoc::OnSaveDocument(const std::string& path, std::string& error) {
    if (!context_.database_path.empty())
        profile_.database_path = context_.database_path;
    if (!WriteQueryFile(profile_, path, &error))
        return false;
    const std::string old_name = profile_.query_name;
    QueryProfile read;
    if (!ReadQueryFile(read, path, *folders_, true, &error))
        return false;
    CheckQueryShape(read);
    if (!EqualsNoCase(old_name, read.query_name))
        LinkResults(nullptr);  // saved under another name: the old result is not this query's any more
    profile_ = std::move(read);
    SetPathName(path);
    SetModifiedFlag(false);
    LinkResults(&profile_);
    UpdateAllViews();
    return true;
}

void CQueryDoc::OnCloseDocument() {
    LinkResults(nullptr);
}

std::vector<WindowDocument*> CQueryDoc::ResultsOfSameName() const {
    std::vector<WindowDocument*> results;
    if (!context_.open_documents || profile_.query_name.empty())
        return results;
    for (WindowDocument* document : context_.open_documents()) {
        if (document->Type().kind == DocumentKind::Result &&
            EqualsNoCase(DocumentNameOfPath(document->PathName()), profile_.query_name)) {
            results.push_back(document);
        }
    }
    return results;
}

void CQueryDoc::LinkResults(QueryProfile* profile) {
    for (WindowDocument* document : ResultsOfSameName()) {
        if (auto* link = dynamic_cast<QueryResultLink*>(document))
            link->LinkQueryProfile(profile);
    }
}

void CQueryDoc::MoveField(int row, bool into_query) {
    if (!SetFieldInQuery(profile_, row, into_query))
        return;
    SetModifiedFlag(true);
    UpdateAllViews();
}

void CQueryDoc::SetCriterion(int row, const std::string& value_text) {
    if (row < 0 || row >= kQueryFieldCount)
        return;
    profile_.fields[row].value_text = value_text;
    SetModifiedFlag(true);
    UpdateAllViews();
}

void CQueryDoc::ResolveStartingFolderAgain() {
    ResolveStartingFolder(profile_, *folders_);
    CheckQueryShape(profile_);
    UpdateAllViews();
}

CQueryDoc* OpenQueryNamed(const std::vector<WindowDocument*>& documents, std::string_view name) {
    for (WindowDocument* document : documents) {
        auto* query = qobject_cast<CQueryDoc*>(document);
        if (query != nullptr && EqualsNoCase(query->Profile().query_name, name))
            return query;
    }
    return nullptr;
}

}  // namespace korvane
