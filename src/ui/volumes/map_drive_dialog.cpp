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
    // Named without the labels' colons, as a screen reader says them.
    location_->setAccessibleName(QStringLiteral("Location"));
    mount_point_->setAccessibleName(QStringLiteral("Mount on folder"));
    form->addRow(location_label, location_);
    form->addRow(mount_label, mount_point_);
    guest_ = new QCheckBox(QStringLiteral("Connect as &guest"), this);
    form->addRow(guest_);
    user_ = new QLineEdit(this);
    user_->setPlaceholderText(QStringLiteral("name, DOMAIN\\name or name@domain"));
    password_ = new QLineEdit(this);
    password_->setEchoMode(QLineEdit::Password);
    user_label_ = new QLabel(QStringLiteral("&User name:"), this);
    user_label_->setBuddy(user_);
    password_label_ = new QLabel(QStringLiteral("&Password:"), this);
    password_label_->setBuddy(password_);
    user_->setAccessibleName(QStringLiteral("User name"));
    password_->setAccessibleName(QStringLiteral("Password"));
    form->addRow(user_label_, user_);
    form->addRow(password_label_, password_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &MapDriveDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &MapDriveDialog::reject);
    form->addRow(buttons);
    connect(location_, &QLineEdit::textChanged, this, &MapDriveDialog::UpdateFields);
    connect(guest_, &QCheckBox::toggled, this, &MapDriveDialog::UpdateFields);
    UpdateFields();
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

MapCredentials MapDriveDialog::Credentials() const {
    MapCredentials credentials;
    credentials.as_guest = AsGuest();
    if (user_->isEnabled()) {
        credentials.user = user_->text().trimmed().toStdString();
        credentials.password = password_->text().toStdString();
    }
    return credentials;
}

// Addresses are mounted where gio puts them; only share names need a
// folder, and only gio can mount as a guest or answer for a name and
// password.
void MapDriveDialog::UpdateFields() {
    const bool address = KindOfMapLocation(Location()) == MapLocationKind::Address;
    mount_point_->setEnabled(!address);
    guest_->setEnabled(address);
    user_->setEnabled(address && !guest_->isChecked());
    password_->setEnabled(user_->isEnabled());
    user_label_->setEnabled(user_->isEnabled());
    password_label_->setEnabled(user_->isEnabled());
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
