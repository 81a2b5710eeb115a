// The question a paste or move asks when a name is in use: replace it, keep
// both (the new one numbered), skip this one, or stop.
#pragma once

#include <QDialog>
#include <string_view>

#include "app/user_interface.h"

class QCheckBox;

namespace korvane {

class NameConflictDialog : public QDialog {
    Q_OBJECT
  public:
    NameConflictDialog(QWidget* parent, std::string_view source, std::string_view target,
                       bool target_is_folder);
    NameConflictReply reply() const { return reply_; }

  private:
    void Answer(NameConflictAnswer answer);

    QCheckBox* for_all_ = nullptr;
    NameConflictReply reply_{NameConflictAnswer::Cancel, false};
};

// Asks modally over parent; closing the window answers Cancel.
NameConflictReply AskNameConflictInWindow(QWidget* parent, std::string_view source, std::string_view target,
                                          bool target_is_folder);

}  // namespace korvane
