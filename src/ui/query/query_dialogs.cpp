#include "ui/query/query_dialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/text_helpers.h"
#include "ui/query/query_images.h"

namespace korvane {
namespace {

QString Text(std::string_view text) {
    return QString::fromStdString(DisplayText(std::string(text)));
}

QDialogButtonBox* OkCancel(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

}  // namespace

CResultThresholdDialog::CResultThresholdDialog(std::int32_t file_threshold, std::int32_t folder_threshold,
                                               QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Result Threshold"));
    file_edit = new QLineEdit(QString::number(file_threshold), this);
    folder_edit = new QLineEdit(QString::number(folder_threshold), this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("File table"), file_edit);
    form->addRow(QStringLiteral("Folder table"), folder_edit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(OkCancel(this));
}

std::int32_t CResultThresholdDialog::FileThreshold() const {
    return ThresholdOfText(file_edit->text().toStdString());
}

std::int32_t CResultThresholdDialog::FolderThreshold() const {
    return ThresholdOfText(folder_edit->text().toStdString());
}

CDescriptionDialog::CDescriptionDialog(const std::string& description, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Description"));
    edit = new QLineEdit(Text(description), this);
    edit->setMaxLength(255);
    edit->setMinimumWidth(360);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Description:"), edit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(OkCancel(this));
}

std::string CDescriptionDialog::Description() const {
    // A line break would split the query file's line: it becomes a blank.
    QString text = edit->text();
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.toStdString();
}

CDuplicateSetupDialog::CDuplicateSetupDialog(const std::string& duplicates, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Duplicate File Setup"));
    const DuplicateChoice choice = DuplicateChoiceOf(duplicates);
    auto* group = new QGroupBox(QStringLiteral("Find files that match the following criteria:"), this);
    name_box = new QCheckBox(QStringLiteral("Name"), group);
    size_box = new QCheckBox(QStringLiteral("Size"), group);
    date_box = new QCheckBox(QStringLiteral("ModifyDate"), group);
    name_box->setChecked(choice.name);
    size_box->setChecked(choice.size);
    date_box->setChecked(choice.modify_date);
    auto* boxes = new QVBoxLayout(group);
    boxes->addWidget(name_box);
    boxes->addWidget(size_box);
    boxes->addWidget(date_box);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(OkCancel(this));
}

DuplicateChoice CDuplicateSetupDialog::Choice() const {
    return {name_box->isChecked(), size_box->isChecked(), date_box->isChecked()};
}

FolderTreeModel::FolderTreeModel(FolderTree& folders, QObject* parent)
    : QAbstractItemModel(parent), folders_(folders) {}

const std::vector<FolderNode*>& FolderTreeModel::ChildrenOf(FolderNode* node) const {
    auto found = children_.find(node);
    if (found != children_.end())
        return found->second;
    std::vector<FolderNode*>& children = children_[node];
    for (FolderNode* child = node->first_child; child != nullptr; child = child->next_sibling) {
        row_of_[child] = static_cast<int>(children.size());
        children.push_back(child);
    }
    return children;
}

FolderNode* FolderTreeModel::NodeOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<FolderNode*>(index.internalPointer()) : nullptr;
}

QModelIndex FolderTreeModel::IndexOf(FolderNode* node) {
    if (node == nullptr)
        return {};
    if (node == folders_.root())
        return createIndex(0, 0, node);
    const QModelIndex parent_index = IndexOf(node->parent);
    if (!parent_index.isValid())
        return {};
    ChildrenOf(node->parent);
    auto row = row_of_.find(node);
    return row == row_of_.end() ? QModelIndex() : createIndex(row->second, 0, node);
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row == 0 ? createIndex(0, 0, const_cast<FolderNode*>(folders_.root())) : QModelIndex();
    const std::vector<FolderNode*>& children = ChildrenOf(NodeOf(parent));
    return row < static_cast<int>(children.size()) ? createIndex(row, 0, children[row]) : QModelIndex();
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
    FolderNode* node = NodeOf(child);
    if (node == nullptr || node == folders_.root() || node->parent == nullptr)
        return {};
    FolderNode* parent_node = node->parent;
    if (parent_node == folders_.root())
        return createIndex(0, 0, parent_node);
    auto row = row_of_.find(parent_node);
    return row == row_of_.end() ? QModelIndex() : createIndex(row->second, 0, parent_node);
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return 1;
    if (parent.column() != 0)
        return 0;
    return static_cast<int>(ChildrenOf(NodeOf(parent)).size());
}

int FolderTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const {
    if (!parent.isValid())
        return true;
    FolderNode* node = NodeOf(parent);
    return node != nullptr && node->first_child != nullptr;
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
    FolderNode* node = NodeOf(index);
    if (node == nullptr)
        return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return Text(node->name());
        case Qt::DecorationRole:
            return QueryImage(node == folders_.root() ? 0 : (node->parent == folders_.root() ? 1 : 2));
        default:
            return {};
    }
}

CInitialFolderDialog::CInitialFolderDialog(FolderTree& folders, const std::string& initial_folder,
                                           QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Initial Query Folder"));
    model = new FolderTreeModel(folders, this);
    tree = new QTreeView(this);
    tree->setAccessibleName(QStringLiteral("Folders"));
    tree->setHeaderHidden(true);
    tree->header()->setAccessibleName(QStringLiteral("Folder column"));
    tree->setUniformRowHeights(true);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setModel(model);
    FolderNode* start = folders.FindFolderByPath(initial_folder);
    const QModelIndex current = model->IndexOf(start != nullptr ? start : folders.root());
    for (QModelIndex up = current.parent(); up.isValid(); up = up.parent())
        tree->expand(up);
    tree->expand(model->index(0, 0));
    tree->setCurrentIndex(current);
    tree->scrollTo(current);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tree);
    layout->addWidget(OkCancel(this));
    resize(360, 420);
}

FolderNode* CInitialFolderDialog::ChosenNode() const {
    const QModelIndexList selected = tree->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? nullptr : model->NodeOf(selected.front());
}

}  // namespace korvane
