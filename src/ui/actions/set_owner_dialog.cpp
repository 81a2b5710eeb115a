#include "ui/actions/set_owner_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/text_helpers.h"

namespace korvane {
namespace {

constexpr int kValueRole = Qt::UserRole + 1;

QString Text(const std::string& bytes) {
    return QString::fromStdString(DisplayText(bytes));
}

void AddItems(const AccountTree& accounts, AccountTree::ItemId id, QTreeWidgetItem* parent,
              QTreeWidget* tree) {
    const AccountTree::Item& item = accounts.item(id);
    if (item.deleted) {
        return;
    }
    auto* widget_item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
    widget_item->setText(0, Text(item.text));
    widget_item->setData(0, kValueRole, item.value);
    // The account's own bytes, for the change itself.
    widget_item->setData(0, Qt::UserRole,
                         QByteArray(item.text.data(), static_cast<qsizetype>(item.text.size())));
    for (const AccountTree::ItemId child : item.children) {
        AddItems(accounts, child, widget_item, tree);
    }
    widget_item->setExpanded(item.expanded);
}

}  // namespace

SetOwnerDialog::SetOwnerDialog(QWidget* parent, const OwnerSummary& summary, const AccountTree& accounts,
                               bool holds_folder)
    : QDialog(parent) {
    setWindowTitle(tr("Set File Owner..."));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    auto* file = new QLabel(Text(summary.file_text), this);
    file->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(tr("File:"), file);
    current_owner_ = new QLabel(Text(summary.owner_text), this);
    form->addRow(tr("Current owner:"), current_owner_);
    layout->addLayout(form);
    auto* apply_all = new QCheckBox(tr("Apply to all files and subdirectories"), this);
    apply_all->setEnabled(holds_folder);
    layout->addWidget(apply_all);
    tree_ = new QTreeWidget(this);
    tree_->setHeaderLabel(tr("Owners and Groups"));
    tree_->setAccessibleName(tr("Owners and Groups"));
    for (const AccountTree::ItemId top : accounts.top_items()) {
        AddItems(accounts, top, nullptr, tree_);
    }
    layout->addWidget(tree_);
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(false);
    layout->addWidget(buttons_);
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, &SetOwnerDialog::SelectionChanged);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(420, 440);
}

void SetOwnerDialog::SelectionChanged() {
    const QTreeWidgetItem* item = tree_->currentItem();
    const bool account = item != nullptr && item->isSelected() && item->data(0, kValueRole).toInt() == 1;
    chosen_ = account ? item->data(0, Qt::UserRole).toByteArray().toStdString() : std::string();
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(account);
}

void SetOwnerDialog::SetCurrentOwner(const std::string& owner) {
    current_owner_->setText(Text(owner));
}

}  // namespace korvane
