// The query document: one query's profile as a window holds it, read from
// and written to its query file, and linked to the open result of the same
// name while both are open.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/folder_tree.h"
#include "query/query_profile.h"
#include "ui/document.h"

namespace korvane {

// What a result document lets its query do: point it at the query's profile
// (none when the query closes) and choose the folder it runs for.
class QueryResultLink {
  public:
    virtual ~QueryResultLink() = default;
    virtual void LinkQueryProfile(QueryProfile* profile) = 0;
    virtual void SetCurrentFolderId(std::int32_t folder_id) = 0;
};

// What a query document is given by the program that makes it.
struct QueryDocumentContext {
    // The catalogue's folder tree; without one the document uses an empty
    // tree of its own, where every path but the top node is unknown.
    FolderTree* folders = nullptr;
    // The catalogue in use, written into the query file on saving.
    std::string database_path;
    // Every open document of the program; none when left empty.
    std::function<std::vector<WindowDocument*>()> open_documents;
};

class CQueryDoc : public WindowDocument {
    Q_OBJECT
  public:
    explicit CQueryDoc(QueryDocumentContext context = {}, QObject* parent = nullptr);
    ~CQueryDoc() override;

    QueryProfile& Profile() { return profile_; }
    const QueryProfile& Profile() const { return profile_; }
    FolderTree& Folders() { return *folders_; }
    const QueryDocumentContext& Context() const { return context_; }

    // Reads the query file (an empty file is a new query named after it),
    // runs the shape check and links an open result of the same name.
    bool OnOpenDocument(const std::string& path, std::string& error) override;
    // Writes the query file, clears the modified flag and reads the file
    // back, so the profile is what the file says.
    bool OnSaveDocument(const std::string& path, std::string& error) override;
    // The linked results forget the profile.
    void OnCloseDocument() override;

    // The open result documents whose name is the query's (case ignored).
    std::vector<WindowDocument*> ResultsOfSameName() const;

    // Adds a field to the query or removes it: modified, shape check, views
    // refreshed. Nothing happens for a row that is not offered.
    void MoveField(int row, bool into_query);
    // A criterion edited in its dialog: stored, modified, views refreshed.
    void SetCriterion(int row, const std::string& value_text);
    // After the catalogue was rebuilt: the starting folder found again (a
    // folder that is gone means all volumes and no subfolders).
    void ResolveStartingFolderAgain();

  private:
    void LinkResults(QueryProfile* profile);

    QueryDocumentContext context_;
    FolderTree own_folders_;
    FolderTree* folders_;
    QueryProfile profile_;
};

// The open query document with the given name (case ignored), or null: a
// result opened after its query finds the profile to point at here.
CQueryDoc* OpenQueryNamed(const std::vector<WindowDocument*>& documents, std::string_view name);

}  // namespace korvane
