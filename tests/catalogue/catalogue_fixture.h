// A fresh catalogue file in a temporary folder, opened, with helpers that add
// rows through the table cursors the way the row writers do.
//
// A fixture derived from EngineCatalogueTest runs on both engines: the SQLite
// file, and a fresh database of the test PostgreSQL server
// (INSTANTIATE_ON_BOTH_ENGINES).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/schema.h"
#include "support/catalogue_engines.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace korvane::testing {

class CatalogueTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        path_ = FreshCatalogue(engine(), dir_.path().string(), error);
        ASSERT_FALSE(path_.empty()) << error;
        ASSERT_TRUE(catalogue_.OpenCatalogue(path_)) << catalogue_.last_error();
    }

    void TearDown() override {
        if (engine() == CatalogueEngine::Postgres && !path_.empty()) {
            catalogue_.CloseCatalogue();
            std::string error;
            DropPostgresDatabase(path_, error);
        }
    }

    virtual CatalogueEngine engine() const { return CatalogueEngine::Sqlite; }
    bool OnServer() const { return engine() == CatalogueEngine::Postgres; }

    void OpenTables() { ASSERT_TRUE(catalogue_.OpenCatalogueTables()) << catalogue_.last_error(); }

    void AddFolder(std::int32_t id, std::int32_t parent, std::int32_t folders, const std::string& name,
                   double size = 0.0, std::int32_t attributes = 0x10) {
        TableCursor& folder = catalogue_.folder_table();
        ASSERT_TRUE(folder.AddNew());
        folder.SetInt("Folder ID", id);
        folder.SetText("Name", name);
        folder.SetInt("Parent ID", parent);
        folder.SetInt("Folders", folders);
        folder.SetDouble("Size", size);
        folder.SetInt("Attributes", attributes);
        ASSERT_TRUE(folder.Update()) << folder.last_error();
    }

    void AddFile(std::int32_t id, std::int32_t parent, const std::string& name, double size,
                 std::optional<double> modified = std::nullopt,
                 std::optional<std::string> owner = std::nullopt, std::int32_t attributes = 0x20) {
        TableCursor& file = catalogue_.file_table();
        ASSERT_TRUE(file.AddNew());
        file.SetInt("File ID", id);
        file.SetText("Name", name);
        file.SetInt("Parent ID", parent);
        file.SetDouble("Size", size);
        file.SetDouble("Compressed", size);
        if (modified) {
            file.SetDate("Modify Date", *modified);
        }
        if (owner) {
            file.SetText("Owner", *owner);
        }
        file.SetInt("Attributes", attributes);
        ASSERT_TRUE(file.Update()) << file.last_error();
    }

    TempDir dir_;
    std::string path_;
    RecordingUserInterface ui_;
    Catalogue catalogue_{ui_};
};

using EngineCatalogueTest = OnBothEngines<CatalogueTest>;

}  // namespace korvane::testing
