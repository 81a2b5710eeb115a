// The result window's file actions: the Edit and Action menus, the tool bar
// and the list's context menu over the commands of ResultActions, the
// window's side those commands read (its selection) and tell (re-run, other
// views, in-place rename, the graph's picture), and the in-place rename's end.
#pragma once

#include <QObject>
#include <memory>
#include <optional>
#include <string>

#include "actions/file_actions.h"
#include "owners/owner_resolver.h"
#include "ui/actions/result_actions.h"

class QMenu;
class QToolBar;

namespace korvane {

class CResultFrame;
class CResultView;
class ResultWindowDocument;

class ResultActionsBinding : public QObject, public ResultWindowAccess {
    Q_OBJECT
  public:
    // Binds the frame's window; null (the file commands stay disabled) when
    // its document has no catalogue or no identifier counters.
    static ResultActionsBinding* Attach(CResultFrame& frame);
    ~ResultActionsBinding() override;

    ResultActions& Actions() { return *actions_; }
    QMenu* EditMenu() const { return edit_menu_; }
    QMenu* ActionMenu() const { return action_menu_; }
    QToolBar* ToolBar() const { return tool_bar_; }

    int DisplayMode() const override;
    int RowCount() const override;
    ResultSelection Selection() const override;
    void RerunResult() override;
    void NotifyOtherViews(int hint) override;
    void BeginRename() override;
    void BeginRenameOf(const std::string& name) override;
    QImage GraphPicture() const override;

  private:
    ResultActionsBinding(CResultFrame& frame, ResultWindowDocument& document, IdCounters& counters);
    void CreateMenus();
    void FillContextMenu();
    void MirrorViewCommands();
    ResultSelection ReadSelection() const;
    ResultSelectionRow RowAt(int position) const;
    int PositionOfName(const std::string& name) const;
    bool Rename(int position, const std::string& text);
    void ScheduleRefresh();
    void Refresh();

    CResultFrame& frame_;
    CResultView& view_;
    ResultWindowDocument& document_;
    OwnerResolver owners_;
    FileActionContext context_;
    std::unique_ptr<ResultActions> actions_;
    QMenu* edit_menu_ = nullptr;
    QMenu* action_menu_ = nullptr;
    QToolBar* tool_bar_ = nullptr;
    // What an action asked for, done once control is back in the event loop
    // (never inside the list's own edit or click).
    bool refresh_scheduled_ = false;
    bool rebuild_pending_ = false;
    bool rerun_pending_ = false;
    bool renamed_pending_ = false;
    std::string rename_pending_;
    // The selection as last read: the commands' states read it several
    // times per change, and a selection of a million rows is costly to read.
    mutable std::optional<ResultSelection> selection_;
};

}  // namespace korvane
