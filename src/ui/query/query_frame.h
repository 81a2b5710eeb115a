// The query window: the query tool bar and menu, the field list beside the
// criteria list, and a status bar with the starting folder and the
// description. Its commands edit the query's options and execute it.
#pragma once

#include <map>

#include "ui/document_frame.h"
#include "ui/query/field_views.h"
#include "ui/query/query_document.h"

class QAction;
class QToolBar;

namespace korvane {

class CMainFrame;

// Command identifiers of a query window.
enum QueryCommand : int {
    kQueryExecute = 9002,
    kQueryIncludeSubfolders = 1049,
    kQueryResultThreshold = 1051,
    kQueryInitialFolder = 9020,
    kQueryDescription = 9021,
    kQueryDuplicates = 9039,
    kQuerySelectVolume = 1041,
};

class CQueryFrame : public DocumentFrame {
    Q_OBJECT
  public:
    CQueryFrame(CQueryDoc& document, QWidget* parent = nullptr);

    CQueryDoc& Document() { return document_; }
    CFieldView* FieldView() const { return fields_; }
    CQueryView* QueryView() const { return criteria_; }
    QToolBar* QueryToolBar() const { return tool_bar_; }
    QAction* CommandAction(int id) const;

    void OnExecute();
    void OnIncludeSubfolders();
    void OnResultThreshold();
    void OnInitialFolder();
    void OnDescription();
    void OnDuplicates();
    // The main window's volume selection: on a build, every query finds its
    // starting folder again and every result runs anew.
    void OnSelectVolume();
    // Menu states from the profile: Execute only when runnable, the ticks.
    void UpdateCommands();

  private:
    QAction* AddCommand(int id, const QString& text, const QString& prompt, QStyle::StandardPixmap icon);
    CMainFrame* MainFrame() const;
    void ShowMessage(const std::string& text);
    // Where Execute finds its result: the saved query's path, asking for
    // one when the query was never saved. Empty when the person cancels.
    std::string SavedQueryPath();

    CQueryDoc& document_;
    CFieldView* fields_ = nullptr;
    CQueryView* criteria_ = nullptr;
    QToolBar* tool_bar_ = nullptr;
    std::map<int, QAction*> commands_;
};

}  // namespace korvane
