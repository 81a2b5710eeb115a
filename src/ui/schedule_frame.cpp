#include "ui/schedule_frame.h"

namespace korvane {

ScheduleDocument::ScheduleDocument(QObject* parent)
    : Document(DocumentTypeOf(DocumentKind::Schedule), parent) {}

CCommandView::CCommandView(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
}

CScheduleFrame::CScheduleFrame(ScheduleDocument& document, QWidget* parent)
    : DocumentFrame(document, parent) {
    auto* commands = new CCommandView(this);
    auto* script = new FileTextView(document, this);
    AddView(commands);
    AddView(script);
    MakeSplitter(commands, script, 150);
    MakeStatusPanes({0});
}

}  // namespace korvane
