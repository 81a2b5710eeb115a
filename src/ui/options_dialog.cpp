#include "ui/options_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace korvane {
namespace {

QString Text(const std::string& bytes) {
    return QFile::decodeName(bytes.c_str());
}
std::string Bytes(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

}  // namespace

COptions::COptions(std::string settings_path, ProgramOptions& in_force, CatalogueUpkeep upkeep,
                   UserInterface& ui, QWidget* parent)
    : QDialog(parent),
      settings_path_(std::move(settings_path)),
      in_force_(in_force),
      upkeep_(std::move(upkeep)),
      ui_(ui) {
    setWindowTitle(QStringLiteral("Options"));
    const ProgramOptions stored = ReadProgramOptions(settings_path_);
    auto* layout = new QVBoxLayout(this);

    auto* catalogue = new QGroupBox(QStringLiteral("Catalogue"), this);
    auto* catalogue_layout = new QVBoxLayout(catalogue);
    auto* file_form = new QFormLayout;
    database_ = new QLineEdit(Text(stored.database), catalogue);
    database_->setMaxLength(259);
    database_->setMinimumWidth(320);
    database_->setToolTip(
        QStringLiteral("A catalogue file, or a postgresql:// address of a shared catalogue on a server"));
    file_form->addRow(QStringLiteral("Database &file:"), database_);
    catalogue_layout->addLayout(file_form);
    auto* upkeep_row = new QHBoxLayout;
    compact_ = new QPushButton(QStringLiteral("&Compact"), catalogue);
    repair_ = new QPushButton(QStringLiteral("&Repair"), catalogue);
    empty_ = new QPushButton(QStringLiteral("&Empty..."), catalogue);
    for (QPushButton* button : {compact_, repair_, empty_}) {
        button->setAutoDefault(false);
        upkeep_row->addWidget(button);
    }
    upkeep_row->addStretch(1);
    catalogue_layout->addLayout(upkeep_row);
    compact_->setEnabled(static_cast<bool>(upkeep_.compact));
    repair_->setEnabled(static_cast<bool>(upkeep_.repair));
    empty_->setEnabled(static_cast<bool>(upkeep_.empty));
    compact_->setToolTip(QStringLiteral("Compacts the open catalogue now."));
    repair_->setToolTip(QStringLiteral("Checks the open catalogue and rebuilds its indexes."));
    empty_->setToolTip(
        QStringLiteral("Removes every scanned volume, folder and file from the open catalogue."));
    display_sql_ = new QCheckBox(QStringLiteral("Show &SQL string on query."), catalogue);
    display_sql_->setChecked(stored.display_sql != 0);
    catalogue_layout->addWidget(display_sql_);
    layout->addWidget(catalogue);

    auto* mail = new QGroupBox(QStringLiteral("Email"), this);
    auto* mail_form = new QFormLayout(mail);
    smtp_server_ = new QLineEdit(QString::fromStdString(stored.smtp_server), mail);
    name_ = new QLineEdit(QString::fromStdString(stored.sender_name), mail);
    email_address_ = new QLineEdit(QString::fromStdString(stored.email_address), mail);
    for (QLineEdit* edit : {smtp_server_, name_, email_address_})
        edit->setMaxLength(1023);
    mail_form->addRow(QStringLiteral("&Outgoing (SMTP) mail server:"), smtp_server_);
    mail_form->addRow(QStringLiteral("Your &name:"), name_);
    mail_form->addRow(QStringLiteral("Email &address:"), email_address_);
    layout->addWidget(mail);

    auto* bottom = new QHBoxLayout;
    auto* graph = new QGroupBox(QStringLiteral("Graph Items"), this);
    auto* graph_layout = new QHBoxLayout(graph);
    graph_items_ = new QLineEdit(QString::number(stored.graph_items), graph);
    // Digits only, as a number field takes them.
    graph_items_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), graph_items_));
    graph_items_->setMaximumWidth(80);
    graph_layout->addWidget(graph_items_);
    bottom->addWidget(graph);
    bottom->addStretch(1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    bottom->addWidget(buttons, 0, Qt::AlignBottom);
    layout->addLayout(bottom);

    connect(buttons, &QDialogButtonBox::accepted, this, &COptions::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptions::reject);
    connect(compact_, &QPushButton::clicked, this, &COptions::OnCompact);
    connect(repair_, &QPushButton::clicked, this, &COptions::OnRepair);
    connect(empty_, &QPushButton::clicked, this, &COptions::OnEmpty);
}

bool COptions::RunBusy(const std::function<bool()>& work) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool done = work();
    QApplication::restoreOverrideCursor();
    return done;
}

void COptions::OnCompact() {
    if (!upkeep_.compact)
        return;
    if (!RunBusy(upkeep_.compact)) {
        ui_.ShowMessage("The catalogue could not be compacted.", MessageIcon::Exclamation,
                        MessageButtons::Ok);
    }
}

void COptions::OnRepair() {
    if (!upkeep_.repair)
        return;
    std::string report;
    if (RunBusy([&] { return upkeep_.repair(report); })) {
        ui_.ShowMessage("The catalogue has been checked and repaired.", MessageIcon::Information,
                        MessageButtons::Ok);
    } else {
        // What was found is what the person needs to decide on: rebuild, restore or empty.
        ui_.ShowMessage("The catalogue could not be repaired.\n\n" + report, MessageIcon::Exclamation,
                        MessageButtons::Ok);
    }
}

void COptions::OnEmpty() {
    if (!upkeep_.empty)
        return;
    if (ui_.ShowMessage(
            "Are you sure you want to empty the catalogue?\nEvery scanned volume, folder and file is "
            "removed from it.",
            MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes) {
        return;
    }
    if (RunBusy(upkeep_.empty)) {
        ui_.ShowMessage("The catalogue has been emptied.", MessageIcon::Information, MessageButtons::Ok);
    } else {
        ui_.ShowMessage("The catalogue could not be emptied.", MessageIcon::Exclamation, MessageButtons::Ok);
    }
}

void COptions::accept() {
    ProgramOptions written;
    written.database = Bytes(database_->text());
    written.display_sql = display_sql_->isChecked() ? 1 : 0;
    written.smtp_server = smtp_server_->text().toStdString();
    written.sender_name = name_->text().toStdString();
    written.email_address = email_address_->text().toStdString();
    written.graph_items = graph_items_->text().toLong();
    if (!WriteProgramOptions(settings_path_, written)) {
        ui_.ShowMessage("Cannot write the settings file '" + settings_path_ + "'.", MessageIcon::Exclamation,
                        MessageButtons::Ok);
        return;
    }
    in_force_.display_sql = written.display_sql;
    if (written.graph_items != 0)
        in_force_.graph_items = written.graph_items;
    in_force_.smtp_server = written.smtp_server;
    in_force_.sender_name = written.sender_name;
    in_force_.email_address = written.email_address;
    QDialog::accept();
}

}  // namespace korvane
