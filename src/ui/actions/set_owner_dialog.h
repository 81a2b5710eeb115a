// "Set File Owner...": the selection's file and current owner, the account
// tree to choose the new owner from, OK only once an account is chosen.
#pragma once

#include <QDialog>
#include <string>

#include "actions/file_properties.h"
#include "owners/account_tree.h"

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QTreeWidget;

namespace korvane {

class SetOwnerDialog : public QDialog {
    Q_OBJECT
  public:
    SetOwnerDialog(QWidget* parent, const OwnerSummary& summary, const AccountTree& accounts,
                   bool holds_folder);
    // The account chosen when the dialog was accepted.
    std::string ChosenAccount() const { return chosen_; }
    // Shows the owner the files now have.
    void SetCurrentOwner(const std::string& owner);

    QTreeWidget* AccountList() const { return tree_; }
    QDialogButtonBox* Buttons() const { return buttons_; }

  private:
    void SelectionChanged();

    QLabel* current_owner_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
    std::string chosen_;
};

}  // namespace korvane
