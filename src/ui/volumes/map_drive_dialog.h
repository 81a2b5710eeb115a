// Map Network Drive: asks for a location (an smb://, sftp:// or nfs://
// address, a //server/share name or a server:/export) and, for share names,
// the folder to mount it on; an address can be mounted as a guest or by a
// name and password.
#pragma once

#include <QDialog>
#include <string>

#include "platform/network_connections.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace korvane {

class MapDriveDialog : public QDialog {
    Q_OBJECT
  public:
    explicit MapDriveDialog(QWidget* parent = nullptr);
    std::string Location() const;
    std::string MountPoint() const;
    bool AsGuest() const;
    // As a guest, or by the name and password given (none for a share name).
    MapCredentials Credentials() const;
    QLineEdit* LocationField() const { return location_; }
    QLineEdit* MountPointField() const { return mount_point_; }
    QCheckBox* GuestBox() const { return guest_; }
    QLineEdit* UserField() const { return user_; }
    QLineEdit* PasswordField() const { return password_; }
    void accept() override;

  private:
    void UpdateFields();
    QLineEdit* location_ = nullptr;
    QLineEdit* mount_point_ = nullptr;
    QCheckBox* guest_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLabel* user_label_ = nullptr;
    QLabel* password_label_ = nullptr;
};

}  // namespace korvane
