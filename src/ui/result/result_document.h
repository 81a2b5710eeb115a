// The result document as the windowed program holds it: the core's result
// document, read from and saved to its .rst file, the profile of the query
// it runs, its current folder, display mode and modified flag, and the
// hints it sends its views.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "actions/file_actions.h"
#include "app/user_interface.h"
#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "query/query_profile.h"
#include "result/result_data.h"
#include "ui/document.h"
#include "ui/query/query_document.h"

class QPainter;
class QRect;
class QWidget;

namespace korvane {

struct IdCounters;
struct ProgramOptions;
class ResultWindowDocument;

// Hints a result document sends its views.
enum ResultHint : int {
    kHintFolderChanged = 0,     // the current folder changed: the tree follows it and runs the result
    kHintCatalogueChanged = 1,  // the catalogue was rebuilt: the tree rebuilds, then as hint 0
    kHintFolderRenamed = 2,     // RenamedFolderId() has a new name
    kHintAnswerChanged = 3,     // the result ran or its display mode changed: the report or graph redraws
};

// The widget that shows a graph mode (pie 32, bar 64, line 128, forecast 256)
// in the report's place. The result view asks its factory for one the first
// time a graph mode is shown and keeps it.
class ResultGraphPane {
  public:
    virtual ~ResultGraphPane() = default;
    virtual QWidget* Widget() = 0;
    // Builds and shows the graph of the document's answer in its display
    // mode. False when no graph could be built: the view then shows the
    // report (the pane has said why where the person needs to know). A line
    // or forecast graph leaves its text in the document's forecast_text,
    // which the view puts into the second status pane.
    virtual bool ShowGraph() = 0;
    // Drops the chart (a refresh with no rows).
    virtual void Clear() = 0;
    // Draws the chart into the body of a printed page.
    virtual void Paint(QPainter& painter, const QRect& body) = 0;
};
using ResultGraphPaneFactory =
    std::function<std::unique_ptr<ResultGraphPane>(ResultWindowDocument& document, QWidget* parent)>;

// What a result window reads and runs with. Without a catalogue (a window
// made for a test of the frame alone) the document still opens and saves
// its file, and the views stay empty.
struct ResultContext {
    Catalogue* catalogue = nullptr;
    FolderTree* folders = nullptr;
    // DisplaySQL for the runs, GraphItems for pie and bar graphs.
    const ProgramOptions* options = nullptr;
    ResultGraphPaneFactory make_graph_pane;
    // The file actions number the rows they add with these; without them
    // the window's file commands stay disabled.
    IdCounters* counters = nullptr;
    std::string event_log_path;
    // Compression and owners of files on NetWare volumes; empty routes fail those files.
    NetWareRoutes netware;
    // The program's open documents: the other results a file action tells.
    std::function<std::vector<WindowDocument*>()> open_documents;
};

class ResultWindowDocument : public WindowDocument, public QueryResultLink {
    Q_OBJECT
  public:
    explicit ResultWindowDocument(ResultContext context = {}, QObject* parent = nullptr);
    ~ResultWindowDocument() override;

    ResultDocument& Result() { return result_; }
    const ResultDocument& Result() const { return result_; }
    ResultData& Data() { return result_.data; }
    const ResultContext& Context() const { return context_; }
    bool HasCatalogue() const { return context_.catalogue != nullptr; }
    // The context's catalogue, else one that was never opened.
    Catalogue& GetCatalogue() { return context_.catalogue != nullptr ? *context_.catalogue : own_catalogue_; }
    FolderTree& Folders() { return context_.folders != nullptr ? *context_.folders : own_folders_; }
    long GraphItems() const;

    // The link to an open query of the same name (its file name cut at the
    // first "." equals the result name). The query window links its profile
    // when either of the two opens, and clears the link when it closes; the
    // result then runs with the profile read from the query file beside it,
    // as a result opened alone does. The profile must outlive the link.
    void SetLinkedProfile(QueryProfile* profile);
    void ClearLinkedProfile();
    bool HasLinkedProfile() const { return linked_ != nullptr; }
    // What the query window calls: link (or, with none, unlink) its profile,
    // and make its starting folder the current one before it refreshes.
    void LinkQueryProfile(QueryProfile* profile) override {
        if (profile != nullptr)
            SetLinkedProfile(profile);
        else
            ClearLinkedProfile();
    }
    void SetCurrentFolderId(std::int32_t folder_id) override {
        if (folder_id != result_.data.current_folder_id)
            SetCurrentFolder(folder_id);
    }
    // The profile the result runs with: the linked one, else its own.
    QueryProfile* Profile() { return result_.data.profile; }

    // The folder the result runs for; the top node (identifier 0) is all volumes.
    FolderNode* CurrentFolder();
    // Makes the folder current and marks the result modified. False when
    // no folder has the identifier.
    bool SetCurrentFolder(std::int32_t folder_id);
    // "&Up One Level": the parent becomes current and the views follow
    // (hint 0), which runs the result again. False at the top node.
    bool UpOneLevel();
    // Drill-down into a folder row: the folder becomes current, views follow.
    bool DrillDown(std::int32_t folder_id);

    // A display-mode command: nothing happens when the mode is the current
    // one; otherwise the result is marked modified and redraws (hint 3).
    void SetDisplayMode(int mode);
    int DisplayMode() const { return result_.display_mode; }

    // Runs the result for its current folder with its own progress window;
    // on success its window comes forward and the report or graph redraws.
    bool Rerun();
    // Tells the views a folder's name changed (hint 2).
    void FolderRenamed(std::int32_t folder_id);
    // A file action changed the catalogue and the folder tree: folders may
    // have been numbered anew, so the current folder is found again by its
    // path (a renamed folder keeps its identifier; a folder gone gives way
    // to the nearest folder above it that is still there); then the tree
    // is rebuilt and the result runs again. A result told about another
    // window's action stays where it is among the windows.
    void FollowCatalogueChange(bool folder_renamed, bool come_forward);
    bool ComesForward() const { return come_forward_; }
    // The other open results on the same catalogue.
    std::vector<ResultWindowDocument*> OtherResults() const;
    std::int32_t RenamedFolderId() const { return renamed_folder_id_; }

    bool OnOpenDocument(const std::string& path, std::string& error) override;
    bool OnSaveDocument(const std::string& path, std::string& error) override;

  signals:
    // Asks the result's frame to come forward (after a run).
    void ActivateRequested();

  private:
    void ReadOwnProfile();

    ResultContext context_;
    ResultDocument result_;
    SilentUserInterface own_ui_;
    Catalogue own_catalogue_{own_ui_};
    FolderTree own_folders_;
    QueryProfile* linked_ = nullptr;
    std::unique_ptr<QueryProfile> own_profile_;
    std::int32_t renamed_folder_id_ = 0;
    bool come_forward_ = true;
};

}  // namespace korvane
