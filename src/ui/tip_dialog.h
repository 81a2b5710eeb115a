// The tip-of-the-day dialog: one tip from the tips file at a time.
#pragma once

#include <QDialog>
#include <string>

#include "app/tip_of_the_day.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace korvane {

// Korvane.txt of the installation folder when it is there, else the one
// shipped with the program (share/korvane beside the executable's folder),
// else the installation folder's name for it (whose absence the dialog reports).
std::string TipsFilePath(const std::string& install_folder);

class TipDialog : public QDialog {
    Q_OBJECT
  public:
    TipDialog(const std::string& tips_path, const std::string& settings_path, QWidget* parent = nullptr);

    QString TipText() const;
    QPushButton* NextButton() const { return next_; }
    QPushButton* CloseButton() const { return close_; }
    QCheckBox* ShowAtStartUp() const { return show_at_start_up_; }

  public slots:
    void OnNextTip();
    // Close writes the check box too; any other way out writes only the position.
    void done(int result) override;

  private:
    TipOfTheDay reader_;
    QLabel* tip_;
    QCheckBox* show_at_start_up_;
    QPushButton* next_;
    QPushButton* close_;
    bool saved_ = false;
};

}  // namespace korvane
