#include "query/query_editing.h"

#include <gtest/gtest.h>

#include <climits>

#include "query_catalogue.h"

namespace korvane {
namespace {

int Row(const QueryProfile& profile, const char* table, const char* field) {
    return FindQueryField(profile, table, field);
}

TEST(QueryEditing, ListsSplitTheOfferedFieldsAndKeepCriteria) {
    QueryProfile profile;
    EXPECT_EQ(FieldListRows(profile).size(), 17u);
    EXPECT_TRUE(CriteriaListRows(profile).empty());
    EXPECT_FALSE(SetFieldInQuery(profile, 0, true));  // Computer ID is never offered
    EXPECT_FALSE(SetFieldInQuery(profile, Row(profile, "Folder", "Folder ID"), true));
    EXPECT_FALSE(SetFieldInQuery(profile, kQueryFieldCount, true));
    const int name = Row(profile, "Folder", "Name");
    ASSERT_TRUE(SetFieldInQuery(profile, name, true));
    ASSERT_TRUE(SetFieldInQuery(profile, Row(profile, "Folder", "Size"), true));
    EXPECT_TRUE(profile.runnable);
    EXPECT_EQ(CriteriaListRows(profile), (std::vector<int>{name, name + 1}));
    EXPECT_EQ(FieldTitle(profile.fields[name]), "Folder Name");
    profile.fields[name].value_text = "Include  \"a\"";
    ASSERT_TRUE(SetFieldInQuery(profile, name, false));
    EXPECT_FALSE(profile.runnable);
    EXPECT_EQ(profile.fields[name].value_text, "Include  \"a\"");
    // Include subfolders adds the parent fields the answer needs.
    ASSERT_TRUE(SetFieldInQuery(profile, name, true));
    EXPECT_TRUE(ToggleIncludeSubfolders(profile));
    EXPECT_TRUE(profile.fields[kFolderParentIdRow].in_query);
    EXPECT_TRUE(ToggleIncludeSubfolders(profile));
    EXPECT_FALSE(profile.fields[kFolderParentIdRow].in_query);
}

TEST(QueryEditing, DuplicatesAndThresholdsFromTheirDialogs) {
    const struct {
        DuplicateChoice choice;
        const char* text;
    } cases[] = {
        {{false, false, false}, ""},
        {{true, false, true}, "NAME,MDATE,"},
        {{true, true, true}, "NAME,SIZE,MDATE,"},
        {{false, true, false}, "SIZE,"},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(DuplicatesTextOf(entry.choice), entry.text);
        EXPECT_EQ(DuplicateChoiceOf(entry.text), entry.choice) << entry.text;
    }
    EXPECT_EQ(DuplicateChoiceOf("MDATE,NAME"), (DuplicateChoice{true, false, true}));

    const struct {
        const char* text;
        std::int32_t threshold;
    } thresholds[] = {
        {"250", 250}, {" 12abc", 12}, {"abc", 0}, {"", 0}, {"-5", 0}, {"+7", 7}, {"99999999999", INT32_MAX}};
    for (const auto& entry : thresholds)
        EXPECT_EQ(ThresholdOfText(entry.text), entry.threshold) << entry.text;
}

class StartingFolder : public testing::QueryCatalogueTest {};

TEST_F(StartingFolder, ChosenNodesAndRebuildsResolveAgainstTheTree) {
    LoadTree();
    EXPECT_EQ(StartingFolderOfNode(tree_, tree_.root()), kFolderTreeRootName);
    EXPECT_EQ(StartingFolderOfNode(tree_, tree_.FindFolderById(3)), "C:\\Data\\Old");
    EXPECT_EQ(StartingFolderOfNode(tree_, tree_.FindFolderById(6)), "/srv/users/ann");

    QueryProfile profile;
    profile.initial_folder = "C:\\Data\\Old";
    profile.include_subfolders = true;
    EXPECT_TRUE(ResolveStartingFolder(profile, tree_));
    EXPECT_EQ(profile.initial_folder_id, 3);
    EXPECT_TRUE(profile.include_subfolders);
    profile.initial_folder = "C:\\Gone";
    EXPECT_FALSE(ResolveStartingFolder(profile, tree_));
    EXPECT_EQ(profile.initial_folder_id, 0);
    EXPECT_FALSE(profile.include_subfolders);
    profile.initial_folder = "my computer (scanned volumes)";
    profile.include_subfolders = true;
    EXPECT_TRUE(ResolveStartingFolder(profile, tree_));
    EXPECT_TRUE(profile.include_subfolders);
}

}  // namespace
}  // namespace korvane
