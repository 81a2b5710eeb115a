// The "Select" dialog: a saved query of the installation folder with its
// starting folder ("Select Query"), or the name of a query run earlier in
// the script ("Select Query Results").
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "app/user_interface.h"
#include "schedule/schedule_editing.h"

class QDialogButtonBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace korvane {

enum class QuerySelectKind { Query, QueryResults };

class QuerySelectDialog : public QDialog {
    Q_OBJECT
  public:
    // entries: the saved queries, or for Query Results the earlier names
    // (without descriptions).
    QuerySelectDialog(QuerySelectKind kind, const std::vector<SavedQueryEntry>& entries, UserInterface& ui,
                      QWidget* parent = nullptr);

    // The selected row's name (at most 255 characters); empty with none.
    std::string Name() const;
    // The starting folder chosen (Query only).
    const std::string& Folder() const { return folder_; }

    // "Bro&wse": a folder for the query to start at.
    void OnBrowse();
    // The whole catalogue: the folder tree's root.
    void OnMyComputer();

    QTreeWidget* List() const { return list_; }
    QLabel* FolderText() const { return folder_text_; }
    QPushButton* OkButton() const;
    QPushButton* BrowseButton() const { return browse_; }

  private:
    void SetFolder(const std::string& folder);

    UserInterface& ui_;
    QTreeWidget* list_;
    QGroupBox* folder_box_ = nullptr;
    QLabel* folder_text_ = nullptr;
    QPushButton* browse_ = nullptr;
    QDialogButtonBox* buttons_;
    std::string folder_;
};

}  // namespace korvane
