#include "ui/actions/result_actions.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QUrl>
#include <memory>

#include "actions/file_properties.h"
#include "app/text_helpers.h"
#include "result/result_data.h"
#include "ui/actions/clipboard_bridge.h"
#include "ui/actions/set_owner_dialog.h"
#include "ui/actions/set_time_dialog.h"

namespace korvane {
namespace {

struct CommandText {
    ResultCommand command;
    const char* text;
    const char* prompt;  // status text, then the tip after "\n"
    QKeySequence::StandardKey key;
};

constexpr CommandText kCommands[] = {
    {ResultCommand::kCut, "Cu&t\tCtrl+X", "Cut the selection and put it on the Clipboard\nCut",
     QKeySequence::Cut},
    {ResultCommand::kCopy, "&Copy\tCtrl+C", "Copy the selection and put it on the Clipboard\nCopy",
     QKeySequence::Copy},
    {ResultCommand::kPaste, "&Paste\tCtrl+V", "Insert Clipboard contents\nPaste", QKeySequence::Paste},
    {ResultCommand::kPasteShortcut, "Paste &Shortcut",
     "Insert shortcuts to the Clipboard's files\nPaste Shortcut", QKeySequence::UnknownKey},
    {ResultCommand::kDelete, "&Delete...", "Delete Files or Folders\nDelete", QKeySequence::UnknownKey},
    {ResultCommand::kRename, "&Rename...", "Rename Files or Folders\nRename", QKeySequence::UnknownKey},
    {ResultCommand::kCompress, "&Compress", "Compress Files or Folders\nCompress", QKeySequence::UnknownKey},
    {ResultCommand::kUncompress, "U&ncompress", "Uncompress Files or Folders\nUncompress",
     QKeySequence::UnknownKey},
    {ResultCommand::kLink, "&Link...", "Move files and leave shortcuts behind\nLink",
     QKeySequence::UnknownKey},
    {ResultCommand::kNewFolder, "&New Folder", "Create a new folder\nNew Folder", QKeySequence::UnknownKey},
    {ResultCommand::kLaunchExplorer, "&Launch Explorer",
     "Show the folder in the file manager\nLaunch Explorer", QKeySequence::UnknownKey},
    {ResultCommand::kSetFileTime, "Set File &Time...", "Changes file time stamps.\nSet File Time",
     QKeySequence::UnknownKey},
    {ResultCommand::kSetFileOwner, "Set File O&wner...", "Changes file ownership.\nSet File Owner",
     QKeySequence::UnknownKey},
};

// The menu text without its "\t" accelerator part (the shortcut is the action's own).
QString MenuText(const char* text) {
    const QString whole = QString::fromUtf8(text);
    return whole.section('\t', 0, 0);
}

class ScopedProgress {
  public:
    explicit ScopedProgress(UserInterface& ui) : window_(ui.CreateProgressWindow()) {}
    ProgressWindow* get() const { return window_.get(); }

  private:
    std::unique_ptr<ProgressWindow> window_;
};

}  // namespace

ResultActions::ResultActions(FileActionContext& context, ResultWindowAccess& window, QWidget* parent_window,
                             QClipboard* clipboard)
    : QObject(parent_window),
      context_(context),
      window_(window),
      parent_window_(parent_window),
      clipboard_(clipboard != nullptr ? clipboard : QApplication::clipboard()) {
    for (const CommandText& entry : kCommands) {
        auto* action = new QAction(MenuText(entry.text), this);
        const QString prompt = QString::fromUtf8(entry.prompt);
        action->setStatusTip(prompt.section('\n', 0, 0));
        action->setToolTip(prompt.section('\n', 1, 1));
        if (entry.key != QKeySequence::UnknownKey) {
            action->setShortcut(entry.key);
        }
        const ResultCommand command = entry.command;
        connect(action, &QAction::triggered, this, [this, command] { Run(command); });
        actions_[static_cast<std::size_t>(command)] = action;
    }
    connect(clipboard_, &QClipboard::dataChanged, this, &ResultActions::UpdateActions);
    UpdateActions();
}

bool ResultActions::IsEnabled(ResultCommand command) const {
    const bool report = window_.DisplayMode() == kDisplayReport;
    switch (command) {
        case ResultCommand::kCut:
            return report && !window_.Selection().rows.empty();
        case ResultCommand::kCopy:
            return window_.RowCount() > 0 && (!report || !window_.Selection().rows.empty());
        case ResultCommand::kPaste: {
            ClipboardFiles files;
            return ReadFilesFromClipboard(*clipboard_, files);
        }
        default:
            return true;
    }
}

void ResultActions::UpdateActions() {
    for (std::size_t i = 0; i < kResultCommandCount; ++i) {
        actions_[i]->setEnabled(IsEnabled(static_cast<ResultCommand>(i)));
    }
}

QMenu* ResultActions::ContextMenu(QWidget* parent) const {
    auto* menu = new QMenu(parent);
    for (const ResultCommand command :
         {ResultCommand::kCut, ResultCommand::kCopy, ResultCommand::kPaste, ResultCommand::kPasteShortcut}) {
        menu->addAction(Action(command));
    }
    // "Up One Level" belongs to the result view and goes here, between the
    // clipboard commands and the file commands.
    menu->addSeparator();
    for (const ResultCommand command :
         {ResultCommand::kCompress, ResultCommand::kUncompress, ResultCommand::kSetFileTime,
          ResultCommand::kSetFileOwner, ResultCommand::kLink, ResultCommand::kDelete, ResultCommand::kRename,
          ResultCommand::kNewFolder, ResultCommand::kLaunchExplorer}) {
        menu->addAction(Action(command));
    }
    Action(ResultCommand::kSetFileOwner)->setEnabled(true);
    return menu;
}

void ResultActions::Run(ResultCommand command) {
    switch (command) {
        case ResultCommand::kCut:
            return CutOrCopy(true);
        case ResultCommand::kCopy:
            return CutOrCopy(false);
        case ResultCommand::kPaste:
            return Paste(false);
        case ResultCommand::kPasteShortcut:
            return Paste(true);
        case ResultCommand::kDelete:
            return Delete();
        case ResultCommand::kRename:
            return window_.BeginRename();
        case ResultCommand::kCompress:
            return Compress(true);
        case ResultCommand::kUncompress:
            return Compress(false);
        case ResultCommand::kLink:
            return Link();
        case ResultCommand::kNewFolder:
            return NewFolder();
        case ResultCommand::kLaunchExplorer:
            return LaunchExplorer();
        case ResultCommand::kSetFileTime:
            return SetFileTime();
        case ResultCommand::kSetFileOwner:
            return SetFileOwner();
    }
}

bool ResultActions::BuildList(SelectionOptions options, SelectionList& list) {
    return BuildSelectionList(window_.Selection(), options, context_.catalogue, context_.tree, context_.ui,
                              list);
}

void ResultActions::ReportFailures(const ActionOutcome& outcome) {
    if (outcome.failed == 0 || outcome.first_error.empty()) {
        return;
    }
    std::string text = outcome.first_error;
    if (outcome.failed > 1) {
        text += "\n(" + std::to_string(outcome.failed - 1) + " more could not be done.)";
    }
    context_.ui.ShowMessage(text, MessageIcon::Exclamation, MessageButtons::Ok);
}

void ResultActions::AfterChange(const ActionOutcome& outcome, bool rerun) {
    ReportFailures(outcome);
    if (outcome.hints != 0) {
        window_.NotifyOtherViews(outcome.hints & kHintFolderNameChanged ? kHintFolderNameChanged
                                                                        : kHintContentsChanged);
    }
    if (rerun) {
        window_.RerunResult();
    }
    UpdateActions();
}

void ResultActions::CutOrCopy(bool cut) {
    if (!cut && window_.DisplayMode() != kDisplayReport) {
        const QImage picture = window_.GraphPicture();
        if (!picture.isNull()) {
            clipboard_->setImage(picture.convertToFormat(QImage::Format_Indexed8));
        }
        return;
    }
    SelectionList list;
    if (!BuildList(SelectionOptions{false, !cut}, list)) {
        return;
    }
    ClipboardFiles files;
    if (cut) {
        files = ClipboardFiles{list.paths, true};
    } else {
        ScopedProgress progress(context_.ui);
        if (!FilesToCopy(context_, list, list.held_ftp ? progress.get() : nullptr, files)) {
            return;
        }
    }
    PutFilesOnClipboard(*clipboard_, files);
    UpdateActions();
}

void ResultActions::Paste(bool shortcuts) {
    const ResultSelection selection = window_.Selection();
    if (StartsWithNoCase(selection.result_path, "ftp:")) {
        context_.ui.ShowMessage(kFtpNotSupportedMessage, MessageIcon::Stop, MessageButtons::Ok);
        return;
    }
    if (selection.result_path.empty()) {
        return;
    }
    ClipboardFiles files;
    if (!ReadFilesFromClipboard(*clipboard_, files) || files.paths.empty()) {
        return;
    }
    ScopedProgress progress(context_.ui);
    const ActionOutcome outcome = shortcuts
                                      ? PasteShortcuts(context_, files, selection.result_path, progress.get())
                                      : PasteFiles(context_, files, selection.result_path, progress.get());
    // What was cut is on the clipboard no more once it moved.
    if (files.cut && outcome.done > 0) {
        clipboard_->clear();
    }
    AfterChange(outcome, false);
}

void ResultActions::Delete() {
    SelectionList list;
    if (!BuildList(SelectionOptions{false, false}, list)) {
        return;
    }
    ScopedProgress progress(context_.ui);
    const ActionOutcome outcome = DeleteSelection(context_, list, progress.get());
    if (outcome.cancelled && outcome.done == 0) {
        return;
    }
    AfterChange(outcome, true);
}

bool ResultActions::FinishRename(const ResultSelectionRow& row, const std::string& text) {
    if (text.empty() || text == row.name) {
        return false;
    }
    const ResultSelection selection = window_.Selection();
    const std::string folder = selection.has_path_column ? row.folder_path : selection.result_path;
    ActionOutcome outcome;
    if (!RenameEntry(context_, folder, row.name, text, outcome)) {
        return false;
    }
    AfterChange(outcome, true);
    return true;
}

void ResultActions::Compress(bool compress) {
    SelectionList list;
    if (!BuildList(SelectionOptions{false, false}, list)) {
        return;
    }
    const ActionOutcome outcome = CompressSelection(context_, list, compress);
    AfterChange(outcome, outcome.done > 0);
}

void ResultActions::Link() {
    SelectionList list;
    if (!BuildList(SelectionOptions{true, false}, list)) {
        return;
    }
    std::string destination;
    if (!context_.ui.ChooseFolder(kLinkDestinationTitle, destination)) {
        return;
    }
    if (destination.empty()) {
        context_.ui.ShowMessage(kInvalidSelectionMessage, MessageIcon::None, MessageButtons::Ok);
        return;
    }
    ScopedProgress progress(context_.ui);
    const ActionOutcome outcome = LinkSelection(context_, list, destination, progress.get());
    AfterChange(outcome, outcome.done > 0);
}

void ResultActions::NewFolder() {
    const ResultSelection selection = window_.Selection();
    std::string name;
    ActionOutcome outcome;
    if (!CreateNewFolder(context_, selection.result_path, name, outcome)) {
        return;
    }
    AfterChange(outcome, false);
    window_.BeginRenameOf(name);
}

void ResultActions::LaunchExplorer() {
    const ResultSelection selection = window_.Selection();
    std::string folder = selection.result_path;
    std::string item;
    if (!selection.rows.empty()) {
        const ResultSelectionRow& row = selection.rows.front();
        if (selection.has_path_column && !row.folder_path.empty())
            folder = row.folder_path;
        item = JoinPath(folder, row.name, '/');
    }
    // A site or the top of all volumes is no folder here: the file manager
    // opens at its own starting place.
    if (folder.empty() || StartsWithNoCase(folder, "ftp:")) {
        folder = QFile::encodeName(QDir::homePath()).toStdString();
        item.clear();
    }
    ShowInFileManager(folder, item);
}

void ResultActions::SetFileTime() {
    SelectionList list;
    if (!BuildList(SelectionOptions{false, false}, list)) {
        return;
    }
    SetTimeDialog dialog(parent_window_, SummarizeTimes(list), QDateTime::currentDateTime());
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const ActionOutcome outcome = SetTimesOfSelection(context_, list, dialog.ChosenTime(), dialog.Choice());
    AfterChange(outcome, true);
}

void ResultActions::SetFileOwner() {
    SelectionList list;
    if (!BuildList(SelectionOptions{true, false}, list)) {
        return;
    }
    const OwnerSummary summary = SummarizeOwners(context_, list);
    AccountTree accounts;
    int count = 0;
    if (!ListVolumeAccounts(context_.netware, summary.volume, accounts, context_.ui, count)) {
        return;
    }
    if (count == 0) {
        context_.ui.ShowMessage(NoAccountsReport(summary.volume), MessageIcon::Stop, MessageButtons::Ok);
        return;
    }
    SetOwnerDialog dialog(parent_window_, summary, accounts, list.holds_folder);
    if (dialog.exec() != QDialog::Accepted || dialog.ChosenAccount().empty()) {
        return;
    }
    const ActionOutcome outcome = SetOwnerOfSelection(context_, list, dialog.ChosenAccount());
    // Per-path failures were shown as they happened.
    ActionOutcome shown = outcome;
    shown.failed = 0;
    AfterChange(shown, true);
}

bool ShowInFileManager(const std::string& folder, const std::string& item) {
    return ShowInFileManager(folder, item, QDBusConnection::sessionBus());
}

bool ShowInFileManager(const std::string& folder, const std::string& item, QDBusConnection bus) {
    auto url_of = [](const std::string& path) {
        return QUrl::fromLocalFile(QFile::decodeName(path.c_str())).toString(QUrl::FullyEncoded);
    };
    constexpr const char* kService = "org.freedesktop.FileManager1";
    if (bus.isConnected() && bus.interface() != nullptr && bus.interface()->isServiceRegistered(kService)) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            kService, "/org/freedesktop/FileManager1", kService, item.empty() ? "ShowFolders" : "ShowItems");
        call << QStringList{url_of(item.empty() ? folder : item)} << QString();
        if (bus.call(call, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage) {
            return true;
        }
    }
    // The desktop's opener with the folder as a URL: never taken for an
    // option, whatever the folder's name.
    return QProcess::startDetached(QStringLiteral("xdg-open"), {url_of(folder)});
}

}  // namespace korvane
