#include "catalogue/folder_tree.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <numeric>

#include "app/text_helpers.h"
#include "catalogue/catalogue.h"
#include "catalogue/field_value.h"
#include "catalogue/sql_statement.h"

namespace korvane {

namespace {

// Nodes whose Parent ID is not a number never join the tree.
constexpr std::uint8_t kNoParent = 1;

// A name read as null has no bytes and no address to copy from.
void CopyBytes(char* target, std::string_view bytes) {
    if (!bytes.empty()) {
        std::memcpy(target, bytes.data(), bytes.size());
    }
}

std::unique_ptr<char[]> CopyName(std::string_view name) {
    auto copy = std::make_unique<char[]>(name.size() + 1);
    CopyBytes(copy.get(), name);
    copy[name.size()] = '\0';
    return copy;
}

bool EndsWith(std::string_view text, char c) {
    return !text.empty() && text.back() == c;
}

}  // namespace

FolderTree::FolderTree() {
    root_name_ = CopyName(kFolderTreeRootName);
    root_.name_data = root_name_.get();
    root_.name_length = static_cast<std::uint32_t>(kFolderTreeRootName.size());
}

FolderTree::~FolderTree() = default;

void FolderTree::FreeFolderTree() {
    root_.first_child = nullptr;
    root_.folders = 0;
    added_.clear();
    nodes_.reset();
    names_.reset();
    node_count_ = 0;
    names_size_ = 0;
    ids_ascending_ = false;
}

std::size_t FolderTree::loaded_bytes() const {
    return node_count_ * sizeof(FolderNode) + names_size_;
}

bool FolderTree::LoadFolderTree(Catalogue& catalogue) {
    FreeFolderTree();
    const DbHandle db = catalogue.connection();
    if (!db) {
        return false;
    }
    // Both passes read one consistent state of the table.
    struct EndRead {
        DbHandle db;
        Catalogue& catalogue;
        bool active;
        ~EndRead() {
            if (!active) {
                return;
            }
            if (db.pg != nullptr) {
                catalogue.EndServerWork(true);
            } else {
                ExecuteSql(db, "COMMIT");
            }
        }
    } end_read{db, catalogue,
               db.pg != nullptr ? catalogue.BeginServerWork(true)
                                : sqlite3_get_autocommit(db.sqlite) != 0 && ExecuteSql(db, "BEGIN")};

    SqlStatement count;
    if (!count.Prepare(db, db.pg != nullptr
                               ? "SELECT count(*), coalesce(sum(octet_length(\"Name\")), 0) FROM \"Folder\""
                               : "SELECT count(*), total(length(CAST(\"Name\" AS BLOB))) FROM \"Folder\"") ||
        count.Step() != SQLITE_ROW) {
        return true;
    }
    const std::int64_t rows = count.ColumnInt(0);
    const double name_bytes = count.ColumnDouble(1);
    count.Finalize();
    if (rows <= 0) {
        return false;
    }
    const std::size_t capacity = static_cast<std::size_t>(rows);
    const std::size_t names_capacity = static_cast<std::size_t>(name_bytes) + capacity;

    SqlStatement read;
    if (!read.Prepare(db, std::string("SELECT \"Folder ID\", \"Parent ID\", \"Folders\", \"Name\" FROM "
                                      "\"Folder\" ORDER BY ") +
                              (db.pg != nullptr ? "\"Folder ID\"" : "rowid"))) {
        return true;
    }
    std::unique_ptr<FolderNode[]> nodes(new (std::nothrow) FolderNode[capacity]);
    std::unique_ptr<char[]> names(new (std::nothrow) char[names_capacity]);
    std::vector<std::uint8_t> state(capacity, 0);
    if (!nodes || !names) {
        return true;
    }
    std::size_t n = 0;
    std::size_t used = 0;
    std::int32_t volume_roots = 0;
    bool ascending = true;
    int rc;
    while ((rc = read.Step()) == SQLITE_ROW) {
        std::string_view name = read.ColumnText(3);
        if (n == capacity || names_capacity - used < name.size() + 1) {
            break;  // the table grew between the passes; the rows counted are kept
        }
        FolderNode& node = nodes[n];
        node.folder_id = SaturateToInt32(read.ColumnInt(0));
        std::int32_t value = 0;
        if (read.ColumnField(1).AsInt32(value)) {
            node.parent_id = value;
        } else {
            state[n] = kNoParent;
        }
        value = 0;
        read.ColumnField(2).AsInt32(value);
        node.folders = value;
        CopyBytes(names.get() + used, name);
        names[used + name.size()] = '\0';
        node.name_data = names.get() + used;
        node.name_length = static_cast<std::uint32_t>(name.size());
        used += name.size() + 1;
        if (node.parent_id == 0 && state[n] != kNoParent) {
            ++volume_roots;
        }
        if (n > 0 && nodes[n - 1].folder_id >= node.folder_id) {
            ascending = false;
        }
        ++n;
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        return true;  // an engine error leaves the root alone
    }
    read.Finalize();
    if (n == 0) {
        return false;
    }
    nodes_ = std::move(nodes);
    names_ = std::move(names);
    node_count_ = n;
    names_size_ = names_capacity;
    ids_ascending_ = ascending;
    root_.folders = volume_roots;

    // Parents by identifier: direct when the identifiers are ascending (always
    // so for the table's own order), else through a sorted index.
    std::vector<std::uint32_t> by_id;
    if (!ascending) {
        by_id.resize(n);
        std::iota(by_id.begin(), by_id.end(), 0U);
        std::stable_sort(by_id.begin(), by_id.end(), [this](std::uint32_t a, std::uint32_t b) {
            return nodes_[a].folder_id < nodes_[b].folder_id;
        });
    }
    auto find = [&](std::int32_t id) -> FolderNode* {
        if (ascending) {
            return FindLoaded(id);
        }
        auto it = std::lower_bound(
            by_id.begin(), by_id.end(), id,
            [this](std::uint32_t index, std::int32_t key) { return nodes_[index].folder_id < key; });
        return it != by_id.end() && nodes_[*it].folder_id == id ? &nodes_[*it] : nullptr;
    };

    // Linking backwards and prepending keeps the table's order among siblings.
    for (std::size_t i = n; i-- > 0;) {
        FolderNode& node = nodes_[i];
        if (state[i] == kNoParent) {
            continue;
        }
        FolderNode* parent = node.parent_id == 0 ? &root_ : find(node.parent_id);
        if (parent == nullptr || parent == &node || parent->folders == 0) {
            continue;
        }
        node.parent = parent;
        node.next_sibling = parent->first_child;
        parent->first_child = &node;
    }

    // Only what hangs below the root is in the tree: cut loose the nodes
    // below a missing parent (and any cycle), so no lookup ever meets them.
    std::vector<bool> reached(n, false);
    for (FolderNode* node = root_.first_child; node != nullptr;) {
        reached[static_cast<std::size_t>(node - nodes_.get())] = true;
        if (node->first_child != nullptr) {
            node = node->first_child;
            continue;
        }
        while (node != nullptr && node->next_sibling == nullptr) {
            node = node->parent == &root_ ? nullptr : node->parent;
        }
        if (node != nullptr) {
            node = node->next_sibling;
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (!reached[i]) {
            nodes_[i].parent = nullptr;
            nodes_[i].first_child = nullptr;
            nodes_[i].next_sibling = nullptr;
        }
    }
    return true;
}

FolderNode* FolderTree::FindLoaded(std::int32_t folder_id) {
    if (node_count_ == 0) {
        return nullptr;
    }
    FolderNode* first = nodes_.get();
    FolderNode* last = first + node_count_;
    const std::int64_t offset = static_cast<std::int64_t>(folder_id) - first->folder_id;
    FolderNode* found = nullptr;
    if (offset >= 0 && offset < static_cast<std::int64_t>(node_count_) &&
        first[offset].folder_id == folder_id) {
        found = first + offset;  // identifiers without gaps
    } else {
        FolderNode* it =
            std::lower_bound(first, last, folder_id,
                             [](const FolderNode& node, std::int32_t id) { return node.folder_id < id; });
        if (it != last && it->folder_id == folder_id) {
            found = it;
        }
    }
    return found;
}

FolderNode* FolderTree::FindFolderById(std::int32_t folder_id, FolderNode* start) {
    if (start == nullptr) {
        return nullptr;
    }
    if (start == &root_) {
        if (folder_id == 0) {
            return &root_;
        }
        if (ids_ascending_) {
            FolderNode* found = FindLoaded(folder_id);
            if (found != nullptr && found->parent != nullptr) {
                return found;
            }
        }
    }
    const FolderNode* stop = start->parent;
    FolderNode* node = start;
    while (node != nullptr) {
        if (node->folder_id == folder_id) {
            return node;
        }
        if (node->first_child != nullptr) {
            node = node->first_child;
            continue;
        }
        while (node->next_sibling == nullptr) {
            node = node->parent;
            if (node == stop || node == nullptr) {
                return nullptr;
            }
        }
        node = node->next_sibling;
    }
    return nullptr;
}

bool FolderTree::FolderPath(const FolderNode* node, std::string& path) const {
    if (node == nullptr) {
        return false;
    }
    if (node == &root_) {
        path.assign(root_.name());
        return true;
    }
    std::vector<const FolderNode*> chain;
    const FolderNode* volume = node;
    chain.push_back(volume);
    while (volume->parent != nullptr && volume->parent != &root_) {
        volume = volume->parent;
        chain.push_back(volume);
    }
    const char separator = PathSeparatorOf(volume->name());
    path.assign(volume->name());
    if (chain.size() == 1) {
        if (!EndsWith(path, separator)) {
            path += separator;
        }
        return true;
    }
    for (std::size_t i = chain.size() - 1; i-- > 0;) {
        path = JoinPath(path, chain[i]->name(), separator);
    }
    return true;
}

bool FolderTree::FolderPathOfId(std::int32_t folder_id, std::string& path) {
    return FolderPath(FindFolderById(folder_id), path);
}

FolderNode* FolderTree::FindFolderByPath(std::string_view path) {
    if (EqualsNoCase(path, root_.name())) {
        return &root_;
    }
    const char separator = PathSeparatorOf(path);
    FolderNode* volume = nullptr;
    for (FolderNode* child = root_.first_child; child != nullptr; child = child->next_sibling) {
        std::string_view name = child->name();
        if (name.empty() || path.size() < name.size() ||
            !PathNamesEqual(name, path.substr(0, name.size()), name)) {
            continue;
        }
        if (path.size() != name.size() && path[name.size()] != separator && !EndsWith(name, separator)) {
            continue;
        }
        // Nested mount points: the longest root that holds the path wins.
        if (volume == nullptr || name.size() > volume->name_length) {
            volume = child;
        }
    }
    if (volume == nullptr) {
        return nullptr;
    }
    std::string_view volume_name = volume->name();
    std::string_view rest = path.substr(volume_name.size());
    if (!rest.empty() && rest.front() == separator) {
        rest.remove_prefix(1);
    }
    if (rest.empty()) {
        return volume;
    }
    FolderNode* node = volume;
    while (!rest.empty()) {
        std::size_t end = rest.find(separator);
        std::string_view component = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        FolderNode* match = nullptr;
        for (FolderNode* child = node->first_child; child != nullptr; child = child->next_sibling) {
            if (PathNamesEqual(volume_name, child->name(), component)) {
                match = child;
                break;
            }
        }
        if (match == nullptr) {
            return nullptr;
        }
        node = match;
    }
    return node;
}

std::int32_t FolderTree::FolderIdOfPath(std::string_view path) {
    FolderNode* node = FindFolderByPath(path);
    return node != nullptr ? node->folder_id : 0;
}

std::int32_t FolderTree::DescendantCountOf(std::int32_t folder_id) {
    FolderNode* node = FindFolderById(folder_id);
    return node != nullptr ? node->folders : 0;
}

void FolderTree::RemoveFolderNode(FolderNode* node) {
    if (node == nullptr || node->parent == nullptr) {
        return;
    }
    for (FolderNode** link = &node->parent->first_child; *link != nullptr; link = &(*link)->next_sibling) {
        if (*link == node) {
            *link = node->next_sibling;
            break;
        }
    }
    node->parent = nullptr;
    node->next_sibling = nullptr;
    // The removed nodes keep identifiers that later folders now take, so the
    // loaded block is no longer a sorted index of the tree.
    ids_ascending_ = false;
}

FolderNode* FolderTree::AddFolderNode(std::string_view name, FolderNode* parent) {
    if (parent == nullptr) {
        return nullptr;
    }
    const std::size_t bytes = sizeof(FolderNode) + name.size() + 1;
    auto block = std::make_unique<std::byte[]>(bytes);
    auto* node = new (block.get()) FolderNode();
    char* text = reinterpret_cast<char*>(block.get() + sizeof(FolderNode));
    CopyBytes(text, name);
    text[name.size()] = '\0';
    node->name_data = text;
    node->name_length = static_cast<std::uint32_t>(name.size());
    node->parent = parent;
    FolderNode** link = &parent->first_child;
    while (*link != nullptr) {
        link = &(*link)->next_sibling;
    }
    *link = node;
    added_.push_back(std::move(block));
    return node;
}

void FolderTree::SetFolderName(FolderNode* node, std::string_view name) {
    if (node == nullptr) {
        return;
    }
    if (node == &root_) {
        root_name_ = CopyName(name);
        root_.name_data = root_name_.get();
        root_.name_length = static_cast<std::uint32_t>(name.size());
        return;
    }
    auto block = std::make_unique<std::byte[]>(name.size() + 1);
    char* text = reinterpret_cast<char*>(block.get());
    CopyBytes(text, name);
    text[name.size()] = '\0';
    node->name_data = text;
    node->name_length = static_cast<std::uint32_t>(name.size());
    added_.push_back(std::move(block));
}

}  // namespace korvane
