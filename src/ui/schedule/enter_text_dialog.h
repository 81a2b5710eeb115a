// "Enter Text": one line of text, here the command line a script starts.
#pragma once

#include <QDialog>
#include <string>

class QLineEdit;

namespace korvane {

class EnterTextDialog : public QDialog {
    Q_OBJECT
  public:
    EnterTextDialog(const std::string& text, QWidget* parent = nullptr);
    std::string Text() const;
    QLineEdit* Field() const { return field_; }

  private:
    QLineEdit* field_;
};

}  // namespace korvane
