#include "ui/schedule_frame.h"

namespace korvane {

ScheduleWindowDocument::ScheduleWindowDocument(QObject* parent)
    : WindowDocument(DocumentTypeOf(DocumentKind::Schedule), parent) {}

CCommandView::CCommandView(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
}

CScheduleFrame::CScheduleFrame(ScheduleWindowDocument& document, QWidget* parent)
    : DocumentFrame(document, parent) {
    auto* commands = new CCommandView(this);
    auto* script = new FileTextView(document, this);
    AddView(commands);
    AddView(script);
    MakeSplitter(commands, script, 150);
    MakeStatusPanes({0});
}

}  // namespace korvane
