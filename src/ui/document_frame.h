// The window of one document inside the main window: a frame with its own
// status bar and views side by side, and the view interface every pane of a
// document window implements.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <functional>
#include <vector>

#include "ui/document.h"

class QAction;
class QPrinter;
class QSplitter;

namespace korvane {

class DocumentView {
  public:
    virtual ~DocumentView() = default;
    virtual QWidget* Widget() = 0;
    // Redraws the view from its document.
    virtual void OnUpdate(int hint) = 0;
    virtual bool CanPrint() const { return false; }
    // Prints the view on the printer as it is set up, without a dialog.
    // False when nothing could be printed.
    virtual bool PrintDirectly(QPrinter& printer);
    // Why the last PrintDirectly printed nothing, when the view can say.
    virtual std::string PrintError() const { return {}; }
};

// The document's file as read, shown read-only. The document windows start
// with it as their working pane; the kinds' own views replace it.
class FileTextView : public QPlainTextEdit, public DocumentView {
    Q_OBJECT
  public:
    FileTextView(WindowDocument& document, QWidget* parent = nullptr);
    QWidget* Widget() override { return this; }
    void OnUpdate(int hint) override;
    bool CanPrint() const override { return true; }
    bool PrintDirectly(QPrinter& printer) override;

  private:
    WindowDocument& document_;
};

class DocumentFrame : public QMainWindow {
    Q_OBJECT
  public:
    DocumentFrame(WindowDocument& document, QWidget* parent = nullptr);

    WindowDocument& GetDocument() { return document_; }
    // The views in view order; the first is the left pane.
    const std::vector<DocumentView*>& Views() const { return views_; }
    // The view that has the focus, else the first view.
    DocumentView* ActiveView() const;
    // What Print prints: the active view when it can print, else the last
    // view that can; null when none can.
    DocumentView* PrintableView() const;
    // Asked before the window closes; false keeps it open.
    void SetCloseGuard(std::function<bool()> guard) { close_guard_ = std::move(guard); }
    QLabel* StatusPane(int index) const;
    // The window's own action for a command of the main window's Edit menu
    // and tool bar (Cut, Copy, Paste, Delete by their identifiers); null
    // when the window has none and the main window's own stands.
    virtual QAction* EditCommand(int id) const;

  protected:
    void AddView(DocumentView* view);
    // Two views side by side; the left one starts left_width pixels wide.
    QSplitter* MakeSplitter(DocumentView* left, DocumentView* right, int left_width);
    // Status panes: a width of 0 stretches the pane.
    void MakeStatusPanes(const std::vector<int>& widths);
    void closeEvent(QCloseEvent* event) override;

  private:
    void RefreshTitle();

    WindowDocument& document_;
    std::vector<DocumentView*> views_;
    std::vector<QLabel*> panes_;
    std::function<bool()> close_guard_;
};

// Prints each view but the first, in view order: the print run of a
// document. Calls after_each once per printed view. Returns how many views
// printed.
int PrintViewsDirectly(DocumentFrame& frame, QPrinter& printer, const std::function<void()>& after_each);

}  // namespace korvane
