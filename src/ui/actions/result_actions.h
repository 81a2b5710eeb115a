// The result window's file actions: the commands of its Edit and Action menus
// and its list's context menu, their enabled states, the dialogs they open
// and the progress window they run under. The result window hands over its
// selection and is told afterwards what to refresh.
#pragma once

#include <QDBusConnection>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <array>
#include <cstdint>
#include <string>

#include "actions/file_actions.h"
#include "actions/selection_list.h"
#include "catalogue/user_volume_rules.h"  // kInvalidSelectionMessage

class QAction;
class QClipboard;
class QMenu;
class QWidget;

namespace korvane {

enum class ResultCommand {
    kCut,
    kCopy,
    kPaste,
    kPasteShortcut,
    kDelete,
    kRename,
    kCompress,
    kUncompress,
    kLink,
    kNewFolder,
    kLaunchExplorer,
    kSetFileTime,
    kSetFileOwner,
};
inline constexpr std::size_t kResultCommandCount = 13;

inline constexpr std::string_view kLinkDestinationTitle = "Linked Files' Destination";

// What the commands need of a result window.
class ResultWindowAccess {
  public:
    virtual ~ResultWindowAccess() = default;
    virtual int DisplayMode() const = 0;
    virtual int RowCount() const = 0;
    // The current folder's path, whether the Path column is shown, and the
    // selected rows in list order.
    virtual ResultSelection Selection() const = 0;
    virtual void RerunResult() = 0;
    // Tells the result's other views (not its list) what changed.
    virtual void NotifyOtherViews(int hint) = 0;
    // Starts in-place editing of the first selected row's name; the end of
    // editing comes back through ResultActions::FinishRename.
    virtual void BeginRename() = 0;
    // Starts in-place editing of the row with that name, when there is one.
    virtual void BeginRenameOf(const std::string& name) = 0;
    // The visible picture of the graph (graph modes); null when empty.
    virtual QImage GraphPicture() const = 0;
};

class ResultActions : public QObject {
    Q_OBJECT
  public:
    // parent_window owns the dialogs; clipboard null: the application's.
    ResultActions(FileActionContext& context, ResultWindowAccess& window, QWidget* parent_window,
                  QClipboard* clipboard = nullptr);

    // The command's action, with its menu text, shortcut and tip; triggering
    // it runs the command.
    QAction* Action(ResultCommand command) const { return actions_[static_cast<std::size_t>(command)]; }
    bool IsEnabled(ResultCommand command) const;
    // Sets every action's enabled state from the window and the clipboard.
    void UpdateActions();
    void Run(ResultCommand command);
    // The list's pop-up menu, in its order; the caller owns it.
    QMenu* ContextMenu(QWidget* parent) const;
    // In-place editing of row ended with text: renames and re-runs the result.
    bool FinishRename(const ResultSelectionRow& row, const std::string& text);

  private:
    bool BuildList(SelectionOptions options, SelectionList& list);
    void CutOrCopy(bool cut);
    void Paste(bool shortcuts);
    void Delete();
    void Compress(bool compress);
    void Link();
    void NewFolder();
    void LaunchExplorer();
    void SetFileTime();
    void SetFileOwner();
    void AfterChange(const ActionOutcome& outcome, bool rerun);
    void ReportFailures(const ActionOutcome& outcome);

    FileActionContext& context_;
    ResultWindowAccess& window_;
    QPointer<QWidget> parent_window_;
    QClipboard* clipboard_;
    std::array<QAction*, kResultCommandCount> actions_{};
};

// Shows the folder in the desktop's file manager, with item (a path in it)
// picked out when given: asked over the session bus when a file manager
// offers it, else the desktop's opener (xdg-open) opens the folder.
bool ShowInFileManager(const std::string& folder, const std::string& item);
// The same through the given bus.
bool ShowInFileManager(const std::string& folder, const std::string& item, QDBusConnection bus);

}  // namespace korvane
