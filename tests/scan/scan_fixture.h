// A fresh catalogue and a scan context in a temporary folder, helpers that
// make real trees there, and readers that load what a build wrote.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "catalogue/schema.h"
#include "scan/volume_scanner.h"
#include "support/catalogue_engines.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace korvane::testing {

struct ScannedFolder {
    std::int32_t id = 0, parent = 0, folders = 0, files = 0, level = 0, attributes = 0;
    double size = 0, blocks = 0;
    std::string name, owner;
    bool has_modify = false;
};

struct ScannedFile {
    std::int32_t id = 0, parent = 0, attributes = 0;
    double size = 0, compressed = 0;
    std::string name, owner;
    std::optional<std::string> type;
    bool has_modify = false, has_access = false;
};

struct ScannedVolume {
    std::int32_t id = 0, root_folder = 0, files = 0, folders = 0, serial = 0, type = 0;
    std::string root, name, owner, media, format;
    double size = 0, used = 0, free = 0;
};

struct CatalogueRows {
    std::string computer_name;
    int computer_rows = 0;
    IdCounters counters;
    std::map<std::int32_t, ScannedFolder> folders;
    std::map<std::int32_t, ScannedFile> files;
    std::vector<ScannedVolume> volumes;
};

class ScanTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        db_path_ = FreshCatalogue(engine(), dir_.path().string(), error);
        ASSERT_FALSE(db_path_.empty()) << error;
        ASSERT_TRUE(catalogue_.OpenCatalogue(db_path_)) << catalogue_.last_error();
        trees_ = std::filesystem::canonical(dir_.path()).string();
    }

    void TearDown() override {
        if (OnServer() && !db_path_.empty()) {
            catalogue_.CloseCatalogue();
            std::string error;
            DropPostgresDatabase(db_path_, error);
        }
    }

    // Tests of a fixture derived with OnBothEngines run on both engines.
    virtual CatalogueEngine engine() const { return CatalogueEngine::Sqlite; }
    bool OnServer() const { return engine() == CatalogueEngine::Postgres; }

    // A folder for trees, by its resolved path.
    std::string Tree(const std::string& name) {
        const std::string path = trees_ + "/" + name;
        std::filesystem::create_directories(path);
        return path;
    }

    static void MakeFile(const std::string& path, std::size_t bytes) {
        ASSERT_TRUE(WriteFileBytes(path, std::string(bytes, 'k'))) << path;
    }

    // A file of the given size with no data written: it takes (almost) no space.
    static void MakeSparse(const std::string& path, std::uint64_t size) {
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0) << path;
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
        ::close(fd);
    }

    bool Build(const std::string& volume_list, ProgressWindow* progress = nullptr) {
        return BuildCatalogue(context_, volume_list, progress);
    }

    CatalogueRows Read() {
        CatalogueRows rows;
        EXPECT_TRUE(catalogue_.OpenCatalogueTables());
        catalogue_.ReadIdCounters(rows.counters);
        TableCursor& computer = catalogue_.computer_table();
        for (bool row = computer.MoveFirst(); row; row = computer.MoveNext()) {
            ++rows.computer_rows;
            computer.GetText("Name", rows.computer_name);
        }
        TableCursor& f = catalogue_.folder_table();
        for (bool row = f.MoveFirst(); row; row = f.MoveNext()) {
            ScannedFolder r;
            f.GetInt("Folder ID", r.id);
            f.GetInt("Parent ID", r.parent);
            f.GetInt("Folders", r.folders);
            f.GetInt("Files", r.files);
            f.GetInt("Level", r.level);
            f.GetInt("Attributes", r.attributes);
            f.GetDouble("Size", r.size);
            f.GetDouble("Blocks", r.blocks);
            f.GetText("Name", r.name);
            f.GetText("Owner", r.owner);
            r.has_modify = !f.IsNull("Modify Date");
            rows.folders[r.id] = r;
        }
        TableCursor& file = catalogue_.file_table();
        for (bool row = file.MoveFirst(); row; row = file.MoveNext()) {
            ScannedFile r;
            file.GetInt("File ID", r.id);
            file.GetInt("Parent ID", r.parent);
            file.GetInt("Attributes", r.attributes);
            file.GetDouble("Size", r.size);
            file.GetDouble("Compressed", r.compressed);
            file.GetText("Name", r.name);
            file.GetText("Owner", r.owner);
            std::string type;
            if (file.GetText("Type", type)) {
                r.type = type;
            }
            r.has_modify = !file.IsNull("Modify Date");
            r.has_access = !file.IsNull("Access Date");
            rows.files[r.id] = r;
        }
        TableCursor& v = catalogue_.volume_table();
        for (bool row = v.MoveFirst(); row; row = v.MoveNext()) {
            ScannedVolume r;
            v.GetInt("Volume ID", r.id);
            v.GetInt("Folder ID", r.root_folder);
            v.GetInt("Files", r.files);
            v.GetInt("Folders", r.folders);
            v.GetInt("VolType", r.type);
            if (const FieldValue* serial = v.Field("Serial Number"); serial != nullptr) {
                r.serial = static_cast<std::int32_t>(serial->integer);
            }
            v.GetText("Root", r.root);
            v.GetText("Name", r.name);
            v.GetText("Owner", r.owner);
            v.GetText("Type", r.media);
            v.GetText("Format", r.format);
            v.GetDouble("Size", r.size);
            v.GetDouble("Used", r.used);
            v.GetDouble("Free", r.free);
            rows.volumes.push_back(r);
        }
        EXPECT_TRUE(catalogue_.CloseCatalogueTables());
        return rows;
    }

    // The files of one folder, by name.
    static std::map<std::string, ScannedFile> FilesIn(const CatalogueRows& rows, std::int32_t folder) {
        std::map<std::string, ScannedFile> out;
        for (const auto& [id, file] : rows.files) {
            if (file.parent == folder) {
                out[file.name] = file;
            }
        }
        return out;
    }

    // The folder identifier of a path, through the reloaded tree.
    std::int32_t FolderId(const std::string& path) { return tree_.FolderIdOfPath(path); }

    TempDir dir_;
    std::string db_path_;
    std::string trees_;
    RecordingUserInterface ui_;
    Catalogue catalogue_{ui_};
    FolderTree tree_;
    IdCounters counters_;
    ScanContext context_{catalogue_, tree_, counters_, ui_, dir_ / "Event.log"};
};

}  // namespace korvane::testing
