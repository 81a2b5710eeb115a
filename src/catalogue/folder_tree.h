// Every catalogue folder in memory, under the root "My Computer (Scanned
// Volumes)" (folder ID 0), for turning paths into folder IDs and back and for
// the number of folders below a folder, without asking the database.
//
// Layout: the nodes read from the catalogue live in one block and their names
// in one block of characters; a node added later is one allocation holding
// the node and its name; a replaced name is one allocation of its own. A
// loaded node costs sizeof(FolderNode) plus its name and a terminating NUL.
//
// Paths: the separator follows the volume root ("/" for roots that begin with
// "ftp:" or "/", "\" otherwise); names below a POSIX root compare exactly,
// other roots ignore case. A node whose parent is missing, whose parent has a
// Folders count of 0, or that hangs below such a node (a cycle included) is
// left out of the tree: lookups never reach it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

class Catalogue;

struct FolderNode {
    std::int32_t folder_id = 0;
    std::int32_t parent_id = 0;
    std::int32_t folders = 0;  // folders below, all depths; the root: volume root folders
    std::uint32_t name_length = 0;
    const char* name_data = "";
    FolderNode* parent = nullptr;
    FolderNode* first_child = nullptr;
    FolderNode* next_sibling = nullptr;

    std::string_view name() const { return std::string_view(name_data, name_length); }
};

inline constexpr std::string_view kFolderTreeRootName = "My Computer (Scanned Volumes)";

class FolderTree {
  public:
    FolderTree();
    ~FolderTree();
    FolderTree(const FolderTree&) = delete;
    FolderTree& operator=(const FolderTree&) = delete;

    FolderNode* root() { return &root_; }
    const FolderNode* root() const { return &root_; }

    // Rebuilds the tree from the Folder table (children in the table's order:
    // the order of the folder identifiers). 1 when at least one row was read;
    // 0 with an empty table (the tree is then the root alone). An engine error
    // while reading leaves the root alone and still returns 1.
    bool LoadFolderTree(Catalogue& catalogue);
    // Releases every node and name; the root stays, with no children.
    void FreeFolderTree();

    // Searches start, its subtree, then its following siblings with theirs,
    // depth first. From the root, 0 finds the root.
    FolderNode* FindFolderById(std::int32_t folder_id, FolderNode* start);
    FolderNode* FindFolderById(std::int32_t folder_id) { return FindFolderById(folder_id, &root_); }
    FolderNode* FindFolderByPath(std::string_view path);
    // The node's full path; a volume root folder ends with its separator
    // (C:\, ftp:host/, /mnt/data/). False for no node.
    bool FolderPath(const FolderNode* node, std::string& path) const;
    bool FolderPathOfId(std::int32_t folder_id, std::string& path);
    // 0 when no node has the path (and 0 for the root).
    std::int32_t FolderIdOfPath(std::string_view path);
    // The node's Folders count; 0 when no node has the identifier.
    std::int32_t DescendantCountOf(std::int32_t folder_id);
    // A new last child of parent with folder ID, parent ID and folders 0; the
    // parent's counts do not change. Null when parent is null.
    FolderNode* AddFolderNode(std::string_view name, FolderNode* parent);
    // Unlinks a node (with its subtree) from its parent; lookups no longer
    // reach it. The parent's counts do not change. The root cannot go.
    void RemoveFolderNode(FolderNode* node);
    // Gives a node a new name (held in an allocation of its own).
    void SetFolderName(FolderNode* node, std::string_view name);

    // Nodes read by the last load, and the bytes the tree holds for them.
    std::size_t loaded_node_count() const { return node_count_; }
    std::size_t loaded_bytes() const;

  private:
    FolderNode* FindLoaded(std::int32_t folder_id);
    const FolderNode* VolumeRootOf(const FolderNode* node, std::size_t& depth) const;

    FolderNode root_;
    std::unique_ptr<char[]> root_name_;
    std::unique_ptr<FolderNode[]> nodes_;  // the node block
    std::unique_ptr<char[]> names_;        // the name block
    std::size_t node_count_ = 0;
    std::size_t names_size_ = 0;
    bool ids_ascending_ = false;                       // nodes_ is ordered by folder ID: lookups may halve
    std::vector<std::unique_ptr<std::byte[]>> added_;  // added nodes and replaced names
};

}  // namespace korvane
