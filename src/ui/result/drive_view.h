// The left-hand pane of a result window: what the catalogue holds, as a
// tree of the top item, the scanned volumes and their folders, filled from
// the in-memory folder tree when an item opens and dropped when it closes.
// Picking an item makes its folder the result's current folder and runs the
// result again; the tree follows the current folder when it changes
// elsewhere (drill-down, Up One Level).
#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QTreeView>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "ui/document_frame.h"
#include "ui/result/result_document.h"

namespace korvane {

inline constexpr const char* kNoDatabase = "No database...";

// The picture index of a volume by its media text: fixed 0, removable 1,
// compact disk 2, remote and FTP 3, memory 4, anything else 5.
int VolumeImageOfMedia(std::string_view media);

class DriveModel : public QAbstractItemModel {
    Q_OBJECT
  public:
    struct Item {
        enum class Kind { Top, Volume, Folder } kind = Kind::Folder;
        FolderNode* node = nullptr;
        Item* parent = nullptr;
        int row = 0;
        bool marker = false;  // shows an opening mark
        bool filled = false;
        int image = 6;
        std::string text;  // top and volume items; folders show their node's name
        std::vector<std::unique_ptr<Item>> children;
    };

    explicit DriveModel(QObject* parent = nullptr);

    // The top item and one item per Volume row (identifiers 1, 2, ... up to
    // the first missing). Returns the number of volumes.
    int Rebuild(Catalogue* catalogue, FolderTree& folders);
    // Adds an item for every child folder of the item's node, sorted by
    // name; an item without a folder node (the top item, a volume whose
    // root folder is missing) keeps what it has.
    void Fill(const QModelIndex& index);
    // Drops the item's children, so that the next opening lists them anew.
    void Drop(const QModelIndex& index);
    // Gives the items of the folder its node's current name.
    void Renamed(std::int32_t folder_id);

    Item* ItemOf(const QModelIndex& index) const;
    QModelIndex IndexOf(const Item* item) const;
    QModelIndex TopIndex() const { return IndexOf(top_.get()); }
    // The shown child of index whose node has the folder identifier.
    QModelIndex ChildWithFolder(const QModelIndex& index, std::int32_t folder_id) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QVariant data(const QModelIndex& index, int role) const override;

  private:
    std::unique_ptr<Item> top_;
    std::vector<QIcon> images_;
};

class CDriveView : public QTreeView, public DocumentView {
    Q_OBJECT
  public:
    explicit CDriveView(ResultWindowDocument& document, QWidget* parent = nullptr);

    QWidget* Widget() override { return this; }
    // Hint 0 follows the current folder, 1 rebuilds, 2 renames; the view's
    // own changes are not answered.
    void OnUpdate(int hint) override;
    void SetStatusSink(std::function<void(int pane, const std::string& text)> sink) {
        status_ = std::move(sink);
    }

    DriveModel* Model() const { return model_; }
    // Rebuilds from the catalogue's volumes, then follows the current folder.
    void Rebuild();
    // Opens the tree down to the current folder, selects it and runs the result.
    void FollowCurrentFolder();
    bool BusyWithOwnChange() const { return own_change_; }

  private:
    void OnSelected(const QModelIndex& index);
    void OnCollapsed(const QModelIndex& index);
    void SelectQuietly(const QModelIndex& index);

    ResultWindowDocument& document_;
    DriveModel* model_ = nullptr;
    std::function<void(int, const std::string&)> status_;
    bool own_change_ = false;
};

}  // namespace korvane
