// The schedule window: the schedule document as the windowed program holds
// it, its frame (the command list beside the script) and the command list.
#pragma once

#include <QListWidget>

#include "ui/document_frame.h"

namespace korvane {

class ScheduleWindowDocument : public WindowDocument {
    Q_OBJECT
  public:
    explicit ScheduleWindowDocument(QObject* parent = nullptr);
};

// The script commands that can be dragged into the script.
class CCommandView : public QListWidget, public DocumentView {
    Q_OBJECT
  public:
    explicit CCommandView(QWidget* parent = nullptr);
    QWidget* Widget() override { return this; }
    void OnUpdate(int) override {}
};

class CScheduleFrame : public DocumentFrame {
    Q_OBJECT
  public:
    CScheduleFrame(ScheduleWindowDocument& document, QWidget* parent = nullptr);
};

}  // namespace korvane
