// The "Command" dialog of the file commands: the source (a path, or "@" and
// the name of a query run earlier in the script), the destination folder
// and the two options, each shown only where the command uses it.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "app/user_interface.h"
#include "schedule/schedule_editing.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace korvane {

struct CommandDialogValues {
    std::string source;
    std::string destination;
    CommandOptions options;
};

class CommandDialog : public QDialog {
    Q_OBJECT
  public:
    // earlier_queries: the names "From Query..." offers.
    CommandDialog(const std::string& word, const CommandDialogShape& shape, const CommandDialogValues& values,
                  std::vector<std::string> earlier_queries, UserInterface& ui, QWidget* parent = nullptr);

    std::string Source() const;
    std::string Destination() const;
    // "/SUBFOLDER/OVERWRITE", " /SUBFOLDER", " /OVERWRITE" or empty.
    std::string OptionText() const;

    void OnFromQuery();
    void OnBrowseSource();
    void OnBrowseDestination();
    void accept() override;

    QLineEdit* SourceField() const { return source_; }
    QLineEdit* DestinationField() const { return destination_; }
    QPushButton* FromQueryButton() const { return from_query_; }
    QPushButton* SourceBrowseButton() const { return source_browse_; }
    QPushButton* DestinationBrowseButton() const { return destination_browse_; }
    QCheckBox* SubfolderBox() const { return subfolder_; }
    QCheckBox* OverwriteBox() const { return overwrite_; }

  private:
    UserInterface& ui_;
    std::vector<std::string> earlier_queries_;
    QLineEdit* source_;
    QLineEdit* destination_;
    QPushButton* from_query_;
    QPushButton* source_browse_;
    QPushButton* destination_browse_;
    QCheckBox* subfolder_;
    QCheckBox* overwrite_;
};

}  // namespace korvane
