// The Event Message Viewer: Event.log as a list, and Clear.
#pragma once

#include <QDialog>
#include <string>

#include "app/user_interface.h"

class QPushButton;
class QTreeWidget;

namespace korvane {

inline constexpr std::string_view kConfirmClearEvents = "Are you sure you want to clear the event messages?";

class EventViewer : public QDialog {
    Q_OBJECT
  public:
    EventViewer(std::string log_path, UserInterface& ui, QWidget* parent = nullptr);

    // Fills the list from the log again; a missing log gives an empty list.
    void Reload();
    // Asks first; Yes deletes the log and empties the list.
    void OnClear();
    QTreeWidget* List() const { return list_; }
    QPushButton* ClearButton() const { return clear_; }
    QPushButton* DoneButton() const { return done_; }
    // Icon index of a row (0 Info, 1 Error, 2 Warning, 3 other), kept with the row.
    static constexpr int kIconRole = Qt::UserRole + 1;

  private:
    std::string log_path_;
    UserInterface& ui_;
    QTreeWidget* list_;
    QPushButton* clear_;
    QPushButton* done_;
};

}  // namespace korvane
