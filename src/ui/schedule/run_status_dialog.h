// "Run Status": every schedule of the installation folder with its start,
// interval and whether korvane-scheduler holds it as an Active job.
#pragma once

#include <QDialog>

#include "ui/schedule/schedule_document_window.h"

class QTreeWidget;

namespace korvane {

class RunStatusDialog : public QDialog {
    Q_OBJECT
  public:
    explicit RunStatusDialog(ScheduleWindowContext& context, QWidget* parent = nullptr);
    QTreeWidget* List() const { return list_; }

  private:
    QTreeWidget* list_;
};

}  // namespace korvane
