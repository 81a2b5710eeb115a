// The Options dialog: the catalogue path, the mail settings and the two
// display settings of Korvane.ini, and the upkeep of the open catalogue.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "app/settings.h"
#include "app/user_interface.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace korvane {

// The catalogue work behind the dialog's buttons, done on the catalogue in
// use (not on the path in the edit field). A missing one disables its button.
struct CatalogueUpkeep {
    // Closes the catalogue, compacts its file and opens it again.
    std::function<bool()> compact;
    // Checks the catalogue file and rebuilds what can be rebuilt; the
    // findings, one per line, go to report.
    std::function<bool(std::string& report)> repair;
    // Removes every volume, folder and file (the catalogue stays).
    std::function<bool()> empty;
};

class COptions : public QDialog {
    Q_OBJECT
  public:
    // in_force holds the settings the program runs with; OK updates its
    // display and mail settings (the database path changes only on disk: the
    // open catalogue stays in use until the next start).
    COptions(std::string settings_path, ProgramOptions& in_force, CatalogueUpkeep upkeep, UserInterface& ui,
             QWidget* parent = nullptr);

    QLineEdit* DatabaseEdit() const { return database_; }
    QCheckBox* DisplaySqlBox() const { return display_sql_; }
    QLineEdit* SmtpServerEdit() const { return smtp_server_; }
    QLineEdit* NameEdit() const { return name_; }
    QLineEdit* EmailAddressEdit() const { return email_address_; }
    QLineEdit* GraphItemsEdit() const { return graph_items_; }
    QPushButton* CompactButton() const { return compact_; }
    QPushButton* RepairButton() const { return repair_; }
    QPushButton* EmptyButton() const { return empty_; }

  public slots:
    void accept() override;

  private:
    void OnCompact();
    void OnRepair();
    void OnEmpty();
    bool RunBusy(const std::function<bool()>& work);

    std::string settings_path_;
    ProgramOptions& in_force_;
    CatalogueUpkeep upkeep_;
    UserInterface& ui_;
    QLineEdit* database_;
    QCheckBox* display_sql_;
    QLineEdit* smtp_server_;
    QLineEdit* name_;
    QLineEdit* email_address_;
    QLineEdit* graph_items_;
    QPushButton* compact_;
    QPushButton* repair_;
    QPushButton* empty_;
};

}  // namespace korvane
