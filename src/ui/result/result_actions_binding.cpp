#include "ui/result/result_actions_binding.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMenuBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <utility>

#include "result/report_rows.h"
#include "ui/icons.h"
#include "ui/result/result_frame.h"

namespace korvane {
namespace {

// The view's own command for each file command (the Delete key and the
// view's callers reach the file actions through them).
constexpr std::pair<int, ResultCommand> kViewCommands[] = {
    {kResultCut, ResultCommand::kCut},
    {kResultCopy, ResultCommand::kCopy},
    {kResultPaste, ResultCommand::kPaste},
    {kResultPasteShortcut, ResultCommand::kPasteShortcut},
    {kResultCompress, ResultCommand::kCompress},
    {kResultUncompress, ResultCommand::kUncompress},
    {kResultSetFileTime, ResultCommand::kSetFileTime},
    {kResultSetFileOwner, ResultCommand::kSetFileOwner},
    {kResultLink, ResultCommand::kLink},
    {kResultDelete, ResultCommand::kDelete},
    {kResultRename, ResultCommand::kRename},
    {kResultNewFolder, ResultCommand::kNewFolder},
    {kResultLaunchExplorer, ResultCommand::kLaunchExplorer},
};

}  // namespace

ResultActionsBinding* ResultActionsBinding::Attach(CResultFrame& frame) {
    ResultWindowDocument& document = frame.Document();
    if (!document.HasCatalogue() || document.Context().counters == nullptr)
        return nullptr;
    return new ResultActionsBinding(frame, document, *document.Context().counters);
}

ResultActionsBinding::ResultActionsBinding(CResultFrame& frame, ResultWindowDocument& document,
                                           IdCounters& counters)
    : QObject(&frame),
      frame_(frame),
      view_(*frame.ResultView()),
      document_(document),
      context_{document.GetCatalogue(),
               document.Folders(),
               counters,
               document.GetCatalogue().ui(),
               owners_,
               document.Context().netware,
               document.Context().event_log_path} {
    actions_ = std::make_unique<ResultActions>(context_, *this, &frame);
    CreateMenus();
    FillContextMenu();
    MirrorViewCommands();
    view_.Model()->SetRenameHandler(
        [this](int position, const std::string& text) { return Rename(position, text); });
    auto changed = [this] {
        selection_.reset();
        actions_->UpdateActions();
    };
    connect(view_.Report()->selectionModel(), &QItemSelectionModel::selectionChanged, this, changed);
    connect(view_.Model(), &QAbstractItemModel::modelReset, this, changed);
    connect(view_.Model(), &QAbstractItemModel::layoutChanged, this, changed);
    connect(&view_, &CResultView::ReportFilled, this, changed);
    connect(&document_, &WindowDocument::Updated, this, changed);
    actions_->UpdateActions();
}

ResultActionsBinding::~ResultActionsBinding() = default;

void ResultActionsBinding::CreateMenus() {
    QMenuBar* bar = frame_.menuBar();
    // Every result window has its own Cut, Copy and Paste keys: they act in
    // the window that has the focus, never ambiguously across windows.
    for (std::size_t i = 0; i < kResultCommandCount; ++i) {
        QAction* action = actions_->Action(static_cast<ResultCommand>(i));
        if (!action->shortcut().isEmpty()) {
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            frame_.addAction(action);
        }
    }
    edit_menu_ = new QMenu(QStringLiteral("&Edit"), &frame_);
    for (ResultCommand command :
         {ResultCommand::kCut, ResultCommand::kCopy, ResultCommand::kPaste, ResultCommand::kPasteShortcut}) {
        edit_menu_->addAction(actions_->Action(command));
    }
    edit_menu_->addSeparator();
    edit_menu_->addAction(view_.Command(kResultSelectAll));
    // After the window's first menu, as edit menus stand.
    const QList<QAction*> menus = bar->actions();
    if (menus.size() > 1) {
        bar->insertMenu(menus[1], edit_menu_);
    } else {
        bar->addMenu(edit_menu_);
    }

    action_menu_ = bar->addMenu(QStringLiteral("&Action"));
    for (ResultCommand command :
         {ResultCommand::kCompress, ResultCommand::kUncompress, ResultCommand::kSetFileTime,
          ResultCommand::kSetFileOwner, ResultCommand::kLink}) {
        action_menu_->addAction(actions_->Action(command));
    }
    action_menu_->addSeparator();
    for (ResultCommand command :
         {ResultCommand::kDelete, ResultCommand::kRename, ResultCommand::kNewFolder}) {
        action_menu_->addAction(actions_->Action(command));
    }
    action_menu_->addSeparator();
    action_menu_->addAction(actions_->Action(ResultCommand::kLaunchExplorer));

    tool_bar_ = frame_.addToolBar(QStringLiteral("Result"));
    tool_bar_->setObjectName(QStringLiteral("ResultToolBar"));
    tool_bar_->setAccessibleName(QStringLiteral("Result tool bar"));
    tool_bar_->setIconSize(QSize(16, 16));
    tool_bar_->setMovable(false);
    // The main window's tool-bar pictures, so the same command looks the same.
    const std::pair<ResultCommand, ToolGlyph> tools[] = {{ResultCommand::kCut, ToolGlyph::Cut},
                                                         {ResultCommand::kCopy, ToolGlyph::Copy},
                                                         {ResultCommand::kPaste, ToolGlyph::Paste},
                                                         {ResultCommand::kDelete, ToolGlyph::Delete}};
    for (const auto& [command, glyph] : tools) {
        QAction* action = actions_->Action(command);
        action->setIcon(ToolIcon(glyph));
        tool_bar_->addAction(action);
    }
    tool_bar_->addSeparator();
    tool_bar_->addAction(view_.Command(kResultUpOneLevel));
}

void ResultActionsBinding::FillContextMenu() {
    // The file commands' own order, with "&Up One Level" after the clipboard
    // commands' separator.
    std::unique_ptr<QMenu> order(actions_->ContextMenu(nullptr));
    QMenu* menu = view_.ContextMenu();
    menu->clear();
    bool up_placed = false;
    for (QAction* action : order->actions()) {
        if (!action->isSeparator()) {
            menu->addAction(action);
            continue;
        }
        menu->addSeparator();
        if (!up_placed) {
            menu->addAction(view_.Command(kResultUpOneLevel));
            menu->addSeparator();
            up_placed = true;
        }
    }
}

void ResultActionsBinding::MirrorViewCommands() {
    for (const auto& [id, command] : kViewCommands) {
        QAction* mine = view_.Command(id);
        QAction* real = actions_->Action(command);
        if (mine == nullptr)
            continue;
        mine->setEnabled(real->isEnabled());
        connect(real, &QAction::changed, mine, [mine, real] { mine->setEnabled(real->isEnabled()); });
        // The view's Rename starts the edit itself.
        if (command != ResultCommand::kRename) {
            const ResultCommand run = command;
            connect(mine, &QAction::triggered, this, [this, run] { actions_->Run(run); });
        }
    }
}

int ResultActionsBinding::DisplayMode() const {
    return document_.DisplayMode();
}

int ResultActionsBinding::RowCount() const {
    return static_cast<int>(std::max<long long>(0, document_.Result().data.row_count));
}

ResultSelectionRow ResultActionsBinding::RowAt(int position) const {
    const ReportRows& rows = view_.Model()->Rows();
    const auto& columns = rows.columns();
    const int label = ReportLabelColumn(document_.Result().data);
    ResultSelectionRow row;
    row.folder_id = rows.FolderId(position);
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        if (columns[i].parent_id)
            row.folder_path = rows.CellText(position, i, document_.Folders());
        if (columns[i].source == label)
            rows.Value(position, i).AsText(row.name);
    }
    return row;
}

ResultSelection ResultActionsBinding::Selection() const {
    if (!selection_)
        selection_ = ReadSelection();
    return *selection_;
}

ResultSelection ResultActionsBinding::ReadSelection() const {
    ResultSelection selection;
    // The top node stands for every volume: no folder to act in.
    if (document_.Result().data.current_folder_id != 0)
        selection.result_path = document_.Result().data.path;
    if (selection.result_path.size() > 1 && selection.result_path.back() == '/')
        selection.result_path.pop_back();
    for (const ReportRows::Column& column : view_.Model()->Rows().columns())
        selection.has_path_column = selection.has_path_column || column.parent_id;
    if (view_.ShowsGraph())
        return selection;
    std::vector<int> positions;
    for (const QModelIndex& index : view_.Report()->selectionModel()->selectedRows())
        positions.push_back(index.row());
    std::sort(positions.begin(), positions.end());
    for (int position : positions)
        selection.rows.push_back(RowAt(position));
    return selection;
}

bool ResultActionsBinding::Rename(int position, const std::string& text) {
    if (position < 0 || position >= view_.Model()->Rows().ItemCount())
        return false;
    return actions_->FinishRename(RowAt(position), text);
}

void ResultActionsBinding::RerunResult() {
    rerun_pending_ = true;
    ScheduleRefresh();
}

void ResultActionsBinding::NotifyOtherViews(int hint) {
    // The folder tree is read again whole: a renamed folder's new name is
    // in it, and a moved or new folder too. Its rebuild runs the result.
    if (hint == kHintContentsChanged || hint == kHintFolderNameChanged)
        rebuild_pending_ = true;
    renamed_pending_ = renamed_pending_ || hint == kHintFolderNameChanged;
    ScheduleRefresh();
}

void ResultActionsBinding::BeginRename() {
    view_.StartRename();
}

void ResultActionsBinding::BeginRenameOf(const std::string& name) {
    rename_pending_ = name;
    ScheduleRefresh();
}

QImage ResultActionsBinding::GraphPicture() const {
    if (!view_.ShowsGraph())
        return {};
    return view_.GraphPane()->Widget()->grab().toImage();
}

void ResultActionsBinding::ScheduleRefresh() {
    if (refresh_scheduled_)
        return;
    refresh_scheduled_ = true;
    QTimer::singleShot(0, this, &ResultActionsBinding::Refresh);
}

void ResultActionsBinding::Refresh() {
    refresh_scheduled_ = false;
    const bool rebuild = std::exchange(rebuild_pending_, false);
    const bool rerun = std::exchange(rerun_pending_, false);
    const bool renamed = std::exchange(renamed_pending_, false);
    if (rebuild) {
        // Every result on the catalogue shows what is on disk now, and
        // none stays on a folder number that moved.
        for (ResultWindowDocument* other : document_.OtherResults())
            other->FollowCatalogueChange(renamed, false);
        if (document_.Context().open_documents) {
            for (WindowDocument* open : document_.Context().open_documents()) {
                if (auto* query = qobject_cast<CQueryDoc*>(open))
                    query->ResolveStartingFolderAgain();
            }
        }
        document_.FollowCatalogueChange(renamed, true);
    } else if (rerun) {
        document_.Rerun();
    }
    const std::string name = std::exchange(rename_pending_, std::string());
    if (const int position = name.empty() ? -1 : PositionOfName(name); position >= 0) {
        QTableView* report = view_.Report();
        const QModelIndex label = view_.Model()->index(position, 0);
        report->setCurrentIndex(label);
        report->scrollTo(label);
        view_.StartRename();
    }
    actions_->UpdateActions();
}

int ResultActionsBinding::PositionOfName(const std::string& name) const {
    const ReportRows& rows = view_.Model()->Rows();
    for (int i = 0; i < rows.ItemCount(); ++i) {
        if (RowAt(i).name == name)
            return i;
    }
    return -1;
}

}  // namespace korvane
