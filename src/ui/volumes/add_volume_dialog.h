// The Add Volume dialog: a folder on a drive or share, or an FTP site, with
// its login details. The rules of every control and of OK are the core's
// (user_volume_rules.h); the dialog shows the form and forwards the events.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "app/user_interface.h"
#include "catalogue/user_volume_rules.h"
#include "scan/ftp/ftp_site_login.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace korvane {

// Opens the FTP Browse dialog for the site; the folder chosen, or none.
using FtpBrowseOpener = std::function<std::optional<std::string>(QWidget* parent, const FtpSite& site)>;

class AddVolumeDialog : public QDialog {
    Q_OBJECT
  public:
    AddVolumeDialog(UserInterface& ui, LocationLookup lookup, QWidget* parent = nullptr);

    // What OK made; valid once the dialog was accepted.
    const UserVolumeRecord& Record() const { return record_; }
    const AddVolumeForm& Form() const { return form_; }
    // Tests point FTP browsing at their own server's timeouts.
    void SetFtpBrowseOpener(FtpBrowseOpener opener) { browse_ftp_ = std::move(opener); }

    void accept() override;
    void Browse();

    QRadioButton* LogicalDriveButton() const { return logical_; }
    QRadioButton* FtpSiteButton() const { return ftp_; }
    QLabel* TypeLine() const { return type_line_; }
    QLineEdit* UserNameField() const { return user_name_; }
    QLineEdit* PasswordField() const { return password_; }
    QCheckBox* UseDefaultBox() const { return use_default_; }
    QCheckBox* SavePasswordBox() const { return save_password_; }
    QLineEdit* LocationField() const { return location_; }
    QPushButton* BrowseButton() const { return browse_; }
    QCheckBox* PassiveBox() const { return passive_; }
    QLineEdit* PortField() const { return port_; }

  private:
    void CreateControls();
    // The form into the controls, and the typed texts back into the form.
    void ShowForm();
    void ReadTexts();
    void Focus(AddVolumeField field);

    UserInterface& ui_;
    LocationLookup lookup_;
    AddVolumeForm form_;
    UserVolumeRecord record_;
    FtpBrowseOpener browse_ftp_;
    bool showing_ = false;
    QRadioButton* logical_ = nullptr;
    QRadioButton* ftp_ = nullptr;
    QLabel* type_line_ = nullptr;
    QLineEdit* user_name_ = nullptr;
    QLineEdit* password_ = nullptr;
    QCheckBox* use_default_ = nullptr;
    QCheckBox* save_password_ = nullptr;
    QLineEdit* location_ = nullptr;
    QPushButton* browse_ = nullptr;
    QCheckBox* passive_ = nullptr;
    QLineEdit* port_ = nullptr;
};

}  // namespace korvane
