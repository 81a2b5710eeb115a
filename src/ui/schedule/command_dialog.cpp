#include "ui/schedule/command_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/text_helpers.h"
#include "ui/schedule/query_select_dialog.h"

namespace korvane {
namespace {

QString PathText(const std::string& path) {
    return QFile::decodeName(path.c_str());
}
std::string PathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

CommandDialog::CommandDialog(const std::string& word, const CommandDialogShape& shape,
                             const CommandDialogValues& values, std::vector<std::string> earlier_queries,
                             UserInterface& ui, QWidget* parent)
    : QDialog(parent), ui_(ui), earlier_queries_(std::move(earlier_queries)) {
    setWindowTitle(QString::fromStdString(word));
    setObjectName(QStringLiteral("CommandDialog"));

    source_ = new QLineEdit(PathText(values.source), this);
    source_->setMinimumWidth(300);
    auto* source_label = new QLabel(QStringLiteral("&Source:"), this);
    source_label->setBuddy(source_);
    from_query_ = new QPushButton(QStringLiteral("From Query..."), this);
    source_browse_ = new QPushButton(QStringLiteral("Browse..."), this);
    source_browse_->setAccessibleName(QStringLiteral("Browse for the source"));

    destination_ = new QLineEdit(PathText(values.destination), this);
    auto* destination_label = new QLabel(QStringLiteral("&Destination:"), this);
    destination_label->setBuddy(destination_);
    destination_browse_ = new QPushButton(QStringLiteral("Browse..."), this);
    destination_browse_->setAccessibleName(QStringLiteral("Browse for the destination"));

    subfolder_ = new QCheckBox(QStringLiteral("Construct Subfolders"), this);
    subfolder_->setChecked(values.options.subfolder);
    overwrite_ = new QCheckBox(QStringLiteral("Overwrite Existing Destination Files"), this);
    overwrite_->setChecked(values.options.overwrite);

    auto* grid = new QGridLayout;
    grid->addWidget(source_label, 0, 0);
    grid->addWidget(source_, 0, 1);
    grid->addWidget(from_query_, 0, 2);
    grid->addWidget(source_browse_, 0, 3);
    grid->addWidget(destination_label, 1, 0);
    grid->addWidget(destination_, 1, 1);
    grid->addWidget(destination_browse_, 1, 3);
    grid->addWidget(subfolder_, 2, 1, 1, 3);
    grid->addWidget(overwrite_, 3, 1, 1, 3);
    grid->setColumnStretch(1, 1);

    from_query_->setVisible(shape.from_query);
    source_browse_->setVisible(shape.source_browse);
    destination_label->setVisible(shape.destination);
    destination_->setVisible(shape.destination);
    destination_browse_->setVisible(shape.destination);
    subfolder_->setVisible(shape.subfolder_box);
    overwrite_->setVisible(shape.overwrite_box);

    connect(from_query_, &QPushButton::clicked, this, &CommandDialog::OnFromQuery);
    connect(source_browse_, &QPushButton::clicked, this, &CommandDialog::OnBrowseSource);
    connect(destination_browse_, &QPushButton::clicked, this, &CommandDialog::OnBrowseDestination);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CommandDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addWidget(buttons);
}

std::string CommandDialog::Source() const {
    return PathBytes(source_->text());
}

std::string CommandDialog::Destination() const {
    return PathBytes(destination_->text());
}

std::string CommandDialog::OptionText() const {
    return CommandOptionText(!subfolder_->isHidden() && subfolder_->isChecked(),
                             !overwrite_->isHidden() && overwrite_->isChecked());
}

void CommandDialog::OnFromQuery() {
    std::vector<SavedQueryEntry> entries;
    for (const std::string& name : earlier_queries_)
        entries.push_back({name, {}});
    QuerySelectDialog dialog(QuerySelectKind::QueryResults, entries, ui_, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const std::string name = dialog.Name();
    if (!name.empty())
        source_->setText(PathText("@" + name));
}

void CommandDialog::OnBrowseSource() {
    QFileDialog dialog(this, QStringLiteral("Source"), source_->text());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        source_->setText(dialog.selectedFiles().front());
}

void CommandDialog::OnBrowseDestination() {
    std::string folder = Destination();
    if (!ui_.ChooseFolder("Destination Folder", folder))
        return;
    if (folder.empty()) {
        ui_.ShowMessage(kInvalidSelection, MessageIcon::Exclamation, MessageButtons::Ok);
        return;
    }
    destination_->setText(PathText(folder));
}

void CommandDialog::accept() {
    for (const std::string& text : {Source(), Destination()}) {
        if (!FitsInParameter(text)) {
            ui_.ShowMessage(FillTemplate(kQuoteInParameter, DisplayText(text)), MessageIcon::Exclamation,
                            MessageButtons::Ok);
            return;
        }
    }
    QDialog::accept();
}

}  // namespace korvane
