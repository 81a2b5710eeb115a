// The result window: the result document as the windowed program holds it,
// its frame (the folder tree beside the report, a status bar whose first
// pane starts with "Nothing selected.") and the folder tree pane.
#pragma once

#include <QTreeWidget>

#include "ui/document_frame.h"
#include "ui/query/query_document.h"

namespace korvane {

inline constexpr const char* kNothingSelected = "Nothing selected.";

class ResultWindowDocument : public WindowDocument, public QueryResultLink {
    Q_OBJECT
  public:
    explicit ResultWindowDocument(QObject* parent = nullptr);

    // The open query's profile the result runs, or none.
    QueryProfile* Profile() const { return profile_; }
    std::int32_t CurrentFolderId() const { return current_folder_id_; }
    void LinkQueryProfile(QueryProfile* profile) override { profile_ = profile; }
    void SetCurrentFolderId(std::int32_t folder_id) override { current_folder_id_ = folder_id; }

  private:
    QueryProfile* profile_ = nullptr;
    std::int32_t current_folder_id_ = 0;
};

// The folder tree of the result: picks the folder the result runs for.
class CDriveView : public QTreeWidget, public DocumentView {
    Q_OBJECT
  public:
    explicit CDriveView(QWidget* parent = nullptr);
    QWidget* Widget() override { return this; }
    void OnUpdate(int) override {}
};

class CResultFrame : public DocumentFrame {
    Q_OBJECT
  public:
    CResultFrame(ResultWindowDocument& document, QWidget* parent = nullptr);
};

}  // namespace korvane
