#include "ui/query_frame.h"

namespace korvane {

QueryWindowDocument::QueryWindowDocument(QObject* parent)
    : WindowDocument(DocumentTypeOf(DocumentKind::Query), parent) {}

CFieldView::CFieldView(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
}

CQueryFrame::CQueryFrame(QueryWindowDocument& document, QWidget* parent) : DocumentFrame(document, parent) {
    auto* fields = new CFieldView(this);
    auto* criteria = new FileTextView(document, this);
    AddView(fields);
    AddView(criteria);
    MakeSplitter(fields, criteria, 150);
    // Pane 0 shows the starting folder, pane 1 the description.
    MakeStatusPanes({150, 0});
}

}  // namespace korvane
