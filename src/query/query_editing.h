// What the query window's lists and commands do to a query's profile, kept
// apart from the windows so tests can check them on a profile alone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/folder_tree.h"
#include "query/query_profile.h"

namespace korvane {

// Rows offered to the person (criteria allowed), in table order: those not
// in the query (the field list) and those in it (the criteria list).
std::vector<int> FieldListRows(const QueryProfile& profile);
std::vector<int> CriteriaListRows(const QueryProfile& profile);

// "File Name": the table name, a blank and the field name. It titles the
// field's list items and its criteria dialog.
std::string FieldTitle(const QueryField& field);

// Puts an offered field into the query or takes it out, then runs the shape
// check. The value text stays with the row, so a field added again shows
// its old criterion. False, with nothing changed, for a row that is not
// offered.
bool SetFieldInQuery(QueryProfile& profile, int row, bool in_query);

// Include Subfolders: toggles the flag and runs the shape check; returns
// the runnable flag.
bool ToggleIncludeSubfolders(QueryProfile& profile);

// The three boxes of the duplicate file setup.
struct DuplicateChoice {
    bool name = false;
    bool size = false;
    bool modify_date = false;
    bool operator==(const DuplicateChoice&) const = default;
};
// Ticked when the text holds "NAME", "SIZE", "MDATE".
DuplicateChoice DuplicateChoiceOf(std::string_view duplicates);
// "NAME,", "SIZE,", "MDATE," for the ticked boxes, in that order.
std::string DuplicatesTextOf(const DuplicateChoice& choice);

// A threshold typed as text: its leading decimal number, 0 when there is
// none. A negative or oversized number gives 0 and the largest limit: a row
// limit below zero would make a statement the engine refuses.
std::int32_t ThresholdOfText(std::string_view text);

// The starting folder a folder of the tree stands for: its path, or the top
// node's name (all volumes) for the top node.
std::string StartingFolderOfNode(const FolderTree& folders, const FolderNode* node);

// After the catalogue was rebuilt: the starting folder's identifier found
// again; a folder that is gone gives 0 and include subfolders off. True
// when the folder was found (or is the top node).
bool ResolveStartingFolder(QueryProfile& profile, FolderTree& folders);

}  // namespace korvane
