#include "owners/account_tree.h"

#include <algorithm>
#include <cctype>

namespace korvane {
namespace {

bool LessNoCase(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

void AccountTree::Clear() {
    items_.clear();
    top_.clear();
    selected_ = kNoItem;
}

AccountTree::ItemId AccountTree::AddItem(ItemId parent, std::string_view text, int value) {
    const ItemId id = items_.size();
    Item item;
    item.text = std::string(text);
    item.value = value;
    item.parent = parent;
    items_.push_back(std::move(item));
    (parent == kNoItem ? top_ : items_.at(parent).children).push_back(id);
    return id;
}

void AccountTree::SetText(ItemId item, std::string_view text) {
    items_.at(item).text = std::string(text);
}

void AccountTree::SetChildMarker(ItemId item, int count) {
    items_.at(item).child_marker = count;
}

void AccountTree::SortChildren(ItemId item) {
    std::vector<ItemId>& list = item == kNoItem ? top_ : items_.at(item).children;
    std::stable_sort(list.begin(), list.end(),
                     [this](ItemId a, ItemId b) { return LessNoCase(items_[a].text, items_[b].text); });
}

void AccountTree::Expand(ItemId item) {
    items_.at(item).expanded = true;
}

void AccountTree::DeleteChildren(ItemId item) {
    std::vector<ItemId> pending = items_.at(item).children;
    items_.at(item).children.clear();
    while (!pending.empty()) {
        const ItemId id = pending.back();
        pending.pop_back();
        Item& gone = items_.at(id);
        gone.deleted = true;
        if (selected_ == id)
            selected_ = kNoItem;
        pending.insert(pending.end(), gone.children.begin(), gone.children.end());
        gone.children.clear();
    }
}

AccountTree::ItemId AccountTree::Find(ItemId parent, std::string_view text) const {
    const std::vector<ItemId>& list = parent == kNoItem ? top_ : items_.at(parent).children;
    for (ItemId id : list) {
        if (items_[id].text == text)
            return id;
    }
    return kNoItem;
}

}  // namespace korvane
