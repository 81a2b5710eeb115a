// Map Network Drive: asks for a location (an smb://, sftp:// or nfs://
// address, a //server/share name or a server:/export) and, for share names,
// the folder to mount it on; an address can be mounted as a guest.
#pragma once

#include <QDialog>
#include <string>

class QCheckBox;
class QLineEdit;

namespace korvane {

class MapDriveDialog : public QDialog {
    Q_OBJECT
  public:
    explicit MapDriveDialog(QWidget* parent = nullptr);
    std::string Location() const;
    std::string MountPoint() const;
    bool AsGuest() const;
    QLineEdit* LocationField() const { return location_; }
    QLineEdit* MountPointField() const { return mount_point_; }
    QCheckBox* GuestBox() const { return guest_; }
    void accept() override;

  private:
    void UpdateMountPoint();
    QLineEdit* location_ = nullptr;
    QLineEdit* mount_point_ = nullptr;
    QCheckBox* guest_ = nullptr;
};

}  // namespace korvane
