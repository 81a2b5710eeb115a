// A real catalogue with a small scanned layout and its folder tree, for the
// tests of queries and results.
//
//   C: (1, volume 1, free 1000)   /srv/users (5, volume 3, free 50)
//     Data (2)                      ann (6)
//       Old (3)
//     Other (4)
// Folder sizes: C: 1000, Data 300, Old 100, Other 50, /srv/users 7, ann 5.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "catalogue/catalogue_fixture.h"
#include "catalogue/day_number.h"
#include "catalogue/folder_tree.h"

namespace korvane::testing {

class QueryCatalogueTest : public CatalogueTest {
  protected:
    void SetUp() override {
        CatalogueTest::SetUp();
        OpenTables();
        AddFolder(1, 0, 3, "C:", 1000.0);
        AddFolder(2, 1, 1, "Data", 300.0);
        AddFolder(3, 2, 0, "Old", 100.0);
        AddFolder(4, 1, 0, "Other", 50.0);
        AddFolder(5, 0, 1, "/srv/users", 7.0);
        AddFolder(6, 5, 0, "ann", 5.0);
        AddVolume(1, 1, "C:", 1000.0);
        AddVolume(3, 5, "/srv/users", 50.0);
    }

    void AddVolume(std::int32_t id, std::int32_t root_folder, const std::string& root, double free) {
        TableCursor& volume = catalogue_.volume_table();
        ASSERT_TRUE(volume.AddNew());
        volume.SetInt("Volume ID", id);
        volume.SetInt("Folder ID", root_folder);
        volume.SetText("Root", root);
        volume.SetText("Name", root);
        volume.SetDouble("Free", free);
        ASSERT_TRUE(volume.Update()) << volume.last_error();
    }

    // Commits the rows added so far and loads the folder tree from them.
    void LoadTree() {
        ASSERT_TRUE(catalogue_.CloseCatalogueTables());
        ASSERT_TRUE(tree_.LoadFolderTree(catalogue_));
    }

    static double Day(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
        double number = 0;
        EXPECT_TRUE(DayNumberFromCivil(year, month, day, hour, minute, second, number));
        return number;
    }

    FolderTree tree_;
};

}  // namespace korvane::testing
