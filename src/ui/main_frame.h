// The main window: the documents' windows inside it, the docking tool bar,
// the menus, the status bar with its clock, the recent-file list, and the
// windowed start's document steps (reopening the project list, /OPEN, /P)
// and its close, which writes the project list.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QPrinter>
#include <map>
#include <string>
#include <vector>

#include "app/user_interface.h"
#include "ui/document_templates.h"
#include "ui/frame_status_bar.h"
#include "ui/recent_file_list.h"

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

namespace korvane {

struct WindowedStart;
class SplashWindow;

// Command identifiers of the main window's menus and tool bar.
enum Command : int {
    kFileNew = 57600,
    kFileOpen = 57601,
    kFileClose = 57602,
    kFileSave = 57603,
    kFileSaveAs = 57604,
    kFilePrintSetup = 57606,
    kFilePrint = 57607,
    kFilePrintPreview = 57609,
    kFileSendMail = 57612,
    kFileMruFirst = 57616,
    kEditCopy = 57634,
    kEditCut = 57635,
    kEditPaste = 57637,
    kAppExit = 57665,
    kHelpTopics = 57667,
    kContextHelp = 57669,
    kWindowCascade = 57650,
    kWindowTile = 57651,
    kWindowArrange = 57649,
    kViewToolbar = 59392,
    kViewStatusBar = 59393,
    kTipOfTheDay = 1005,
    kOptions = 1040,
    kSelectVolume = 1041,
    kAbout = 1046,
    kEditDelete = 9014,
    kViewEvents = 9026,
};

class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    CMainFrame(WindowedStart& start, UserInterface& ui, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Opens the file as a document of the type its extension names, or
    // brings its window forward when it is open already. Null, after a
    // message, when it cannot be opened.
    WindowDocument* OpenDocumentFile(const std::string& path);
    // File New after the file was chosen: an empty file is made when none
    // is there ("Cannot create project." when that fails), then it is opened.
    WindowDocument* NewProject(const std::string& path);
    // The documents of the previous run, File1 onward; one that fails to
    // open is passed over after its message.
    void ReopenProjectList();
    // The open documents in template order (query, result, schedule), each
    // template's documents in the order they were opened.
    std::vector<WindowDocument*> Documents() const;
    bool SaveProjectList();
    // Asks to save a modified document; false when the person cancels or
    // the save fails.
    bool SaveModified(WindowDocument& document);
    bool SaveDocument(WindowDocument& document);
    DocumentFrame* FrameOf(const WindowDocument* document) const;
    QMdiSubWindow* WindowOf(const WindowDocument* document) const;
    WindowDocument* ActiveDocument() const;
    // Prints each view of the document but the first, with a beep after
    // each (the print run). False when the document cannot be opened.
    bool PrintRun(const std::string& path, QPrinter& printer);
    // After the catalogue has been built: every result shows it again.
    void RefreshResults();

    FrameStatusBar* StatusPanes() const { return status_; }
    QMdiArea* Area() const { return area_; }
    QToolBar* MainToolBar() const { return tool_bar_; }
    RecentFileList& RecentFiles() { return recent_; }
    QAction* CommandAction(int id) const;
    UserInterface& Ui() { return ui_; }
    QPrinter& Printer() { return printer_; }

    void OnFileNew();
    void OnFileOpen();
    void OnFileClose();
    void OnFileSave();
    void OnFileSaveAs();
    void OnFilePrint();
    void OnFilePrintPreview();
    void OnFilePrintSetup();
    void OnSendMail();
    void OnOptions();
    // The volume selection in build mode (the same as a first run's).
    void OnSelectVolume();
    void OnTipOfTheDay();
    void OnAbout();
    void OnViewEvents();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    struct Template {
        DocumentTemplate info;
        std::vector<WindowDocument*> documents;
    };

    QAction* AddCommand(int id, const QString& text, const QString& prompt,
                        const QKeySequence& shortcut = {});
    void CreateCommands();
    void CreateToolBar();
    void CreateMenus();
    void RefreshRecentFiles();
    void RefreshWindowMenu();
    void UpdateCommands();
    // Cut, Copy, Paste and Delete go to the active document window's own
    // command when it has one; its state is followed while it is active.
    QAction* ServedEditCommand(int id) const;
    void FollowServedEditCommands();
    void RunEditCommand(int id);
    void UpdateTitle();
    void StartSplash();
    void OnSplashTimer();
    Template* TemplateOf(const DocumentType& type);
    void Forget(WindowDocument* document);
    bool CanCloseDocument(WindowDocument& document);
    void ShowMessage(const std::string& text, MessageIcon icon = MessageIcon::Exclamation);

    WindowedStart& start_;
    UserInterface& ui_;
    std::vector<Template> templates_;
    std::map<int, QAction*> commands_;
    RecentFileList recent_;
    QPrinter printer_;
    QMdiArea* area_ = nullptr;
    QToolBar* tool_bar_ = nullptr;
    FrameStatusBar* status_ = nullptr;
    QMenu* file_menu_ = nullptr;
    QMenu* edit_menu_ = nullptr;
    QMenu* view_menu_ = nullptr;
    QMenu* window_menu_ = nullptr;
    QMenu* help_menu_ = nullptr;
    QAction* tool_save_ = nullptr;
    QAction* recent_placeholder_ = nullptr;
    QAction* recent_separator_ = nullptr;
    std::vector<QAction*> recent_actions_;
    QPointer<SplashWindow> splash_;
    bool closing_all_ = false;
    std::vector<QMetaObject::Connection> served_links_;
};

}  // namespace korvane
