// The query window: the query document as the windowed program holds it,
// its frame (the field list beside the criteria pane, a status bar with the
// starting folder and the description) and the field list.
#pragma once

#include <QListWidget>

#include "ui/document_frame.h"

namespace korvane {

class QueryWindowDocument : public WindowDocument {
    Q_OBJECT
  public:
    explicit QueryWindowDocument(QObject* parent = nullptr);
};

// The fields that can still be added to the query.
class CFieldView : public QListWidget, public DocumentView {
    Q_OBJECT
  public:
    explicit CFieldView(QWidget* parent = nullptr);
    QWidget* Widget() override { return this; }
    void OnUpdate(int) override {}
};

class CQueryFrame : public DocumentFrame {
    Q_OBJECT
  public:
    CQueryFrame(QueryWindowDocument& document, QWidget* parent = nullptr);
};

}  // namespace korvane
