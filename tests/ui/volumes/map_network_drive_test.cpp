// Map Network Drive end to end: a person maps a guest SMB share by its
// address, GIO mounts it, the drives view lists it as a remote drive whose
// files can be read and built into the catalogue, and Disconnect ends the
// mount.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include <unistd.h>

#include "qt_environment.h"
#include "support/gio_session.h"
#include "support/smb_share.h"
#include "test_paths.h"
#include "ui/volumes/map_drive_dialog.h"
#include "volume_dialog_fixture.h"

namespace korvane {
namespace {

using testing::GioSession;
using testing::ReadFileBytes;
using testing::SmbShare;
using testing::WaitUntil;
using testing::WriteFileBytes;

using MapNetworkDriveTest = testing::VolumeDialogTest;

// Pictures for a person to look at, beside the other dialogs' pictures.
void SavePicture(QWidget& widget, const char* name) {
    const QString folder = QStringLiteral(KORVANE_BINARY_DIR "/screenshots");
    ASSERT_TRUE(QDir().mkpath(folder));
    QApplication::processEvents();
    EXPECT_TRUE(widget.grab().save(folder + "/" + name, "PNG")) << name;
}

MapDriveDialog* OpenMapDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<MapDriveDialog*>(widget); found != nullptr && found->isVisible())
            return found;
    return nullptr;
}

TEST_F(MapNetworkDriveTest, AGuestShareMappedThroughGioIsListedBuiltAndDisconnected) {
    if (GioSession::KernelLacksFuse())
        GTEST_SKIP() << "the kernel offers no FUSE (/dev/fuse), so no share mounted through GIO can show";
    if (geteuid() != 0)
        GTEST_SKIP() << "smbd serves guests only when started as root";
    ASSERT_EQ(GioSession::MissingProgram(), "");
    ASSERT_EQ(SmbShare::MissingProgram(), "");
    SmbShare smb(Folder("smb"));
    ASSERT_TRUE(smb.Start()) << ReadFileBytes(root + "/smb/smbd.out");
    ASSERT_TRUE(WriteFileBytes(smb.SharedFolder() + "/notes.txt", "kept on the server\n"));
    std::filesystem::create_directories(smb.SharedFolder() + "/letters");
    ASSERT_TRUE(WriteFileBytes(smb.SharedFolder() + "/letters/first.txt", "dear reader\n"));
    GioSession session(Folder("session"));
    ASSERT_TRUE(session.Start()) << ReadFileBytes(root + "/session/bus.log");

    SelectVolumeDialog dialog(services, SelectVolumeMode::Build);
    dialog.show();
    const QString address = QString::fromStdString(smb.Address());
    bool asked = false;
    QTimer::singleShot(0, [&] {
        WaitUntil([] { return OpenMapDialog() != nullptr; });
        MapDriveDialog* map = OpenMapDialog();
        if (map == nullptr)
            return;
        map->LocationField()->setFocus();
        QTest::keyClicks(map->LocationField(), address);
        EXPECT_FALSE(map->MountPointField()->isEnabled());
        ASSERT_TRUE(map->GuestBox()->isEnabled());
        QStyleOptionButton option;
        option.initFrom(map->GuestBox());
        const QRect box =
            map->GuestBox()->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, map->GuestBox());
        QTest::mouseClick(map->GuestBox(), Qt::LeftButton, {}, box.center());
        EXPECT_TRUE(map->AsGuest());
        SavePicture(*map, "map_network_drive.png");
        asked = true;
        QTest::mouseClick(Button(*map, QDialogButtonBox::Ok), Qt::LeftButton);
    });
    {
        testing::MessageBoxAnswerer answerer({QMessageBox::Ok});
        dialog.MapAction()->trigger();
        ASSERT_TRUE(asked);
        for (const auto& box : answerer.boxes)
            ADD_FAILURE() << box.text;
    }

    // GIO names the mount's folder by its mount name, keys in order.
    const std::string mounted = session.FuseRoot() + "/smb-share:port=" + std::to_string(smb.port()) +
                                ",server=127.0.0.1,share=share";
    QTreeWidget* list = dialog.List();
    int row = RowOf(list, QString::fromStdString(mounted));
    ASSERT_GE(row, 0) << ReadFileBytes(services.event_log_path);
    const VolumeItem& item = dialog.Items()[static_cast<std::size_t>(row)];
    EXPECT_TRUE(item.IsNetwork());
    EXPECT_TRUE(item.IsConnected());
    EXPECT_EQ(list->topLevelItem(row)->text(kLetterColumn), "");
    EXPECT_EQ(list->topLevelItem(row)->text(kTypeColumn), "Remote 'fuse.gvfsd-fuse' Disk");
    EXPECT_NE(list->topLevelItem(row)->text(kSizeColumn), "(Empty)");
    EXPECT_EQ(ReadFileBytes(mounted + "/notes.txt"), "kept on the server\n");
    list->setCurrentItem(list->topLevelItem(row));
    SavePicture(dialog, "select_volume_mapped_share.png");

    // The mapped share builds into the catalogue as a remote volume of its server.
    Select(list, {row});
    QTest::mouseClick(Button(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
    ASSERT_TRUE(dialog.Built());
    ASSERT_TRUE(catalogue.OpenCatalogueTables());
    TableCursor& volumes = catalogue.volume_table();
    ASSERT_TRUE(volumes.MoveFirst());
    std::string media, owner;
    std::int32_t files = 0;
    volumes.GetText("Type", media);
    volumes.GetText("Owner", owner);
    volumes.GetInt("Files", files);
    catalogue.CloseCatalogueTables();
    EXPECT_EQ(media, "Remote Media");
    EXPECT_EQ(owner, "127.0.0.1");
    EXPECT_EQ(files, 2);

    SelectVolumeDialog again(services, SelectVolumeMode::Pick);
    list = again.List();
    row = RowOf(list, QString::fromStdString(mounted));
    ASSERT_GE(row, 0);
    Select(list, {row});
    again.DisconnectAction()->trigger();
    // The kernel may keep the folder's name for a moment after GIO let go.
    EXPECT_TRUE(WaitUntil([&] { return !std::filesystem::exists(mounted); }));
    EXPECT_EQ(ReadFileBytes(services.event_log_path), "");
}

}  // namespace
}  // namespace korvane
