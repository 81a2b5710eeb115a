#include "ui/schedule/enter_text_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace korvane {

EnterTextDialog::EnterTextDialog(const std::string& text, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Enter Text"));
    setObjectName(QStringLiteral("EnterTextDialog"));
    field_ = new QLineEdit(QString::fromStdString(text), this);
    field_->setMinimumWidth(360);
    auto* label = new QLabel(QStringLiteral("&Command line:"), this);
    label->setBuddy(field_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(field_);
    layout->addWidget(buttons);
}

std::string EnterTextDialog::Text() const {
    return field_->text().toStdString();
}

}  // namespace korvane
