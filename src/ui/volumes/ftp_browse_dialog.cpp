#include "ui/volumes/ftp_browse_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/text_helpers.h"

namespace korvane {

FtpBrowseDialog::FtpBrowseDialog(UserInterface& ui, const FtpSite& site, FtpTimeouts timeouts,
                                 QWidget* parent)
    : QDialog(parent), browser_(ui, site, timeouts) {
    setWindowTitle(QStringLiteral("FTP Browse"));
    auto* layout = new QVBoxLayout(this);
    tree_ = new QTreeWidget(this);
    tree_->setHeaderHidden(true);
    tree_->setAccessibleName(QStringLiteral("Folders"));
    tree_->setMinimumSize(320, 260);
    layout->addWidget(tree_);
    path_line_ = new QLabel(this);
    path_line_->setAccessibleName(QStringLiteral("Selected path"));
    layout->addWidget(path_line_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &FtpBrowseDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FtpBrowseDialog::reject);
    connect(tree_, &QTreeWidget::itemExpanded, this, &FtpBrowseDialog::OnExpanded);
    connect(tree_, &QTreeWidget::itemCollapsed, this, &FtpBrowseDialog::OnCollapsed);
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, &FtpBrowseDialog::OnSelection);
}

// The browser logs out (under its status window) as it goes.
FtpBrowseDialog::~FtpBrowseDialog() = default;

int FtpBrowseDialog::IdOf(const QTreeWidgetItem* widget) {
    return widget != nullptr ? widget->data(0, Qt::UserRole).toInt() : 0;
}

// The widget's children become the browser item's, each showing an
// expander while the browser says it may have children.
void FtpBrowseDialog::Fill(QTreeWidgetItem* widget, int item) {
    const FtpBrowseItem* node = browser_.Item(item);
    if (node == nullptr)
        return;
    qDeleteAll(widget->takeChildren());
    widget->setChildIndicatorPolicy(node->has_children ? QTreeWidgetItem::ShowIndicator
                                                       : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    for (int child : node->children) {
        const FtpBrowseItem* child_node = browser_.Item(child);
        if (child_node == nullptr)
            continue;
        auto* child_widget =
            new QTreeWidgetItem(widget, {QString::fromStdString(DisplayText(child_node->name))});
        child_widget->setData(0, Qt::UserRole, child);
        Fill(child_widget, child);
    }
    widget->setExpanded(node->expanded && !node->children.empty());
}

QTreeWidgetItem* FtpBrowseDialog::WidgetOf(int item) const {
    for (QTreeWidgetItemIterator it(tree_); *it; ++it)
        if (IdOf(*it) == item)
            return *it;
    return nullptr;
}

bool FtpBrowseDialog::Connect() {
    if (!browser_.Open())
        return false;
    syncing_ = true;
    auto* top = new QTreeWidgetItem(
        tree_, {QString::fromStdString(DisplayText(browser_.Item(browser_.top())->name))});
    top->setData(0, Qt::UserRole, browser_.top());
    Fill(top, browser_.top());
    tree_->setCurrentItem(top);
    path_line_->setText(QString::fromStdString(DisplayText(browser_.SelectedPath())));
    syncing_ = false;
    return true;
}

void FtpBrowseDialog::OnExpanded(QTreeWidgetItem* widget) {
    if (syncing_)
        return;
    syncing_ = true;
    browser_.Expand(IdOf(widget));
    Fill(widget, IdOf(widget));
    syncing_ = false;
}

void FtpBrowseDialog::OnCollapsed(QTreeWidgetItem* widget) {
    if (syncing_)
        return;
    syncing_ = true;
    const int item = IdOf(widget);
    browser_.Collapse(item);
    Fill(widget, item);
    // The browser keeps every folder with an expander until it is listed again.
    widget->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    if (QTreeWidgetItem* selected = WidgetOf(browser_.selected()))
        tree_->setCurrentItem(selected);
    syncing_ = false;
    OnSelection();
}

void FtpBrowseDialog::OnSelection() {
    if (QTreeWidgetItem* current = tree_->currentItem(); current != nullptr && !syncing_) {
        browser_.Select(IdOf(current));
    }
    path_line_->setText(QString::fromStdString(DisplayText(browser_.SelectedPath())));
}

std::optional<std::string> BrowseFtpSite(UserInterface& ui, const FtpSite& site, QWidget* parent,
                                         FtpTimeouts timeouts) {
    FtpBrowseDialog dialog(ui, site, timeouts, parent);
    if (!dialog.Connect())
        return std::nullopt;
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.SelectedPath();
}

}  // namespace korvane
