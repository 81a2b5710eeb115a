#include "ui/result_frame.h"

namespace korvane {

ResultWindowDocument::ResultWindowDocument(QObject* parent)
    : WindowDocument(DocumentTypeOf(DocumentKind::Result), parent) {}

CDriveView::CDriveView(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
}

CResultFrame::CResultFrame(ResultWindowDocument& document, QWidget* parent)
    : DocumentFrame(document, parent) {
    auto* tree = new CDriveView(this);
    auto* report = new FileTextView(document, this);
    AddView(tree);
    AddView(report);
    MakeSplitter(tree, report, 150);
    MakeStatusPanes({150, 0});
    StatusPane(0)->setText(kNothingSelected);
}

}  // namespace korvane
