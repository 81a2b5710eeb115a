#include "ui/volumes/map_drive_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

#include "platform/network_connections.h"

namespace korvane {

MapDriveDialog::MapDriveDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Map Network Drive"));
    auto* form = new QFormLayout(this);
    location_ = new QLineEdit(this);
    location_->setPlaceholderText(
        QStringLiteral("smb://server/share, sftp://host/path, //server/share, server:/export"));
    mount_point_ = new QLineEdit(this);
    auto* location_label = new QLabel(QStringLiteral("&Location:"), this);
    location_label->setBuddy(location_);
    auto* mount_label = new QLabel(QStringLiteral("&Mount on folder:"), this);
    mount_label->setBuddy(mount_point_);
    form->addRow(location_label, location_);
    form->addRow(mount_label, mount_point_);
    guest_ = new QCheckBox(QStringLiteral("Connect as &guest"), this);
    form->addRow(guest_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &MapDriveDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &MapDriveDialog::reject);
    form->addRow(buttons);
    connect(location_, &QLineEdit::textChanged, this, &MapDriveDialog::UpdateMountPoint);
    UpdateMountPoint();
    setMinimumWidth(480);
}

std::string MapDriveDialog::Location() const {
    return location_->text().trimmed().toStdString();
}

std::string MapDriveDialog::MountPoint() const {
    return mount_point_->text().trimmed().toStdString();
}

bool MapDriveDialog::AsGuest() const {
    return guest_->isEnabled() && guest_->isChecked();
}

// Addresses are mounted where gio puts them; only share names need a
// folder, and only gio can mount as a guest.
void MapDriveDialog::UpdateMountPoint() {
    const bool address = KindOfMapLocation(Location()) == MapLocationKind::Address;
    mount_point_->setEnabled(!address);
    guest_->setEnabled(address);
}

void MapDriveDialog::accept() {
    const MapLocationKind kind = KindOfMapLocation(Location());
    QString problem;
    if (kind == MapLocationKind::Invalid) {
        problem = QStringLiteral("Not a network location.");
    } else if (kind == MapLocationKind::Share &&
               !mount_point_->text().trimmed().startsWith(QLatin1Char('/'))) {
        problem = QStringLiteral("Give the folder to mount the share on.");
    }
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Korvane"), problem);
        (kind == MapLocationKind::Invalid ? location_ : mount_point_)->setFocus();
        return;
    }
    QDialog::accept();
}

}  // namespace korvane
