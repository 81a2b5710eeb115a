#include "ui/actions/name_conflict_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <string>

#include "app/text_helpers.h"

namespace korvane {

NameConflictDialog::NameConflictDialog(QWidget* parent, std::string_view source, std::string_view target,
                                       bool target_is_folder)
    : QDialog(parent) {
    setWindowTitle(tr("Name in Use"));
    auto* layout = new QVBoxLayout(this);
    const QString what = target_is_folder ? tr("A folder") : tr("A file");
    auto* question = new QLabel(tr("%1 named \"%2\" is already there.\n\nPasting: %3\n\nWhat should be done?")
                                    .arg(what, QString::fromStdString(DisplayText(target)),
                                         QString::fromStdString(DisplayText(source))),
                                this);
    question->setWordWrap(true);
    question->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(question);
    for_all_ = new QCheckBox(tr("Do the same for all remaining names in use"), this);
    layout->addWidget(for_all_);
    auto* buttons = new QHBoxLayout;
    const auto add = [this, buttons](const QString& text, NameConflictAnswer answer) {
        auto* button = new QPushButton(text, this);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, answer] { Answer(answer); });
        buttons->addWidget(button);
        return button;
    };
    add(target_is_folder ? tr("&Merge") : tr("&Replace"), NameConflictAnswer::Replace);
    add(tr("&Keep Both"), NameConflictAnswer::KeepBoth);
    add(tr("&Skip"), NameConflictAnswer::Skip)->setDefault(true);
    add(tr("Cancel"), NameConflictAnswer::Cancel);
    layout->addLayout(buttons);
}

void NameConflictDialog::Answer(NameConflictAnswer answer) {
    reply_ = NameConflictReply{answer, for_all_->isChecked()};
    accept();
}

NameConflictReply AskNameConflictInWindow(QWidget* parent, std::string_view source, std::string_view target,
                                          bool target_is_folder) {
    NameConflictDialog dialog(parent, source, target, target_is_folder);
    if (dialog.exec() != QDialog::Accepted) {
        return NameConflictReply{NameConflictAnswer::Cancel, false};
    }
    return dialog.reply();
}

}  // namespace korvane
