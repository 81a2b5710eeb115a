#include "ui/document_frame.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QPrinter>
#include <QSplitter>
#include <QStatusBar>
#include <QTextDocument>

#include "app/text_helpers.h"

namespace korvane {

bool DocumentView::PrintDirectly(QPrinter&) {
    return false;
}

FileTextView::FileTextView(WindowDocument& document, QWidget* parent)
    : QPlainTextEdit(parent), document_(document) {
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    OnUpdate(0);
}

void FileTextView::OnUpdate(int) {
    std::string text = DisplayText(document_.Contents());
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] == '\n'))
            continue;
        lines.push_back(text[i]);
    }
    setPlainText(QString::fromStdString(lines));
}

bool FileTextView::PrintDirectly(QPrinter& printer) {
    if (printer.outputFormat() == QPrinter::PdfFormat && printer.outputFileName().isEmpty())
        return false;
    QTextDocument copy;
    copy.setPlainText(toPlainText());
    copy.setDefaultFont(font());
    copy.print(&printer);
    return printer.printerState() != QPrinter::Error && printer.printerState() != QPrinter::Aborted;
}

DocumentFrame::DocumentFrame(WindowDocument& document, QWidget* parent)
    : QMainWindow(parent), document_(document) {
    setWindowFlags(Qt::Widget);
    RefreshTitle();
    connect(&document_, &WindowDocument::PathChanged, this, &DocumentFrame::RefreshTitle);
    connect(&document_, &WindowDocument::Updated, this, [this](int hint) {
        for (DocumentView* view : views_)
            view->OnUpdate(hint);
    });
}

QAction* DocumentFrame::EditCommand(int) const {
    return nullptr;
}

void DocumentFrame::RefreshTitle() {
    setWindowTitle(document_.WindowTitle());
}

void DocumentFrame::AddView(DocumentView* view) {
    views_.push_back(view);
}

QSplitter* DocumentFrame::MakeSplitter(DocumentView* left, DocumentView* right, int left_width) {
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(left->Widget());
    splitter->addWidget(right->Widget());
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({left_width, 4 * left_width});
    splitter->setChildrenCollapsible(false);
    setCentralWidget(splitter);
    return splitter;
}

void DocumentFrame::MakeStatusPanes(const std::vector<int>& widths) {
    for (int width : widths) {
        auto* pane = new QLabel(this);
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setTextFormat(Qt::PlainText);
        if (width > 0) {
            pane->setFixedWidth(width);
            statusBar()->addWidget(pane, 0);
        } else {
            statusBar()->addWidget(pane, 1);
        }
        panes_.push_back(pane);
    }
}

QLabel* DocumentFrame::StatusPane(int index) const {
    return index >= 0 && index < static_cast<int>(panes_.size()) ? panes_[index] : nullptr;
}

DocumentView* DocumentFrame::ActiveView() const {
    for (DocumentView* view : views_) {
        QWidget* widget = view->Widget();
        if (widget->hasFocus() || (focusWidget() != nullptr && widget->isAncestorOf(focusWidget())))
            return view;
    }
    return views_.empty() ? nullptr : views_.front();
}

DocumentView* DocumentFrame::PrintableView() const {
    DocumentView* active = ActiveView();
    if (active != nullptr && active->CanPrint())
        return active;
    for (auto it = views_.rbegin(); it != views_.rend(); ++it) {
        if ((*it)->CanPrint())
            return *it;
    }
    return nullptr;
}

void DocumentFrame::closeEvent(QCloseEvent* event) {
    if (close_guard_ && !close_guard_()) {
        event->ignore();
        return;
    }
    event->accept();
}

int PrintViewsDirectly(DocumentFrame& frame, QPrinter& printer, const std::function<void()>& after_each) {
    int printed = 0;
    const auto& views = frame.Views();
    for (std::size_t i = 1; i < views.size(); ++i) {
        if (views[i]->PrintDirectly(printer))
            ++printed;
        if (after_each)
            after_each();
    }
    return printed;
}

}  // namespace korvane
