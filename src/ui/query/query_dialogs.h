// The dialogs of the query commands: Result Threshold, Description,
// Duplicate File Setup and the Initial Query Folder chooser over the
// catalogue's folder tree.
#pragma once

#include <QAbstractItemModel>
#include <QDialog>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/folder_tree.h"
#include "query/query_editing.h"

class QCheckBox;
class QLineEdit;
class QTreeView;

namespace korvane {

class CResultThresholdDialog : public QDialog {
    Q_OBJECT
  public:
    CResultThresholdDialog(std::int32_t file_threshold, std::int32_t folder_threshold,
                           QWidget* parent = nullptr);
    std::int32_t FileThreshold() const;
    std::int32_t FolderThreshold() const;

    QLineEdit* file_edit = nullptr;
    QLineEdit* folder_edit = nullptr;
};

class CDescriptionDialog : public QDialog {
    Q_OBJECT
  public:
    CDescriptionDialog(const std::string& description, QWidget* parent = nullptr);
    std::string Description() const;

    QLineEdit* edit = nullptr;
};

class CDuplicateSetupDialog : public QDialog {
    Q_OBJECT
  public:
    CDuplicateSetupDialog(const std::string& duplicates, QWidget* parent = nullptr);
    DuplicateChoice Choice() const;

    QCheckBox* name_box = nullptr;
    QCheckBox* size_box = nullptr;
    QCheckBox* date_box = nullptr;
};

// The folder tree as a model: one top item, the tree's root, and below it
// the folders, each folder's children listed only when a view asks for them
// (on expanding), so a tree of millions costs what is shown.
class FolderTreeModel : public QAbstractItemModel {
    Q_OBJECT
  public:
    explicit FolderTreeModel(FolderTree& folders, QObject* parent = nullptr);

    FolderNode* NodeOf(const QModelIndex& index) const;
    // The index of a node, listing the children on its way down.
    QModelIndex IndexOf(FolderNode* node);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

  private:
    const std::vector<FolderNode*>& ChildrenOf(FolderNode* node) const;

    FolderTree& folders_;
    mutable std::unordered_map<const FolderNode*, std::vector<FolderNode*>> children_;
    mutable std::unordered_map<const FolderNode*, int> row_of_;
};

class CInitialFolderDialog : public QDialog {
    Q_OBJECT
  public:
    // Opens on the current starting folder when the tree holds it.
    CInitialFolderDialog(FolderTree& folders, const std::string& initial_folder, QWidget* parent = nullptr);
    // The chosen folder; null when nothing is chosen.
    FolderNode* ChosenNode() const;

    QTreeView* tree = nullptr;
    FolderTreeModel* model = nullptr;
};

}  // namespace korvane
