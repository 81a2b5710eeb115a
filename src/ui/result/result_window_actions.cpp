#include "ui/result/result_window_actions.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMenuBar>

#include "actions/catalogue_sync.h"

namespace korvane {

ResultWindowActions::ResultWindowActions(FileActionContext& context, ResultWindowDocument& document,
                                         CResultView& report, CDriveView& drive, QWidget* window)
    : document_(document), report_(report), drive_(drive) {
    actions_ = std::make_unique<ResultActions>(context, *this, window);
    ResultActions& actions = *actions_;
    report_.SetContextMenuProvider([this, &actions](QWidget* parent) {
        actions.UpdateActions();
        QMenu* menu = actions.ContextMenu(parent);
        // Up One Level stands between the clipboard commands and the file commands.
        QAction* first_separator = nullptr;
        for (QAction* item : menu->actions()) {
            if (item->isSeparator()) {
                first_separator = item;
                break;
            }
        }
        QAction* before = nullptr;
        if (first_separator != nullptr) {
            const auto items = menu->actions();
            const auto at = items.indexOf(first_separator);
            before = at + 1 < items.size() ? items[at + 1] : nullptr;
        }
        menu->insertAction(before, report_.Command(kResultUpOneLevel));
        menu->insertSeparator(before);
        return menu;
    });
    report_.SetDeleteCommand(actions.Action(ResultCommand::kDelete));
    report_.Model()->SetRenameHandler([this, &actions](int position, const std::string& name) {
        return actions.FinishRename(report_.RowAt(position), name);
    });
    QObject::connect(report_.Report()->selectionModel(), &QItemSelectionModel::selectionChanged,
                     actions_.get(), [&actions] { actions.UpdateActions(); });
    QObject::connect(report_.Model(), &QAbstractItemModel::modelReset, actions_.get(),
                     [&actions] { actions.UpdateActions(); });
    actions.UpdateActions();
}

ResultWindowActions::~ResultWindowActions() {
    report_.SetContextMenuProvider({});
    report_.SetDeleteCommand(nullptr);
    report_.Model()->SetRenameHandler({});
}

void ResultWindowActions::AddMenus(QMenuBar& bar) {
    ResultActions& actions = *actions_;
    QMenu* edit = bar.addMenu(QStringLiteral("&Edit"));
    for (ResultCommand command :
         {ResultCommand::kCut, ResultCommand::kCopy, ResultCommand::kPaste, ResultCommand::kPasteShortcut,
          ResultCommand::kDelete, ResultCommand::kRename, ResultCommand::kNewFolder}) {
        edit->addAction(actions.Action(command));
    }
    QMenu* action = bar.addMenu(QStringLiteral("&Action"));
    for (ResultCommand command :
         {ResultCommand::kCompress, ResultCommand::kUncompress, ResultCommand::kLink,
          ResultCommand::kSetFileTime, ResultCommand::kSetFileOwner, ResultCommand::kLaunchExplorer}) {
        action->addAction(actions.Action(command));
    }
    for (QMenu* menu : {edit, action})
        QObject::connect(menu, &QMenu::aboutToShow, actions_.get(), [&actions] { actions.UpdateActions(); });
}

void ResultWindowActions::NotifyOtherViews(int hint) {
    if (hint & kHintFolderNameChanged) {
        // The tree's items read their names from the folder tree as they paint.
        drive_.viewport()->update();
    }
    // The actions run the result themselves afterwards: the tree only follows.
    if ((hint & kHintContentsChanged) && !drive_.BusyWithOwnChange())
        drive_.Rebuild(false);
}

QImage ResultWindowActions::GraphPicture() const {
    if (!report_.ShowsGraph())
        return {};
    return report_.GraphPane()->Widget()->grab().toImage();
}

}  // namespace korvane
