// The account tree the Set File Owner dialog shows: accounts (value 1) that
// can be chosen, below containers (value 0) such as "Local Users" or the
// organisations of a directory tree. The listing operations fill it; the
// dialog draws it and reports which item is selected.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

class AccountTree {
  public:
    using ItemId = std::size_t;
    static constexpr ItemId kNoItem = static_cast<ItemId>(-1);

    struct Item {
        std::string text;
        int value = 0;         // 1 an account, 0 a container
        int child_marker = 0;  // children announced before they are listed
        bool expanded = false;
        ItemId parent = kNoItem;
        std::vector<ItemId> children;
        bool deleted = false;
    };

    void Clear();
    // Adds an item at the end of parent's children (kNoItem: a top item).
    ItemId AddItem(ItemId parent, std::string_view text, int value);
    void SetText(ItemId item, std::string_view text);
    void SetChildMarker(ItemId item, int count);
    // Orders the children by text, ignoring case, as the tree control does.
    void SortChildren(ItemId item);
    void Expand(ItemId item);
    void Select(ItemId item) { selected_ = item; }
    void DeleteChildren(ItemId item);

    ItemId selected() const { return selected_; }
    const std::vector<ItemId>& top_items() const { return top_; }
    const std::vector<ItemId>& children(ItemId item) const { return items_.at(item).children; }
    const Item& item(ItemId id) const { return items_.at(id); }
    // The child of parent (kNoItem: a top item) with exactly this text.
    ItemId Find(ItemId parent, std::string_view text) const;

  private:
    std::vector<Item> items_;
    std::vector<ItemId> top_;
    ItemId selected_ = kNoItem;
};

}  // namespace korvane
