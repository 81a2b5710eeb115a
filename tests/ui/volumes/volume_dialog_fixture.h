// A real catalogue, settings file and private fstab in a temporary folder,
// and the services the volume dialogs are given over them.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTreeWidget>
#include <filesystem>
#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "catalogue/schema.h"
#include "catalogue/user_volumes.h"
#include "support/temp_dir.h"
#include "ui/qt_user_interface.h"
#include "ui/volumes/select_volume_dialog.h"

namespace korvane::testing {

class VolumeDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(CreateEmptyCatalogue(dir / "Korvane.db", error)) << error;
        ASSERT_TRUE(catalogue.OpenCatalogue(dir / "Korvane.db"));
        ASSERT_TRUE(
            WriteFileBytes(dir / "Korvane.ini", "[Options]\r\nDatabase=" + (dir / "Korvane.db") + "\r\n"));
        ASSERT_TRUE(WriteFileBytes(dir / "fstab", ""));
        root = std::filesystem::canonical(dir.path()).string();
        services.catalogue = &catalogue;
        services.tree = &tree;
        services.counters = &counters;
        services.ui = &ui;
        services.settings_path = dir / "Korvane.ini";
        services.event_log_path = dir / "Event.log";
        services.programs.fstab_path = dir / "fstab";
    }

    std::string Folder(const std::string& name) {
        const std::string path = root + "/" + name;
        std::filesystem::create_directories(path);
        return path;
    }
    std::int32_t AddVolume(const std::string& location) {
        UserVolumeRecord record;
        record.location = location;
        EXPECT_TRUE(OpenUserVolumes(catalogue));
        EXPECT_TRUE(AddUserVolume(catalogue, record));
        CloseUserVolumes(catalogue);
        return record.uv_id;
    }
    int CountUserVolumes() {
        int count = 0;
        EXPECT_TRUE(OpenUserVolumes(catalogue));
        UserVolumeRecord record;
        for (bool more = FirstUserVolume(catalogue, record); more; more = NextUserVolume(catalogue, record))
            ++count;
        CloseUserVolumes(catalogue);
        return count;
    }
    // What the first catalogued volume's row says of the volume.
    struct VolumeRowFacts {
        std::string media, owner;
        std::int32_t files = 0;
    };
    VolumeRowFacts FirstVolumeRow() {
        VolumeRowFacts facts;
        EXPECT_TRUE(catalogue.OpenCatalogueTables());
        TableCursor& volumes = catalogue.volume_table();
        EXPECT_TRUE(volumes.MoveFirst());
        volumes.GetText("Type", facts.media);
        volumes.GetText("Owner", facts.owner);
        volumes.GetInt("Files", facts.files);
        catalogue.CloseCatalogueTables();
        return facts;
    }
    // The list row whose Location column shows the text; -1 when none.
    static int RowOf(QTreeWidget* list, const QString& location) {
        for (int row = 0; row < list->topLevelItemCount(); ++row)
            if (list->topLevelItem(row)->text(kLocationColumn) == location)
                return row;
        return -1;
    }
    static void Select(QTreeWidget* list, const std::vector<int>& rows) {
        list->clearSelection();
        for (int row : rows)
            list->topLevelItem(row)->setSelected(true);
    }
    static QPushButton* Button(QWidget& dialog, QDialogButtonBox::StandardButton which) {
        return dialog.findChild<QDialogButtonBox*>()->button(which);
    }

    TempDir dir;
    std::string root;
    QtUserInterface ui;
    Catalogue catalogue{ui};
    FolderTree tree;
    IdCounters counters;
    VolumeSelectionServices services;
};

}  // namespace korvane::testing
