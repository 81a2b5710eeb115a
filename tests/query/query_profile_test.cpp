#include "query/query_profile.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

void Add(QueryProfile& profile, const char* table, const char* name) {
    const int row = FindQueryField(profile, table, name);
    ASSERT_GE(row, 0);
    profile.fields[row].in_query = true;
}

bool InQuery(const QueryProfile& profile, int row) {
    return profile.fields[row].in_query;
}

TEST(QueryProfile, FreshProfile) {
    const QueryProfile profile;
    EXPECT_EQ(profile.initial_folder, "My Computer (Scanned Volumes)");
    EXPECT_EQ(profile.sort_column, "Size");
    EXPECT_EQ(profile.sort_direction, "");
    EXPECT_EQ(profile.initial_folder_id, 0);
    EXPECT_FALSE(profile.runnable);
    EXPECT_FALSE(profile.include_subfolders);
    EXPECT_FALSE(AnyFieldInQuery(profile));
}

TEST(QueryProfile, FieldTableRowsAndRoles) {
    const QueryProfile profile;
    // Only the folder and file fields a user can pick allow criteria.
    for (int row = 0; row < kQueryFieldCount; ++row) {
        const bool offered = (row >= 12 && row <= 20) || (row >= 24 && row <= 31);
        EXPECT_EQ(profile.fields[row].criteria_allowed, offered) << row;
    }
    EXPECT_EQ(FindQueryField(profile, "Volume", "Serial Number"), 6);
    EXPECT_EQ(FindQueryField(profile, "Folder", "Owner"), 20);
    EXPECT_EQ(FindQueryField(profile, "File", "Compressed"), 30);
    EXPECT_EQ(FindQueryField(profile, "File", "File ID"), 34);
    EXPECT_EQ(FindQueryField(profile, "file", "Name"), -1);  // case matters
    EXPECT_EQ(FindQueryField(profile, "File", "Path"), -1);
    EXPECT_EQ(profile.fields[20].role_bits, 0u);  // Folder Owner has no owner role
    EXPECT_EQ(profile.fields[31].role_bits, kRoleOwner);
    EXPECT_EQ(profile.fields[30].role_bits, kRoleSize);
    EXPECT_EQ(profile.fields[26].type_name, "Text");
    EXPECT_EQ(profile.fields[28].type_name, "Date/Time");
    EXPECT_EQ(profile.fields[13].type_name, "Size");
    EXPECT_EQ(profile.fields[14].type_name, "Number");
}

TEST(CheckQueryShape, FileNameAndSizeMakeADetailQuery) {
    QueryProfile profile;
    Add(profile, "File", "Name");
    Add(profile, "File", "Size");
    EXPECT_TRUE(CheckQueryShape(profile));
    EXPECT_EQ(profile.crosstab_bits, 0u);
    EXPECT_TRUE(InQuery(profile, kFileAttributesRow));
    EXPECT_FALSE(InQuery(profile, kFileParentIdRow));
    EXPECT_FALSE(InQuery(profile, kFolderIdRow));
    profile.include_subfolders = true;
    EXPECT_TRUE(CheckQueryShape(profile));
    EXPECT_TRUE(InQuery(profile, kFileParentIdRow));
    // Turning subfolders off again takes Parent ID out.
    profile.include_subfolders = false;
    EXPECT_TRUE(CheckQueryShape(profile));
    EXPECT_FALSE(InQuery(profile, kFileParentIdRow));
}

TEST(CheckQueryShape, CrosstabsGroupBySizeWithOwnerOrType) {
    QueryProfile profile;
    Add(profile, "File", "Size");
    Add(profile, "File", "Owner");
    EXPECT_TRUE(CheckQueryShape(profile));
    EXPECT_EQ(profile.crosstab_bits, kRoleSize | kRoleOwner);
    EXPECT_FALSE(InQuery(profile, kFileAttributesRow));
    Add(profile, "File", "Type");
    EXPECT_TRUE(CheckQueryShape(profile));
    EXPECT_EQ(profile.crosstab_bits, kRoleSize | kRoleOwner | kRoleType);
    // A name makes it a detail query again.
    Add(profile, "File", "Name");
    EXPECT_TRUE(CheckQueryShape(profile));
    EXPECT_EQ(profile.crosstab_bits, 0u);
}

TEST(CheckQueryShape, SelectionsThatCannotRun) {
    QueryProfile only_name;
    Add(only_name, "File", "Name");
    EXPECT_FALSE(CheckQueryShape(only_name));
    EXPECT_FALSE(only_name.runnable);

    QueryProfile no_size;
    Add(no_size, "Folder", "Name");
    Add(no_size, "Folder", "Owner");
    EXPECT_FALSE(CheckQueryShape(no_size));
    EXPECT_TRUE(InQuery(no_size, kFolderIdRow));
    EXPECT_TRUE(InQuery(no_size, kFolderAttributesRow));

    QueryProfile name_and_date;
    Add(name_and_date, "File", "Name");
    Add(name_and_date, "File", "Modify Date");
    EXPECT_FALSE(CheckQueryShape(name_and_date));
}

TEST(CheckQueryShape, CompressedCarriesTheSizeRole) {
    QueryProfile profile;
    Add(profile, "File", "Name");
    Add(profile, "File", "Compressed");
    EXPECT_TRUE(CheckQueryShape(profile));
}

TEST(CheckQueryShape, FoldersAndFilesGetTheirIdentifiers) {
    QueryProfile profile;
    Add(profile, "Folder", "Name");
    Add(profile, "Folder", "Size");
    Add(profile, "File", "Name");
    Add(profile, "File", "Size");
    profile.include_subfolders = true;
    EXPECT_TRUE(CheckQueryShape(profile));
    for (int row :
         {kFolderIdRow, kFolderAttributesRow, kFolderParentIdRow, kFileAttributesRow, kFileParentIdRow}) {
        EXPECT_TRUE(InQuery(profile, row)) << row;
    }
    EXPECT_FALSE(InQuery(profile, kFileIdRow));
}

TEST(CheckQueryShape, SortColumnMustBeInTheQuery) {
    QueryProfile profile;
    Add(profile, "File", "Name");
    Add(profile, "File", "Size");
    profile.sort_column = "Type";
    CheckQueryShape(profile);
    EXPECT_EQ(profile.sort_column, "Size");
    profile.sort_column = "Name";
    CheckQueryShape(profile);
    EXPECT_EQ(profile.sort_column, "Name");
    profile.sort_column = "Bogus";
    CheckQueryShape(profile);
    EXPECT_EQ(profile.sort_column, "Size");

    // A folder-only query keeps a sort by a name both tables have.
    QueryProfile folders;
    Add(folders, "Folder", "Name");
    Add(folders, "Folder", "Size");
    Add(folders, "Folder", "Level");
    folders.sort_column = "Name";
    CheckQueryShape(folders);
    EXPECT_EQ(folders.sort_column, "Name");
    folders.sort_column = "Level";
    CheckQueryShape(folders);
    EXPECT_EQ(folders.sort_column, "Level");
}

TEST(DocumentNameOfPath, FileNameCutAtTheFirstDot) {
    EXPECT_EQ(DocumentNameOfPath("/home/ann/Big Files.qry"), "Big Files");
    EXPECT_EQ(DocumentNameOfPath("/q/report.2024.qry"), "report");
    EXPECT_EQ(DocumentNameOfPath("Plain"), "Plain");
    EXPECT_EQ(DocumentNameOfPath("/q.d/name"), "name");
    EXPECT_EQ(DocumentNameOfPath("/q/back\\slash.qry"), "back\\slash");
}

}  // namespace
}  // namespace korvane
