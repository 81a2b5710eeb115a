#include "ui/query/query_frame.h"

#include <QAction>
#include <QFileDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <filesystem>
#include <fstream>

#include "app/text_helpers.h"
#include "query/query_editing.h"
#include "query/query_execute.h"
#include "ui/main_frame.h"
#include "ui/query/criteria_windows.h"
#include "ui/query/query_dialogs.h"

namespace korvane {

CQueryFrame::CQueryFrame(CQueryDoc& document, QWidget* parent)
    : DocumentFrame(document, parent), document_(document) {
    setObjectName(QStringLiteral("CQueryFrame"));
    fields_ = new CFieldView(document, this);
    criteria_ = new CQueryView(document, this);
    criteria_->SetCriteriaEditor(EditCriteria);
    AddView(fields_);
    AddView(criteria_);
    MakeSplitter(fields_, criteria_, 150);
    // Pane 0 shows the starting folder, pane 1 the description.
    MakeStatusPanes({150, 0});
    StatusPane(0)->setAccessibleName(QStringLiteral("Initial query folder"));
    StatusPane(1)->setAccessibleName(QStringLiteral("Description"));
    criteria_->SetStatusPanes(StatusPane(0), StatusPane(1));

    AddCommand(kQueryExecute, QStringLiteral("&Execute"), QStringLiteral("Execute the query"),
               QStyle::SP_MediaPlay);
    AddCommand(kQueryIncludeSubfolders, QStringLiteral("&Include Subfolders"),
               QStringLiteral("Include the folders below the initial query folder"),
               QStyle::SP_FileDialogDetailedView)
        ->setCheckable(true);
    AddCommand(kQueryResultThreshold, QStringLiteral("Result &Threshold..."),
               QStringLiteral("Limit the rows of the result"), QStyle::SP_FileDialogListView);
    AddCommand(kQueryInitialFolder, QStringLiteral("Initial Query &Folder..."),
               QStringLiteral("Choose the folder the query starts in"), QStyle::SP_DirOpenIcon);
    AddCommand(kQueryDescription, QStringLiteral("&Description..."), QStringLiteral("Describe the query"),
               QStyle::SP_FileDialogInfoView);
    AddCommand(kQueryDuplicates, QStringLiteral("Duplicate File &Setup..."),
               QStringLiteral("Find duplicate files."), QStyle::SP_FileDialogContentsView)
        ->setCheckable(true);
    AddCommand(kQuerySelectVolume, QStringLiteral("&Select Volume..."),
               QStringLiteral("Choose the volumes of the catalogue"), QStyle::SP_DriveHDIcon);

    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Query"));
    for (int id : {kQueryExecute, kQueryIncludeSubfolders, kQueryResultThreshold, kQueryInitialFolder,
                   kQueryDescription, kQueryDuplicates, kQuerySelectVolume}) {
        menu->addAction(CommandAction(id));
    }
    connect(menu, &QMenu::aboutToShow, this, &CQueryFrame::UpdateCommands);

    tool_bar_ = addToolBar(QStringLiteral("Query"));
    tool_bar_->setObjectName(QStringLiteral("QueryToolBar"));
    tool_bar_->setIconSize(QSize(16, 16));
    for (int id : {kQueryExecute, kQueryIncludeSubfolders, kQueryResultThreshold, kQueryInitialFolder,
                   kQueryDescription, kQuerySelectVolume}) {
        tool_bar_->addAction(CommandAction(id));
    }
    // The duplicates button stays hidden in a query window; the Query menu
    // carries the command, so a person can still reach its dialog.
    QAction* duplicates_button = tool_bar_->addAction(CommandAction(kQueryDuplicates)->icon(),
                                                      QStringLiteral("Find duplicate files."));
    duplicates_button->setData(kQueryDuplicates);
    duplicates_button->setVisible(false);
    connect(duplicates_button, &QAction::triggered, this, &CQueryFrame::OnDuplicates);

    connect(&document, &WindowDocument::Updated, this, &CQueryFrame::UpdateCommands);
    for (DocumentView* view : Views())
        view->OnUpdate(0);
    UpdateCommands();
}

QAction* CQueryFrame::AddCommand(int id, const QString& text, const QString& prompt,
                                 QStyle::StandardPixmap icon) {
    auto* action = new QAction(style()->standardIcon(icon), text, this);
    action->setData(id);
    action->setStatusTip(prompt);
    action->setToolTip(QString(text).remove(QLatin1Char('&')).remove(QStringLiteral("...")));
    commands_[id] = action;
    switch (id) {
        case kQueryExecute:
            connect(action, &QAction::triggered, this, &CQueryFrame::OnExecute);
            break;
        case kQueryIncludeSubfolders:
            connect(action, &QAction::triggered, this, &CQueryFrame::OnIncludeSubfolders);
            break;
        case kQueryResultThreshold:
            connect(action, &QAction::triggered, this, &CQueryFrame::OnResultThreshold);
            break;
        case kQueryInitialFolder:
            connect(action, &QAction::triggered, this, &CQueryFrame::OnInitialFolder);
            break;
        case kQueryDescription:
            connect(action, &QAction::triggered, this, &CQueryFrame::OnDescription);
            break;
        case kQueryDuplicates:
            connect(action, &QAction::triggered, this, &CQueryFrame::OnDuplicates);
            break;
        default:
            connect(action, &QAction::triggered, this, &CQueryFrame::OnSelectVolume);
            break;
    }
    return action;
}

QAction* CQueryFrame::CommandAction(int id) const {
    auto found = commands_.find(id);
    return found == commands_.end() ? nullptr : found->second;
}

void CQueryFrame::UpdateCommands() {
    const QueryProfile& profile = document_.Profile();
    CommandAction(kQueryExecute)->setEnabled(profile.runnable);
    CommandAction(kQueryIncludeSubfolders)->setChecked(profile.include_subfolders);
    CommandAction(kQueryDuplicates)->setChecked(!profile.duplicates.empty());
}

CMainFrame* CQueryFrame::MainFrame() const {
    for (QWidget* up = parentWidget(); up != nullptr; up = up->parentWidget()) {
        if (auto* main = qobject_cast<CMainFrame*>(up))
            return main;
    }
    return nullptr;
}

void CQueryFrame::ShowMessage(const std::string& text) {
    if (CMainFrame* main = MainFrame()) {
        main->Ui().ShowMessage(text, MessageIcon::None, MessageButtons::Ok);
    }
}

std::string CQueryFrame::SavedQueryPath() {
    if (!document_.PathName().empty())
        return document_.PathName();
    const QString chosen = QFileDialog::getSaveFileName(this, QStringLiteral("Save As"), QString(),
                                                        QStringLiteral("Query File (*.qry)"));
    if (chosen.isEmpty())
        return {};
    std::string path = QFile::encodeName(chosen).toStdString();
    if (!EndsWithNoCase(path, ".qry"))
        path += ".qry";
    std::string error;
    if (!document_.OnSaveDocument(path, error)) {
        ShowMessage("Cannot save the document '" + DisplayText(path) + "'.\n" + error);
        return {};
    }
    return path;
}

void CQueryFrame::OnExecute() {
    QueryProfile& profile = document_.Profile();
    const ExecuteCheck check = CheckExecute(profile, document_.Folders());
    if (!check.ok) {
        ShowMessage(check.message);
        return;
    }
    CMainFrame* main = MainFrame();
    if (main == nullptr)
        return;
    const std::string query_path = SavedQueryPath();
    if (query_path.empty())
        return;
    const std::vector<WindowDocument*> open = document_.ResultsOfSameName();
    if (!open.empty()) {
        // The result of the same name runs again for the starting folder.
        WindowDocument* result = open.front();
        if (auto* link = dynamic_cast<QueryResultLink*>(result)) {
            link->LinkQueryProfile(&profile);
            link->SetCurrentFolderId(profile.initial_folder_id);
        }
        if (QMdiSubWindow* window = main->WindowOf(result))
            main->Area()->setActiveSubWindow(window);
        result->UpdateAllViews(0);
        return;
    }
    const std::optional<std::string> result_path = ResultPathOfQuery(query_path);
    if (!result_path)
        return;
    const bool exists = std::ifstream(*result_path).good();
    WindowDocument* result = exists ? main->OpenDocumentFile(*result_path) : main->NewProject(*result_path);
    if (result == nullptr)
        return;
    if (auto* link = dynamic_cast<QueryResultLink*>(result)) {
        link->LinkQueryProfile(&profile);
        link->SetCurrentFolderId(profile.initial_folder_id);
    }
    if (!exists)
        result->SetModifiedFlag(true);
    result->UpdateAllViews(0);
}

void CQueryFrame::OnIncludeSubfolders() {
    document_.SetModifiedFlag(true);
    ToggleIncludeSubfolders(document_.Profile());
    document_.UpdateAllViews();
}

void CQueryFrame::OnResultThreshold() {
    QueryProfile& profile = document_.Profile();
    CResultThresholdDialog dialog(profile.file_threshold, profile.folder_threshold, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    document_.SetModifiedFlag(true);
    profile.file_threshold = dialog.FileThreshold();
    profile.folder_threshold = dialog.FolderThreshold();
}

void CQueryFrame::OnInitialFolder() {
    QueryProfile& profile = document_.Profile();
    CInitialFolderDialog dialog(document_.Folders(), profile.initial_folder, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    FolderNode* node = dialog.ChosenNode();
    if (node == nullptr) {
        ShowMessage("Invalid selection.");
        return;
    }
    document_.SetModifiedFlag(true);
    profile.initial_folder = StartingFolderOfNode(document_.Folders(), node);
    profile.initial_folder_id = node->folder_id;
    document_.UpdateAllViews();
}

void CQueryFrame::OnDescription() {
    QueryProfile& profile = document_.Profile();
    CDescriptionDialog dialog(profile.description, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    document_.SetModifiedFlag(true);
    profile.description = dialog.Description();
    document_.UpdateAllViews();
}

void CQueryFrame::OnDuplicates() {
    QueryProfile& profile = document_.Profile();
    CDuplicateSetupDialog dialog(profile.duplicates, this);
    if (dialog.exec() != QDialog::Accepted) {
        UpdateCommands();
        return;
    }
    document_.SetModifiedFlag(true);
    profile.duplicates = DuplicatesTextOf(dialog.Choice());
    CheckQueryShape(profile);
    document_.UpdateAllViews();
}

void CQueryFrame::OnSelectVolume() {
    if (CMainFrame* main = MainFrame())
        main->OnSelectVolume();
}

}  // namespace korvane
