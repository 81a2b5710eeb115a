#include "ui/result/drive_view.h"

#include <strings.h>
#include <QApplication>
#include <QItemSelectionModel>
#include <QStyle>

#include <algorithm>

#include "app/text_helpers.h"
#include "catalogue/volume_fetch.h"

namespace korvane {
namespace {

QString Text(std::string_view text) {
    return QString::fromStdString(DisplayText(text));
}

// Names compared without regard to case; a tree's names end with a NUL.
bool NameLess(const FolderNode* a, const FolderNode* b) {
    return ::strcasecmp(a->name_data, b->name_data) < 0;
}

// The pictures: six volume kinds, closed and open folder, the top item.
std::vector<QIcon> DriveImages() {
    QStyle* style = QApplication::style();
    std::vector<QIcon> images(10);
    images[0] = style->standardIcon(QStyle::SP_DriveHDIcon);
    images[1] = style->standardIcon(QStyle::SP_DriveFDIcon);
    images[2] = style->standardIcon(QStyle::SP_DriveCDIcon);
    images[3] = style->standardIcon(QStyle::SP_DriveNetIcon);
    images[4] = QIcon::fromTheme(QStringLiteral("media-flash"), style->standardIcon(QStyle::SP_DriveHDIcon));
    images[5] = style->standardIcon(QStyle::SP_DriveHDIcon);
    images[6] = style->standardIcon(QStyle::SP_DirClosedIcon);
    images[7] = style->standardIcon(QStyle::SP_DirOpenIcon);
    images[8] = images[6];
    images[9] = style->standardIcon(QStyle::SP_ComputerIcon);
    return images;
}

}  // namespace

int VolumeImageOfMedia(std::string_view media) {
    if (media == "Fixed Disk Media")
        return 0;
    if (media == "Removable Disk Media")
        return 1;
    if (media == "Compact Disk Media")
        return 2;
    if (media == "Remote Media" || media == "FTP Server")
        return 3;
    if (media == "Memory Media")
        return 4;
    return 5;
}

DriveModel::DriveModel(QObject* parent) : QAbstractItemModel(parent), images_(DriveImages()) {}

int DriveModel::Rebuild(Catalogue* catalogue, FolderTree& folders) {
    beginResetModel();
    top_ = std::make_unique<Item>();
    top_->kind = Item::Kind::Top;
    top_->node = folders.root();
    top_->marker = true;
    top_->filled = true;
    top_->image = 9;
    top_->text = std::string(folders.root()->name());
    int volumes = 0;
    VolumeScanRecord volume;
    for (std::int32_t id = 1; catalogue != nullptr && id > 0 && FetchVolumeById(*catalogue, id, volume);
         ++id) {
        auto item = std::make_unique<Item>();
        item->kind = Item::Kind::Volume;
        item->parent = top_.get();
        item->row = static_cast<int>(top_->children.size());
        for (FolderNode* child = folders.root()->first_child; child != nullptr; child = child->next_sibling) {
            if (child->folder_id == volume.root_folder_id) {
                item->node = child;
                break;
            }
        }
        const std::string root = item->node != nullptr ? std::string(item->node->name()) : volume.root;
        item->text = volume.name + " (" + root + ")";
        item->image = VolumeImageOfMedia(volume.media);
        item->marker = volume.folders != 0 && item->node != nullptr;
        top_->children.push_back(std::move(item));
        ++volumes;
    }
    endResetModel();
    return volumes;
}

DriveModel::Item* DriveModel::ItemOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<Item*>(index.internalPointer()) : nullptr;
}

QModelIndex DriveModel::IndexOf(const Item* item) const {
    return item == nullptr ? QModelIndex() : createIndex(item->row, 0, const_cast<Item*>(item));
}

void DriveModel::Fill(const QModelIndex& index) {
    Item* item = ItemOf(index);
    if (item == nullptr || item->filled || item->node == nullptr || item->node->folder_id == 0)
        return;
    std::vector<FolderNode*> nodes;
    for (FolderNode* child = item->node->first_child; child != nullptr; child = child->next_sibling)
        nodes.push_back(child);
    std::stable_sort(nodes.begin(), nodes.end(), NameLess);
    item->filled = true;
    if (nodes.empty()) {
        item->marker = false;
        emit dataChanged(index, index);
        return;
    }
    beginInsertRows(index, 0, static_cast<int>(nodes.size()) - 1);
    item->children.reserve(nodes.size());
    for (FolderNode* node : nodes) {
        auto child = std::make_unique<Item>();
        child->node = node;
        child->parent = item;
        child->row = static_cast<int>(item->children.size());
        child->marker = node->folders != 0;
        item->children.push_back(std::move(child));
    }
    endInsertRows();
}

void DriveModel::Drop(const QModelIndex& index) {
    Item* item = ItemOf(index);
    if (item == nullptr || item->kind == Item::Kind::Top)
        return;
    if (!item->children.empty()) {
        beginRemoveRows(index, 0, static_cast<int>(item->children.size()) - 1);
        item->children.clear();
        endRemoveRows();
    }
    item->filled = false;
}

void DriveModel::Renamed(std::int32_t folder_id) {
    std::vector<Item*> pending{top_.get()};
    while (!pending.empty()) {
        Item* item = pending.back();
        pending.pop_back();
        if (item == nullptr)
            continue;
        if (item->kind == Item::Kind::Folder && item->node != nullptr && item->node->folder_id == folder_id) {
            const QModelIndex index = IndexOf(item);
            emit dataChanged(index, index);
        }
        for (const auto& child : item->children)
            pending.push_back(child.get());
    }
}

QModelIndex DriveModel::ChildWithFolder(const QModelIndex& index, std::int32_t folder_id) const {
    const Item* item = ItemOf(index);
    if (item == nullptr)
        return {};
    for (const auto& child : item->children) {
        if (child->node != nullptr && child->node->folder_id == folder_id)
            return IndexOf(child.get());
    }
    return {};
}

QModelIndex DriveModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row == 0 && top_ ? IndexOf(top_.get()) : QModelIndex();
    const Item* item = ItemOf(parent);
    if (row >= static_cast<int>(item->children.size()))
        return {};
    return IndexOf(item->children[row].get());
}

QModelIndex DriveModel::parent(const QModelIndex& index) const {
    const Item* item = ItemOf(index);
    return item == nullptr ? QModelIndex() : IndexOf(item->parent);
}

int DriveModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return top_ ? 1 : 0;
    if (parent.column() != 0)
        return 0;
    return static_cast<int>(ItemOf(parent)->children.size());
}

int DriveModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool DriveModel::hasChildren(const QModelIndex& parent) const {
    if (!parent.isValid())
        return top_ != nullptr;
    const Item* item = ItemOf(parent);
    return item->filled ? !item->children.empty() : item->marker;
}

bool DriveModel::canFetchMore(const QModelIndex& parent) const {
    const Item* item = ItemOf(parent);
    return item != nullptr && !item->filled && item->marker;
}

void DriveModel::fetchMore(const QModelIndex& parent) {
    Fill(parent);
}

QVariant DriveModel::data(const QModelIndex& index, int role) const {
    const Item* item = ItemOf(index);
    if (item == nullptr)
        return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
        case Qt::ToolTipRole:
            return item->kind == Item::Kind::Folder ? Text(item->node->name()) : Text(item->text);
        case Qt::DecorationRole:
            return images_[item->image];
        default:
            return {};
    }
}

CDriveView::CDriveView(ResultWindowDocument& document, QWidget* parent)
    : QTreeView(parent), document_(document) {
    setObjectName(QStringLiteral("CDriveView"));
    setAccessibleName(QStringLiteral("Scanned volumes"));
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    model_ = new DriveModel(this);
    setModel(model_);
    connect(this, &QTreeView::collapsed, this, &CDriveView::OnCollapsed);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { OnSelected(current); });
}

void CDriveView::OnUpdate(int hint) {
    if (own_change_)
        return;
    switch (hint) {
        case kHintFolderChanged:
            FollowCurrentFolder();
            break;
        case kHintCatalogueChanged:
            Rebuild();
            break;
        case kHintFolderRenamed:
            model_->Renamed(document_.RenamedFolderId());
            break;
        default:
            break;
    }
}

void CDriveView::SelectQuietly(const QModelIndex& index) {
    const bool was = own_change_;
    own_change_ = true;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
    own_change_ = was;
}

void CDriveView::Rebuild() {
    own_change_ = true;
    const int volumes =
        model_->Rebuild(document_.HasCatalogue() ? &document_.GetCatalogue() : nullptr, document_.Folders());
    expand(model_->TopIndex());
    if (volumes == 0 && status_)
        status_(0, kNoDatabase);
    SelectQuietly(model_->TopIndex());
    own_change_ = false;
    FollowCurrentFolder();
}

void CDriveView::FollowCurrentFolder() {
    std::vector<std::int32_t> chain;
    for (const FolderNode* node = document_.CurrentFolder(); node != nullptr; node = node->parent)
        chain.push_back(node->folder_id);
    std::reverse(chain.begin(), chain.end());  // the tree root (0) first
    own_change_ = true;
    QModelIndex reached = model_->TopIndex();
    for (std::size_t i = 1; i < chain.size() && reached.isValid(); ++i) {
        model_->Fill(reached);
        if (!isExpanded(reached))
            expand(reached);
        const QModelIndex child = model_->ChildWithFolder(reached, chain[i]);
        if (!child.isValid())
            break;
        reached = child;
    }
    SelectQuietly(reached);
    // The run's refresh comes back to this view while the flag is set, and is not answered.
    document_.Rerun();
    own_change_ = false;
}

void CDriveView::OnSelected(const QModelIndex& index) {
    if (own_change_ || !index.isValid())
        return;
    const DriveModel::Item* item = model_->ItemOf(index);
    if (item == nullptr || item->node == nullptr)
        return;
    own_change_ = true;
    document_.SetCurrentFolder(item->node->folder_id);
    document_.Rerun();
    own_change_ = false;
}

void CDriveView::OnCollapsed(const QModelIndex& index) {
    QModelIndex selected = currentIndex();
    for (QModelIndex up = selected.parent(); up.isValid(); up = up.parent()) {
        if (up == index) {
            setCurrentIndex(index);
            break;
        }
    }
    model_->Drop(index);
}

}  // namespace korvane
