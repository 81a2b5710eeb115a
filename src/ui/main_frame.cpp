#include "ui/main_frame.h"

#include <fcntl.h>
#include <unistd.h>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QUrlQuery>
#include <QWhatsThis>
#include <algorithm>
#include <filesystem>

#include "app/event_log.h"
#include "app/settings.h"
#include "app/text_helpers.h"
#include "app/tip_of_the_day.h"
#include "ui/about_box.h"
#include "ui/event_viewer.h"
#include "ui/icons.h"
#include "ui/options_dialog.h"
#include "ui/query/query_document.h"
#include "ui/splash_window.h"
#include "ui/tip_dialog.h"
#include "ui/windowed_program.h"

namespace korvane {
namespace {

constexpr const char* kCannotCreateProject = "Cannot create project.";
constexpr const char* kNewProjectTitle = "New project.";

QString PathText(const std::string& path) {
    return QFile::decodeName(path.c_str());
}
std::string PathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// Documents are known by their absolute path, so one file is never open twice.
std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

QString FilterList(bool new_file) {
    QStringList filters;
    for (const DocumentType& type : DocumentTypes()) {
        // A type without a File New name (results) is only ever made by its query.
        if (new_file && type.Part(2).empty())
            continue;
        filters << QString::fromStdString(type.FilterName());
    }
    filters << QStringLiteral("All Files (*)");
    return filters.join(QStringLiteral(";;"));
}

QString ShortPath(const QString& path, const QFontMetrics& metrics) {
    return metrics.elidedText(path, Qt::ElideMiddle, metrics.averageCharWidth() * 60);
}

}  // namespace

CMainFrame::CMainFrame(WindowedStart& start, UserInterface& ui, QWidget* parent)
    : QMainWindow(parent), start_(start), ui_(ui), recent_(start.paths.settings_path) {
    setWindowTitle(QStringLiteral("Korvane"));
    setWindowIcon(ApplicationIcon());
    setObjectName(QStringLiteral("CMainFrame"));
    const DocumentServices services{start.folders, start.options.database, [this] { return Documents(); }};
    for (const DocumentTemplate& info : StandardDocumentTemplates(start_, ui_, services))
        templates_.push_back({info, {}});

    area_ = new QMdiArea(this);
    area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area_->setBackground(QColor(128, 128, 128));
    setCentralWidget(area_);

    CreateCommands();
    CreateToolBar();
    CreateMenus();

    status_ = new FrameStatusBar(this);
    setStatusBar(status_);
    status_->StartClock();
    status_->WatchMenus(menuBar());

    recent_.Load();
    RefreshRecentFiles();
    connect(area_, &QMdiArea::subWindowActivated, this, [this] {
        FollowServedEditCommands();
        UpdateCommands();
        UpdateTitle();
    });
    connect(qApp, &QApplication::focusChanged, this, [this] { UpdateCommands(); });
    UpdateCommands();
    if (start_.show_splash)
        StartSplash();
}

CMainFrame::~CMainFrame() {
    // Nothing may call back into this half-destroyed window; the document
    // windows go first (closed ones waiting for deletion too), each taking
    // its document with it while the lists that know the documents are here.
    disconnect(qApp, nullptr, this, nullptr);
    disconnect(area_, nullptr, this, nullptr);
    closing_all_ = true;
    const auto windows = area_->findChildren<QMdiSubWindow*>();
    for (QMdiSubWindow* window : windows)
        delete window;
}

QAction* CMainFrame::AddCommand(int id, const QString& text, const QString& prompt,
                                const QKeySequence& shortcut) {
    auto* action = new QAction(text, this);
    action->setData(id);
    action->setStatusTip(prompt);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    commands_[id] = action;
    return action;
}

QAction* CMainFrame::CommandAction(int id) const {
    const auto found = commands_.find(id);
    return found == commands_.end() ? nullptr : found->second;
}

void CMainFrame::CreateCommands() {
    auto on = [this](QAction* action, void (CMainFrame::*handler)()) {
        connect(action, &QAction::triggered, this, handler);
    };
    on(AddCommand(kFileNew, QStringLiteral("&New...\tCtrl+N"), QStringLiteral("Create a new document"),
                  QKeySequence::New),
       &CMainFrame::OnFileNew);
    on(AddCommand(kFileOpen, QStringLiteral("&Open...\tCtrl+O"), QStringLiteral("Open an existing document"),
                  QKeySequence::Open),
       &CMainFrame::OnFileOpen);
    on(AddCommand(kFileClose, QStringLiteral("&Close"), QStringLiteral("Close the active document")),
       &CMainFrame::OnFileClose);
    on(AddCommand(kFileSave, QStringLiteral("&Save\tCtrl+S"), QStringLiteral("Save the active document"),
                  QKeySequence::Save),
       &CMainFrame::OnFileSave);
    on(AddCommand(kFileSaveAs, QStringLiteral("Save &As..."),
                  QStringLiteral("Save the active document with a new name")),
       &CMainFrame::OnFileSaveAs);
    on(AddCommand(kFilePrint, QStringLiteral("&Print...\tCtrl+P"),
                  QStringLiteral("Print the active document"), QKeySequence::Print),
       &CMainFrame::OnFilePrint);
    on(AddCommand(kFilePrintPreview, QStringLiteral("Print Pre&view"), QStringLiteral("Display full pages")),
       &CMainFrame::OnFilePrintPreview);
    on(AddCommand(kFilePrintSetup, QStringLiteral("P&rint Setup..."),
                  QStringLiteral("Change the printer and printing options")),
       &CMainFrame::OnFilePrintSetup);
    on(AddCommand(kFileSendMail, QStringLiteral("Send &mail"),
                  QStringLiteral("Send the active document through electronic mail")),
       &CMainFrame::OnSendMail);
    connect(AddCommand(kAppExit, QStringLiteral("E&xit"),
                       QStringLiteral("Quit the application; prompts to save documents")),
            &QAction::triggered, this, &QWidget::close);
    recent_placeholder_ =
        AddCommand(kFileMruFirst, QStringLiteral("Recent File"), QStringLiteral("Open this document"));
    recent_placeholder_->setEnabled(false);

    AddCommand(kEditCut, QStringLiteral("Cu&t\tCtrl+X"),
               QStringLiteral("Cut the selection and put it on the Clipboard"))
        ->setIcon(ToolIcon(ToolGlyph::Cut));
    AddCommand(kEditCopy, QStringLiteral("&Copy\tCtrl+C"),
               QStringLiteral("Copy the selection and put it on the Clipboard"));
    AddCommand(kEditPaste, QStringLiteral("&Paste\tCtrl+V"), QStringLiteral("Insert Clipboard contents"));
    AddCommand(kEditDelete, QStringLiteral("&Delete"), QStringLiteral("Delete the selection"));
    for (int id : {kEditCut, kEditCopy, kEditPaste, kEditDelete})
        connect(CommandAction(id), &QAction::triggered, this, [this, id] { RunEditCommand(id); });

    QAction* toolbar =
        AddCommand(kViewToolbar, QStringLiteral("&Toolbar"), QStringLiteral("Show or hide the toolbar"));
    toolbar->setCheckable(true);
    toolbar->setChecked(true);
    QAction* status_bar = AddCommand(kViewStatusBar, QStringLiteral("&Status Bar"),
                                     QStringLiteral("Show or hide the status bar"));
    status_bar->setCheckable(true);
    status_bar->setChecked(true);
    connect(status_bar, &QAction::toggled, this, [this](bool shown) { status_->setVisible(shown); });
    on(AddCommand(kOptions, QStringLiteral("&Options..."),
                  QStringLiteral("Change the catalogue, mail and display settings")),
       &CMainFrame::OnOptions);
    on(AddCommand(kViewEvents, QStringLiteral("&Events..."), QStringLiteral("Show the event messages")),
       &CMainFrame::OnViewEvents);
    on(AddCommand(kSelectVolume, QStringLiteral("&Select Volume..."),
                  QStringLiteral("Choose the volumes of the catalogue and build it")),
       &CMainFrame::OnSelectVolume);

    QAction* help_topics =
        AddCommand(kHelpTopics, QStringLiteral("&Help Topics"), QStringLiteral("List Help topics"));
    help_topics->setEnabled(false);
    on(AddCommand(kTipOfTheDay, QStringLiteral("Ti&p of the Day..."),
                  QStringLiteral("Displays a Tip of the Day.")),
       &CMainFrame::OnTipOfTheDay);
    on(AddCommand(kAbout, QStringLiteral("&About Korvane..."),
                  QStringLiteral("Display program information and version number")),
       &CMainFrame::OnAbout);
    connect(AddCommand(kContextHelp, QStringLiteral("&What's This?"),
                       QStringLiteral("Display help for clicked on buttons, menus and windows"),
                       QKeySequence(Qt::SHIFT | Qt::Key_F1)),
            &QAction::triggered, this, [] { QWhatsThis::enterWhatsThisMode(); });

    connect(AddCommand(kWindowCascade, QStringLiteral("&Cascade"),
                       QStringLiteral("Arrange windows so they overlap")),
            &QAction::triggered, this, [this] { area_->cascadeSubWindows(); });
    connect(AddCommand(kWindowTile, QStringLiteral("&Tile"),
                       QStringLiteral("Arrange windows as non-overlapping tiles")),
            &QAction::triggered, this, [this] { area_->tileSubWindows(); });
    connect(AddCommand(kWindowArrange, QStringLiteral("&Arrange Icons"),
                       QStringLiteral("Arrange icons at the bottom of the window")),
            &QAction::triggered, this, [this] { area_->tileSubWindows(); });

    CommandAction(kFileNew)->setIcon(ToolIcon(ToolGlyph::New));
    CommandAction(kFileOpen)->setIcon(ToolIcon(ToolGlyph::Open));
    CommandAction(kFileSave)->setIcon(ToolIcon(ToolGlyph::Save));
    CommandAction(kEditCopy)->setIcon(ToolIcon(ToolGlyph::Copy));
    CommandAction(kEditPaste)->setIcon(ToolIcon(ToolGlyph::Paste));
    CommandAction(kEditDelete)->setIcon(ToolIcon(ToolGlyph::Delete));
    CommandAction(kFilePrint)->setIcon(ToolIcon(ToolGlyph::Print));
    CommandAction(kAbout)->setIcon(ToolIcon(ToolGlyph::About));
    CommandAction(kContextHelp)->setIcon(ToolIcon(ToolGlyph::ContextHelp));
    const std::pair<int, const char*> tips[] = {
        {kFileNew, "New"},   {kFileOpen, "Open"},    {kFileSave, "Save"},     {kEditCut, "Cut"},
        {kEditCopy, "Copy"}, {kEditPaste, "Paste"},  {kEditDelete, "Delete"}, {kFilePrint, "Print"},
        {kAbout, "About"},   {kContextHelp, "Help"},
    };
    for (const auto& [id, tip] : tips)
        CommandAction(id)->setToolTip(QString::fromLatin1(tip));
}

void CMainFrame::CreateToolBar() {
    tool_bar_ = new QToolBar(QStringLiteral("Standard"), this);
    tool_bar_->setObjectName(QStringLiteral("MainToolBar"));
    tool_bar_->setIconSize(QSize(16, 16));
    tool_bar_->setAllowedAreas(Qt::AllToolBarAreas);
    tool_bar_->setMovable(true);
    tool_bar_->setFloatable(true);
    // The bar keeps its Save button (disabled) when the File menu has no Save item.
    tool_save_ = new QAction(CommandAction(kFileSave)->icon(), QStringLiteral("Save"), this);
    tool_save_->setData(kFileSave);
    tool_save_->setStatusTip(CommandAction(kFileSave)->statusTip());
    tool_save_->setToolTip(QStringLiteral("Save"));
    connect(tool_save_, &QAction::triggered, this, &CMainFrame::OnFileSave);
    const int layout[] = {kFileNew,    kFileOpen, kFileSave,  0, kEditCut, kEditCopy,   kEditPaste,
                          kEditDelete, 0,         kFilePrint, 0, kAbout,   kContextHelp};
    for (int id : layout) {
        if (id == 0) {
            tool_bar_->addSeparator();
        } else {
            tool_bar_->addAction(id == kFileSave ? tool_save_ : CommandAction(id));
        }
    }
    addToolBar(Qt::TopToolBarArea, tool_bar_);
    QAction* shown = CommandAction(kViewToolbar);
    connect(shown, &QAction::toggled, tool_bar_, &QToolBar::setVisible);
    connect(tool_bar_, &QToolBar::visibilityChanged, shown, &QAction::setChecked);
}

void CMainFrame::CreateMenus() {
    file_menu_ = menuBar()->addMenu(QStringLiteral("&File"));
    for (int id : {kFileNew, kFileOpen, kFileClose, kFileSave, kFileSaveAs})
        file_menu_->addAction(CommandAction(id));
    file_menu_->addSeparator();
    for (int id : {kFilePrint, kFilePrintPreview, kFilePrintSetup})
        file_menu_->addAction(CommandAction(id));
    file_menu_->addSeparator();
    file_menu_->addAction(recent_placeholder_);
    recent_separator_ = file_menu_->addSeparator();
    file_menu_->addAction(CommandAction(kFileSendMail));
    file_menu_->addSeparator();
    file_menu_->addAction(CommandAction(kAppExit));

    edit_menu_ = menuBar()->addMenu(QStringLiteral("&Edit"));
    for (int id : {kEditCut, kEditCopy, kEditPaste, kEditDelete})
        edit_menu_->addAction(CommandAction(id));

    view_menu_ = menuBar()->addMenu(QStringLiteral("&View"));
    view_menu_->addAction(CommandAction(kViewToolbar));
    view_menu_->addAction(CommandAction(kViewStatusBar));
    view_menu_->addAction(CommandAction(kViewEvents));
    view_menu_->addSeparator();
    view_menu_->addAction(CommandAction(kOptions));
    view_menu_->addAction(CommandAction(kSelectVolume));

    window_menu_ = menuBar()->addMenu(QStringLiteral("&Window"));
    connect(window_menu_, &QMenu::aboutToShow, this, &CMainFrame::RefreshWindowMenu);

    help_menu_ = menuBar()->addMenu(QStringLiteral("&Help"));
    help_menu_->addAction(CommandAction(kHelpTopics));
    help_menu_->addAction(CommandAction(kTipOfTheDay));
    help_menu_->addSeparator();
    help_menu_->addAction(CommandAction(kAbout));
    for (QMenu* menu : {file_menu_, edit_menu_, view_menu_, window_menu_, help_menu_}) {
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommands);
    }
}

void CMainFrame::RefreshWindowMenu() {
    window_menu_->clear();
    for (int id : {kWindowCascade, kWindowTile, kWindowArrange})
        window_menu_->addAction(CommandAction(id));
    const auto windows = area_->subWindowList();
    if (!windows.isEmpty())
        window_menu_->addSeparator();
    int number = 1;
    for (QMdiSubWindow* window : windows) {
        QAction* item =
            window_menu_->addAction(QStringLiteral("&%1 %2").arg(number++).arg(window->windowTitle()));
        item->setCheckable(true);
        item->setChecked(window == area_->activeSubWindow());
        connect(item, &QAction::triggered, this, [this, window] { area_->setActiveSubWindow(window); });
    }
}

void CMainFrame::RefreshRecentFiles() {
    for (QAction* action : recent_actions_) {
        file_menu_->removeAction(action);
        action->deleteLater();
    }
    recent_actions_.clear();
    const auto& files = recent_.Files();
    recent_placeholder_->setVisible(files.empty());
    int number = 1;
    for (const std::string& path : files) {
        auto* action = new QAction(
            QStringLiteral("&%1 %2").arg(number).arg(ShortPath(PathText(path), fontMetrics())), this);
        action->setData(kFileMruFirst + number - 1);
        action->setStatusTip(QStringLiteral("Open this document"));
        connect(action, &QAction::triggered, this, [this, path] { OpenDocumentFile(path); });
        file_menu_->insertAction(recent_separator_, action);
        recent_actions_.push_back(action);
        ++number;
    }
}

void CMainFrame::UpdateCommands() {
    WindowDocument* active = ActiveDocument();
    const bool has_document = active != nullptr;
    for (int id : {kFileClose, kFileSave, kFileSaveAs}) {
        CommandAction(id)->setVisible(has_document);
        CommandAction(id)->setEnabled(has_document);
    }
    tool_save_->setEnabled(has_document);
    bool can_print = false;
    if (DocumentFrame* frame = FrameOf(active))
        can_print = frame->PrintableView() != nullptr;
    CommandAction(kFilePrint)->setEnabled(can_print);
    CommandAction(kFilePrintPreview)->setEnabled(can_print);
    CommandAction(kFileSendMail)->setEnabled(has_document && !active->PathName().empty());
    QWidget* focus = QApplication::focusWidget();
    const bool can_copy = has_document && focus != nullptr &&
                          focus->metaObject()->indexOfSlot("copy()") >= 0 && area_->isAncestorOf(focus);
    // A window with file actions serves all four; elsewhere only a text
    // view's Copy is there.
    for (int id : {kEditCut, kEditCopy, kEditPaste, kEditDelete}) {
        QAction* served = ServedEditCommand(id);
        CommandAction(id)->setEnabled(served != nullptr ? served->isEnabled() : id == kEditCopy && can_copy);
    }
    edit_menu_->menuAction()->setVisible(has_document);
    window_menu_->menuAction()->setVisible(has_document);
    CommandAction(kViewEvents)
        ->setVisible(active != nullptr && active->Type().kind == DocumentKind::Schedule);
}

QAction* CMainFrame::ServedEditCommand(int id) const {
    DocumentFrame* frame = FrameOf(ActiveDocument());
    return frame == nullptr ? nullptr : frame->EditCommand(id);
}

void CMainFrame::FollowServedEditCommands() {
    for (const QMetaObject::Connection& link : served_links_)
        disconnect(link);
    served_links_.clear();
    for (int id : {kEditCut, kEditCopy, kEditPaste, kEditDelete}) {
        if (QAction* served = ServedEditCommand(id))
            served_links_.push_back(connect(served, &QAction::changed, this, &CMainFrame::UpdateCommands));
    }
}

void CMainFrame::RunEditCommand(int id) {
    if (QAction* served = ServedEditCommand(id)) {
        served->trigger();
    } else if (QWidget* focus = QApplication::focusWidget(); id == kEditCopy && focus != nullptr) {
        QMetaObject::invokeMethod(focus, "copy");
    }
}

void CMainFrame::UpdateTitle() {
    WindowDocument* active = ActiveDocument();
    if (active == nullptr) {
        setWindowTitle(QStringLiteral("Korvane"));
    } else {
        setWindowTitle(QStringLiteral("Korvane - ") + QString::fromStdString(DisplayText(active->Title())));
    }
}

CMainFrame::Template* CMainFrame::TemplateOf(const DocumentType& type) {
    for (Template& entry : templates_) {
        if (entry.info.type->kind == type.kind)
            return &entry;
    }
    return nullptr;
}

std::vector<WindowDocument*> CMainFrame::Documents() const {
    std::vector<WindowDocument*> documents;
    for (const Template& entry : templates_) {
        documents.insert(documents.end(), entry.documents.begin(), entry.documents.end());
    }
    return documents;
}

QMdiSubWindow* CMainFrame::WindowOf(const WindowDocument* document) const {
    if (document == nullptr)
        return nullptr;
    const auto windows = area_->subWindowList();
    for (QMdiSubWindow* window : windows) {
        auto* frame = qobject_cast<DocumentFrame*>(window->widget());
        if (frame != nullptr && &frame->GetDocument() == document)
            return window;
    }
    return nullptr;
}

DocumentFrame* CMainFrame::FrameOf(const WindowDocument* document) const {
    QMdiSubWindow* window = WindowOf(document);
    return window == nullptr ? nullptr : qobject_cast<DocumentFrame*>(window->widget());
}

WindowDocument* CMainFrame::ActiveDocument() const {
    QMdiSubWindow* window = area_->activeSubWindow();
    if (window == nullptr)
        return nullptr;
    auto* frame = qobject_cast<DocumentFrame*>(window->widget());
    return frame == nullptr ? nullptr : &frame->GetDocument();
}

void CMainFrame::ShowMessage(const std::string& text, MessageIcon icon) {
    ui_.ShowMessage(text, icon, MessageButtons::Ok);
}

WindowDocument* CMainFrame::OpenDocumentFile(const std::string& given_path) {
    const std::string path = AbsolutePath(given_path);
    for (WindowDocument* document : Documents()) {
        if (document->PathName() == path) {
            area_->setActiveSubWindow(WindowOf(document));
            return document;
        }
    }
    const DocumentType* type = DocumentTypeOfPath(path);
    Template* entry = type == nullptr ? nullptr : TemplateOf(*type);
    if (entry == nullptr) {
        ShowMessage("Cannot open '" + DisplayText(path) +
                    "'.\nKorvane opens query (.qry), result (.rst) and schedule (.sch) files.");
        return nullptr;
    }
    std::unique_ptr<WindowDocument> document = entry->info.make_document();
    std::string error;
    if (!document->OnOpenDocument(path, error)) {
        ShowMessage("Cannot open the document '" + DisplayText(path) + "'.\n" + error);
        recent_.Remove(path);
        RefreshRecentFiles();
        return nullptr;
    }
    DocumentFrame* frame = entry->info.make_frame(*document);
    QMdiSubWindow* window = area_->addSubWindow(frame);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowIcon(DocumentIcon(type->kind));
    window->setWindowTitle(frame->windowTitle());
    connect(frame, &QWidget::windowTitleChanged, window, &QWidget::setWindowTitle);
    connect(document.get(), &WindowDocument::PathChanged, this, &CMainFrame::UpdateTitle);
    WindowDocument* raw = document.release();
    // The window owns its document; it goes when the window goes, after the views.
    raw->setParent(window);
    connect(raw, &QObject::destroyed, this, [this, raw] { Forget(raw); });
    frame->SetCloseGuard([this, raw] { return CanCloseDocument(*raw); });
    entry->documents.push_back(raw);
    // Each new window a step down and to the right of the last, as the
    // windows of a document frame have always cascaded.
    const QSize room = area_->viewport()->size();
    const int step = window->style()->pixelMetric(QStyle::PM_TitleBarHeight) + 6;
    const int place = static_cast<int>((area_->subWindowList().size() - 1) % 8);
    const QPoint corner(place * step, place * step);
    window->resize(std::max(420, std::min(room.width() * 3 / 4, room.width() - corner.x())),
                   std::max(300, std::min(room.height() * 3 / 4, room.height() - corner.y())));
    window->move(corner);
    window->show();
    area_->setActiveSubWindow(window);
    recent_.Add(path);
    RefreshRecentFiles();
    UpdateCommands();
    UpdateTitle();
    return raw;
}

void CMainFrame::Forget(WindowDocument* document) {
    for (Template& entry : templates_) {
        entry.documents.erase(std::remove(entry.documents.begin(), entry.documents.end(), document),
                              entry.documents.end());
    }
    if (!closing_all_) {
        UpdateCommands();
        UpdateTitle();
    }
}

bool CMainFrame::SaveDocument(WindowDocument& document) {
    std::string error;
    if (document.OnSaveDocument(document.PathName(), error)) {
        recent_.Add(document.PathName());
        RefreshRecentFiles();
        return true;
    }
    ShowMessage("Cannot save the document '" + DisplayText(document.PathName()) + "'.\n" + error);
    return false;
}

bool CMainFrame::SaveModified(WindowDocument& document) {
    if (!document.IsModified())
        return true;
    switch (ui_.ShowMessage("Save changes to " + DisplayText(document.Title()) + "?",
                            MessageIcon::Exclamation, MessageButtons::YesNoCancel)) {
        case MessageAnswer::Yes:
            return SaveDocument(document);
        case MessageAnswer::No:
            return true;
        default:
            return false;
    }
}

bool CMainFrame::CanCloseDocument(WindowDocument& document) {
    if (!closing_all_ && !SaveModified(document))
        return false;
    document.OnCloseDocument();
    Forget(&document);
    return true;
}

WindowDocument* CMainFrame::NewProject(const std::string& given_path) {
    const std::string path = AbsolutePath(given_path);
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            ShowMessage(kCannotCreateProject);
            return nullptr;
        }
        ::close(fd);
    }
    return OpenDocumentFile(path);
}

void CMainFrame::OnFileNew() {
    QFileDialog dialog(this, QString::fromLatin1(kNewProjectTitle));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(FilterList(true));
    dialog.setDefaultSuffix(QStringLiteral("qry"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        const int open = filter.indexOf(QStringLiteral("(*."));
        const int close = filter.indexOf(QLatin1Char(')'), open);
        dialog.setDefaultSuffix(open >= 0 && close > open ? filter.mid(open + 3, close - open - 3)
                                                          : QString());
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const std::string path = PathBytes(dialog.selectedFiles().front());
    std::error_code error;
    if (!std::filesystem::exists(path, error) &&
        ui_.ShowMessage(DisplayText(path) + "\nThis file does not exist.\nDo you want to create it?",
                        MessageIcon::Exclamation, MessageButtons::YesNo) != MessageAnswer::Yes) {
        return;
    }
    NewProject(path);
}

void CMainFrame::OnFileOpen() {
    const QString chosen =
        QFileDialog::getOpenFileName(this, QStringLiteral("Open"), QString(), FilterList(false));
    if (!chosen.isEmpty())
        OpenDocumentFile(PathBytes(chosen));
}

void CMainFrame::OnFileClose() {
    if (QMdiSubWindow* window = area_->activeSubWindow())
        window->close();
}

void CMainFrame::OnFileSave() {
    if (WindowDocument* document = ActiveDocument())
        SaveDocument(*document);
}

void CMainFrame::OnFileSaveAs() {
    WindowDocument* document = ActiveDocument();
    if (document == nullptr)
        return;
    const QString filter = QString::fromStdString(document->Type().FilterName());
    QFileDialog dialog(this, QStringLiteral("Save As"), PathText(document->PathName()), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QString::fromStdString(document->Type().Extension()).mid(1));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const std::string path = AbsolutePath(PathBytes(dialog.selectedFiles().front()));
    std::string error;
    if (!document->OnSaveDocument(path, error)) {
        ShowMessage("Cannot save the document '" + DisplayText(path) + "'.\n" + error);
        return;
    }
    recent_.Add(path);
    RefreshRecentFiles();
}

void CMainFrame::OnFilePrint() {
    DocumentFrame* frame = FrameOf(ActiveDocument());
    DocumentView* view = frame == nullptr ? nullptr : frame->PrintableView();
    if (view == nullptr)
        return;
    QPrintDialog dialog(&printer_, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!view->PrintDirectly(printer_))
        ShowMessage("The document could not be printed.");
}

void CMainFrame::OnFilePrintPreview() {
    DocumentFrame* frame = FrameOf(ActiveDocument());
    DocumentView* view = frame == nullptr ? nullptr : frame->PrintableView();
    if (view == nullptr)
        return;
    QPrintPreviewDialog preview(&printer_, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [view](QPrinter* printer) { view->PrintDirectly(*printer); });
    preview.exec();
}

void CMainFrame::OnFilePrintSetup() {
    QPageSetupDialog dialog(&printer_, this);
    dialog.exec();
}

void CMainFrame::OnSendMail() {
    WindowDocument* document = ActiveDocument();
    if (document == nullptr || document->PathName().empty())
        return;
    QUrl mail(QStringLiteral("mailto:"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"), QString::fromStdString(DisplayText(document->Title())));
    query.addQueryItem(QStringLiteral("attach"), PathText(document->PathName()));
    mail.setQuery(query);
    if (!QDesktopServices::openUrl(mail))
        ShowMessage("No mail program could be started.");
}

void CMainFrame::OnOptions() {
    COptions dialog(start_.paths.settings_path, start_.options, start_.upkeep, ui_, this);
    if (dialog.exec() == QDialog::Accepted && start_.options_changed)
        start_.options_changed(start_.options);
}

void CMainFrame::OnSelectVolume() {
    if (start_.select_first_volumes && start_.select_first_volumes(*this, ui_))
        RefreshResults();
}

void CMainFrame::OnTipOfTheDay() {
    TipDialog dialog(TipsFilePath(start_.paths.folder), start_.paths.settings_path, this);
    dialog.exec();
}

void CMainFrame::OnAbout() {
    ShowAboutBox(this);
}

void CMainFrame::OnViewEvents() {
    EventViewer viewer(start_.paths.event_log_path, ui_, this);
    viewer.exec();
}

void CMainFrame::StartSplash() {
    if (splash_ != nullptr)
        return;
    splash_ = new SplashWindow(LoadSplashImage(start_.paths.folder), this);
    splash_->show();
    QTimer::singleShot(kSplashMilliseconds, this, &CMainFrame::OnSplashTimer);
}

void CMainFrame::OnSplashTimer() {
    delete splash_.data();
    update();
    if (!TipsShownAtStartUp(start_.paths.settings_path))
        return;
    auto* tips = new TipDialog(TipsFilePath(start_.paths.folder), start_.paths.settings_path, this);
    tips->setAttribute(Qt::WA_DeleteOnClose);
    tips->open();
}

void CMainFrame::ReopenProjectList() {
    for (const std::string& path : ReadProjectList(start_.paths.settings_path))
        OpenDocumentFile(path);
}

bool CMainFrame::SaveProjectList() {
    std::vector<OpenDocumentInfo> documents;
    for (WindowDocument* document : Documents())
        documents.push_back({document->PathName()});
    return ::korvane::SaveProjectList(start_.paths.settings_path, documents);
}

bool CMainFrame::PrintRun(const std::string& path, QPrinter& printer) {
    WindowDocument* document = OpenDocumentFile(path);
    DocumentFrame* frame = FrameOf(document);
    if (frame == nullptr)
        return false;
    const int views = static_cast<int>(frame->Views().size()) - 1;
    if (PrintViewsDirectly(*frame, printer, [] { QApplication::beep(); }) < views) {
        // Nobody watches a print run: the log and the exit status say it failed.
        std::string reasons;
        for (std::size_t i = 1; i < frame->Views().size(); ++i) {
            const std::string reason = frame->Views()[i]->PrintError();
            if (!reason.empty())
                reasons += " " + reason;
        }
        WriteEvent(start_.paths.event_log_path, "Korvane", "Error",
                   "The document " + DisplayText(path) + " could not be printed." + reasons);
        return false;
    }
    return true;
}

void CMainFrame::RefreshResults() {
    // Queries first: the results run for the starting folders found again.
    for (WindowDocument* document : Documents()) {
        if (auto* query = qobject_cast<CQueryDoc*>(document))
            query->ResolveStartingFolderAgain();
    }
    for (WindowDocument* document : Documents()) {
        if (document->Type().kind == DocumentKind::Result)
            document->UpdateAllViews(1);
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    SaveProjectList();
    status_->StopClock();
    for (WindowDocument* document : Documents()) {
        if (!SaveModified(*document)) {
            // The close was called off: the clock goes on.
            status_->StartClock();
            event->ignore();
            return;
        }
    }
    closing_all_ = true;
    area_->closeAllSubWindows();
    event->accept();
}

}  // namespace korvane
