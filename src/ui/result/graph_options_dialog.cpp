#include "ui/result/graph_options_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

namespace korvane {
namespace {

QLineEdit* TitleField(const std::string& text, QWidget* parent) {
    auto* edit = new QLineEdit(QString::fromStdString(text), parent);
    edit->setMaxLength(static_cast<int>(kGraphTitleLength));
    edit->setMinimumWidth(320);
    return edit;
}

}  // namespace

GraphOptionsDialog::GraphOptionsDialog(const GraphSettings& settings, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Graph Options"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    title_ = TitleField(settings.title, this);
    x_title_ = TitleField(settings.x_title, this);
    y_title_ = TitleField(settings.y_title, this);
    // The rows' labels are the edits' buddies, so each edit is named by its label.
    form->addRow(QStringLiteral("Graph Title"), title_);
    form->addRow(QStringLiteral("Graph Horizontal Title"), x_title_);
    form->addRow(QStringLiteral("Graph Vertical Title"), y_title_);
    title_->setAccessibleName(QStringLiteral("Graph Title"));
    x_title_->setAccessibleName(QStringLiteral("Graph Horizontal Title"));
    y_title_->setAccessibleName(QStringLiteral("Graph Vertical Title"));
    layout->addLayout(form);
    three_d_ = new QCheckBox(QStringLiteral("Graph 3D Look"), this);
    three_d_->setChecked(settings.three_d);
    layout->addWidget(three_d_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

GraphSettings GraphOptionsDialog::Settings() const {
    return GraphSettings{title_->text().toStdString(), x_title_->text().toStdString(),
                         y_title_->text().toStdString(), three_d_->isChecked()};
}

bool EditGraphOptions(ResultDocument& document, ResultDocumentHost& host, QWidget* parent) {
    GraphOptionsDialog dialog(GraphSettingsOf(document), parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    ApplyGraphSettings(document, dialog.Settings(), host);
    return true;
}

}  // namespace korvane
