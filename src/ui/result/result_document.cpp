#include "ui/result/result_document.h"

#include <filesystem>
#include <utility>

#include "app/settings.h"
#include "app/text_helpers.h"
#include "query/query_file.h"
#include "result/result_file.h"
#include "result/run_query.h"

namespace korvane {
namespace {

// The query file beside a result file: the same name with ".qry".
std::string QueryPathOfResult(const std::string& result_path) {
    std::filesystem::path path(result_path);
    return path.replace_extension(".qry").string();
}

class DocumentViews : public ResultViews {
  public:
    explicit DocumentViews(ResultWindowDocument& document) : document_(document) {}
    void ActivateFrame() override {
        if (document_.ComesForward())
            emit document_.ActivateRequested();
    }
    void RefreshViews() override { document_.UpdateAllViews(kHintAnswerChanged); }

  private:
    ResultWindowDocument& document_;
};

}  // namespace

ResultWindowDocument::ResultWindowDocument(ResultContext context, QObject* parent)
    : WindowDocument(DocumentTypeOf(DocumentKind::Result), parent), context_(std::move(context)) {}

ResultWindowDocument::~ResultWindowDocument() = default;

long ResultWindowDocument::GraphItems() const {
    return context_.options != nullptr ? context_.options->graph_items : 25;
}

void ResultWindowDocument::SetLinkedProfile(QueryProfile* profile) {
    linked_ = profile;
    result_.data.profile = profile != nullptr ? profile : own_profile_.get();
}

void ResultWindowDocument::ClearLinkedProfile() {
    linked_ = nullptr;
    // The query may have been saved with other criteria since the result opened.
    ReadOwnProfile();
    result_.data.profile = own_profile_.get();
}

void ResultWindowDocument::ReadOwnProfile() {
    own_profile_.reset();
    if (PathName().empty())
        return;
    auto profile = std::make_unique<QueryProfile>();
    if (!ReadQueryFile(*profile, QueryPathOfResult(PathName()), Folders(), true))
        return;
    CheckQueryShape(*profile);
    // The stored query the result reads is named by the result.
    profile->query_name = result_.data.result_name;
    own_profile_ = std::move(profile);
}

FolderNode* ResultWindowDocument::CurrentFolder() {
    FolderNode* node = Folders().FindFolderById(result_.data.current_folder_id);
    return node != nullptr ? node : Folders().root();
}

bool ResultWindowDocument::SetCurrentFolder(std::int32_t folder_id) {
    FolderNode* node = Folders().FindFolderById(folder_id);
    if (node == nullptr)
        return false;
    result_.data.current_folder_id = node->folder_id;
    Folders().FolderPath(node, result_.data.path);
    SetModifiedFlag(true);
    return true;
}

bool ResultWindowDocument::UpOneLevel() {
    FolderNode* current = CurrentFolder();
    if (current->parent == nullptr)
        return false;
    SetCurrentFolder(current->parent->folder_id);
    UpdateAllViews(kHintFolderChanged);
    return true;
}

bool ResultWindowDocument::DrillDown(std::int32_t folder_id) {
    if (!SetCurrentFolder(folder_id))
        return false;
    UpdateAllViews(kHintFolderChanged);
    return true;
}

void ResultWindowDocument::SetDisplayMode(int mode) {
    if (result_.display_mode == mode)
        return;
    result_.display_mode = mode;
    SetModifiedFlag(true);
    UpdateAllViews(kHintAnswerChanged);
}

bool ResultWindowDocument::Rerun() {
    if (!HasCatalogue())
        return false;
    QueryBuildOptions options;
    options.display_sql = context_.options != nullptr && context_.options->display_sql != 0;
    DocumentViews views(*this);
    return RerunResult(result_, *context_.catalogue, Folders(), views, options);
}

void ResultWindowDocument::FolderRenamed(std::int32_t folder_id) {
    renamed_folder_id_ = folder_id;
    UpdateAllViews(kHintFolderRenamed);
}

void ResultWindowDocument::FollowCatalogueChange(bool folder_renamed, bool come_forward) {
    FolderTree& folders = Folders();
    ResultData& data = result_.data;
    if (data.current_folder_id != 0) {
        std::string path = data.path;
        std::int32_t found = folders.FolderIdOfPath(path);
        if (found == 0 && folder_renamed && folders.FindFolderById(data.current_folder_id) != nullptr)
            found = data.current_folder_id;
        while (found == 0 && !path.empty()) {
            const std::size_t cut = path.find_last_of(PathSeparatorOf(path));
            path.resize(cut == std::string::npos ? 0 : cut);
            found = path.empty() ? 0 : folders.FolderIdOfPath(path);
        }
        std::string now;
        if (FolderNode* node = folders.FindFolderById(found); node != nullptr)
            folders.FolderPath(node, now);
        if (now != data.path)
            SetModifiedFlag(true);
        data.current_folder_id = found;
        data.path = now;
    }
    const bool was = std::exchange(come_forward_, come_forward);
    UpdateAllViews(kHintCatalogueChanged);
    come_forward_ = was;
}

std::vector<ResultWindowDocument*> ResultWindowDocument::OtherResults() const {
    std::vector<ResultWindowDocument*> others;
    if (!context_.open_documents || context_.catalogue == nullptr)
        return others;
    for (WindowDocument* document : context_.open_documents()) {
        auto* result = qobject_cast<ResultWindowDocument*>(document);
        if (result != nullptr && result != this && result->context_.catalogue == context_.catalogue)
            others.push_back(result);
    }
    return others;
}

bool ResultWindowDocument::OnOpenDocument(const std::string& path, std::string& error) {
    ResultDocument read;
    if (!ReadResultFile(read, path, Folders())) {
        error = "The result file cannot be read.";
        return false;
    }
    if (!WindowDocument::OnOpenDocument(path, error))
        return false;
    result_.data.result_name = read.data.result_name;
    result_.data.path = read.data.path;
    result_.data.current_folder_id = read.data.current_folder_id;
    // The columns are described afresh by the first run: a new column starts shown.
    result_.title = read.title;
    result_.x_title = read.x_title;
    result_.y_title = read.y_title;
    result_.display_mode = read.display_mode;
    result_.standalone = read.standalone;
    ReadOwnProfile();
    result_.data.profile = linked_ != nullptr ? linked_ : own_profile_.get();
    SetModifiedFlag(false);
    return true;
}

bool ResultWindowDocument::OnSaveDocument(const std::string& path, std::string& error) {
    const bool modified = IsModified();
    SetModifiedFlag(false);
    if (!WriteResultFile(result_, path, GetCatalogue(), Folders())) {
        SetModifiedFlag(modified);
        error = "The result file cannot be written.";
        return false;
    }
    SetPathName(path);
    return true;
}

}  // namespace korvane
