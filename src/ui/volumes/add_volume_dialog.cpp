#include "ui/volumes/add_volume_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/volumes/ftp_browse_dialog.h"

namespace korvane {
namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QLabel* BuddyLabel(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

}  // namespace

AddVolumeDialog::AddVolumeDialog(UserInterface& ui, LocationLookup lookup, QWidget* parent)
    : QDialog(parent), ui_(ui), lookup_(std::move(lookup)), form_(NewAddVolumeForm()) {
    setWindowTitle(QStringLiteral("Add Volume"));
    browse_ftp_ = [this](QWidget* owner, const FtpSite& site) { return BrowseFtpSite(ui_, site, owner); };
    CreateControls();
    ShowForm();
}

void AddVolumeDialog::CreateControls() {
    auto* layout = new QVBoxLayout(this);
    auto* kind_box = new QGroupBox(QStringLiteral("Volume type"), this);
    auto* kind_layout = new QHBoxLayout(kind_box);
    logical_ = new QRadioButton(QStringLiteral("Logical &drive"), kind_box);
    ftp_ = new QRadioButton(QStringLiteral("&FTP site"), kind_box);
    kind_layout->addWidget(logical_);
    kind_layout->addWidget(ftp_);
    kind_layout->addSpacing(20);
    kind_layout->addWidget(new QLabel(QStringLiteral("type:"), kind_box));
    type_line_ = new QLabel(kind_box);
    type_line_->setAccessibleName(QStringLiteral("type:"));
    kind_layout->addWidget(type_line_);
    kind_layout->addStretch();
    layout->addWidget(kind_box);

    auto* login_box = new QGroupBox(QStringLiteral("Login"), this);
    auto* grid = new QGridLayout(login_box);
    user_name_ = new QLineEdit(login_box);
    password_ = new QLineEdit(login_box);
    password_->setEchoMode(QLineEdit::Password);
    use_default_ = new QCheckBox(QStringLiteral("Us&e default"), login_box);
    save_password_ = new QCheckBox(QStringLiteral("&Save Password"), login_box);
    grid->addWidget(BuddyLabel(QStringLiteral("&Username:"), user_name_, login_box), 0, 0);
    grid->addWidget(user_name_, 0, 1);
    grid->addWidget(use_default_, 0, 2);
    grid->addWidget(BuddyLabel(QStringLiteral("&Password:"), password_, login_box), 1, 0);
    grid->addWidget(password_, 1, 1);
    grid->addWidget(save_password_, 1, 2);
    layout->addWidget(login_box);

    auto* where = new QGridLayout();
    location_ = new QLineEdit(this);
    browse_ = new QPushButton(QStringLiteral("Bro&wse"), this);
    passive_ = new QCheckBox(QStringLiteral("Passive &transfers"), this);
    port_ = new QLineEdit(this);
    port_->setMaximumWidth(80);
    where->addWidget(BuddyLabel(QStringLiteral("Starting &location:"), location_, this), 0, 0);
    where->addWidget(location_, 0, 1, 1, 3);
    where->addWidget(browse_, 0, 4);
    where->addWidget(passive_, 1, 1);
    where->addWidget(BuddyLabel(QStringLiteral("P&ort:"), port_, this), 1, 2, Qt::AlignRight);
    where->addWidget(port_, 1, 3);
    layout->addLayout(where);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    setMinimumWidth(460);

    connect(buttons, &QDialogButtonBox::accepted, this, &AddVolumeDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &AddVolumeDialog::reject);
    connect(browse_, &QPushButton::clicked, this, &AddVolumeDialog::Browse);
    connect(logical_, &QRadioButton::clicked, this, [this] {
        ReadTexts();
        ChooseLogicalDrive(form_);
        ShowForm();
    });
    connect(ftp_, &QRadioButton::clicked, this, [this] {
        ReadTexts();
        ChooseFtpSite(form_);
        ShowForm();
    });
    connect(use_default_, &QCheckBox::toggled, this, [this](bool on) {
        if (showing_)
            return;
        ReadTexts();
        SetUseDefault(form_, on);
        ShowForm();
    });
    connect(save_password_, &QCheckBox::toggled, this, [this](bool on) {
        if (showing_)
            return;
        ReadTexts();
        SetSavePassword(form_, on);
        ShowForm();
    });
    connect(passive_, &QCheckBox::toggled, this, [this](bool on) {
        if (!showing_)
            form_.passive.checked = on;
    });
}

void AddVolumeDialog::ShowForm() {
    showing_ = true;
    logical_->setChecked(!form_.ftp_site_selected);
    ftp_->setChecked(form_.ftp_site_selected);
    type_line_->setText(Text(form_.type_line));
    for (auto [box, check] :
         {std::pair{use_default_, form_.use_default}, std::pair{save_password_, form_.save_password},
          std::pair{passive_, form_.passive}}) {
        box->setChecked(check.checked);
        box->setEnabled(check.enabled);
    }
    for (auto [field, text] : {std::pair{user_name_, form_.user_name}, std::pair{password_, form_.password},
                               std::pair{port_, form_.port}}) {
        field->setText(Text(text.text));
        field->setEnabled(text.enabled);
    }
    location_->setText(Text(form_.location));
    browse_->setEnabled(form_.browse_enabled);
    showing_ = false;
}

void AddVolumeDialog::ReadTexts() {
    form_.user_name.text = user_name_->text().toStdString();
    form_.password.text = password_->text().toStdString();
    form_.port.text = port_->text().toStdString();
    form_.location = location_->text().toStdString();
}

void AddVolumeDialog::Focus(AddVolumeField field) {
    switch (field) {
        case AddVolumeField::Location:
            location_->setFocus();
            break;
        case AddVolumeField::UserName:
            user_name_->setFocus();
            break;
        case AddVolumeField::Password:
            password_->setFocus();
            break;
        case AddVolumeField::None:
            break;
    }
}

void AddVolumeDialog::accept() {
    ReadTexts();
    const AddVolumeOutcome outcome = AcceptAddVolume(form_, record_, lookup_);
    ShowForm();
    if (!outcome.ok) {
        ui_.ShowMessage(outcome.message, MessageIcon::Exclamation, MessageButtons::Ok);
        Focus(outcome.focus);
        return;
    }
    QDialog::accept();
}

void AddVolumeDialog::Browse() {
    ReadTexts();
    if (form_.kind != UserVolumeKind::Ftp) {
        std::string folder;
        const bool chosen = ui_.ChooseFolder(kBrowseTitle, folder);
        const AddVolumeOutcome outcome = TakeBrowsedFolder(
            form_, chosen ? std::optional<std::string_view>(folder) : std::nullopt, lookup_);
        if (!outcome.ok)
            ui_.ShowMessage(outcome.message, MessageIcon::Exclamation, MessageButtons::Ok);
        ShowForm();
        return;
    }
    // The values are checked as OK checks them, without changing the form.
    AddVolumeForm checked = form_;
    UserVolumeRecord record;
    const AddVolumeOutcome outcome = AcceptAddVolume(checked, record, lookup_);
    if (!outcome.ok) {
        ui_.ShowMessage(outcome.message, MessageIcon::Exclamation, MessageButtons::Ok);
        Focus(outcome.focus);
        return;
    }
    FtpSite site;
    site.host = FtpBrowseHost(form_.location);
    site.user = record.user_name;
    site.password = record.password;
    site.port = record.port;
    site.passive = (record.flags & kPassiveTransfers) != 0;
    if (const std::optional<std::string> path = browse_ftp_(this, site)) {
        TakeFtpBrowse(form_, site.host, *path);
        ShowForm();
    }
}

}  // namespace korvane
