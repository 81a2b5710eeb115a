#include "ui/volumes/select_volume_dialog.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "app/profile_file.h"
#include "app/settings.h"
#include "platform/mount_table.h"
#include "qt_environment.h"
#include "support/ssh_share.h"
#include "support/test_mount.h"
#include "ui/volumes/add_volume_dialog.h"
#include "ui/volumes/map_drive_dialog.h"
#include "volume_dialog_fixture.h"

namespace korvane {
namespace {

using testing::MessageBoxAnswerer;
using testing::TestMount;
using testing::VolumeDialogTest;
using testing::WaitUntil;
using testing::WriteFileBytes;

using SelectVolumeDialogTest = VolumeDialogTest;

TEST_F(SelectVolumeDialogTest, ColumnsViewsAndMenusAsAPersonFindsThem) {
    const std::int32_t ftp = AddVolume("ftp:files.example.org/pub");
    SelectVolumeDialog dialog(services, SelectVolumeMode::Pick);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Select Volume");
    QTreeWidget* list = dialog.List();
    const char* titles[] = {"Letter", "Location", "Size", "Label", "Type"};
    const int widths[] = {40, 260, 60, 80, 120};
    for (int column = 0; column < 5; ++column) {
        EXPECT_EQ(list->headerItem()->text(column), titles[column]);
        EXPECT_EQ(list->columnWidth(column), widths[column]);
    }
    EXPECT_EQ(list->accessibleName(), "Volumes");
    // The drives view: "/" is a mount with an empty Letter column.
    EXPECT_TRUE(dialog.ViewButton(VolumeView::LogicalDrives)->isChecked());
    const int slash = RowOf(list, "/");
    ASSERT_GE(slash, 0);
    EXPECT_EQ(list->topLevelItem(slash)->text(kLetterColumn), "");
    EXPECT_EQ(list->topLevelItem(slash)->textAlignment(kSizeColumn) & Qt::AlignRight, Qt::AlignRight);
    EXPECT_EQ(RowOf(list, "ftp:files.example.org/pub"), -1);

    QTest::mouseClick(dialog.ViewButton(VolumeView::UserVolumes), Qt::LeftButton);
    ASSERT_EQ(list->topLevelItemCount(), 1);
    for (int column : {kSizeColumn, kLabelColumn, kTypeColumn})
        EXPECT_EQ(list->topLevelItem(0)->text(column), "(ftp)");
    EXPECT_EQ(dialog.Items()[0].UvId(), ftp);
    QTest::mouseClick(dialog.ViewButton(VolumeView::Both), Qt::LeftButton);
    EXPECT_EQ(RowOf(list, "ftp:files.example.org/pub"), list->topLevelItemCount() - 1);
    EXPECT_GE(RowOf(list, "/"), 0);

    EXPECT_EQ(dialog.AddVolumeAction()->text(), "&Add Volume...");
    EXPECT_EQ(dialog.RemoveVolumesAction()->text(), "&Remove Volumes");
    EXPECT_EQ(dialog.ConnectAction()->text(), "&Connect");
    EXPECT_EQ(dialog.DisconnectAction()->text(), "&Disconnect");
    EXPECT_EQ(dialog.MapAction()->text(), "&Map Network Drive...");
    EXPECT_EQ(dialog.UserVolumesMenu()->title(), "&User Volumes");

    // A right click opens the User Volumes menu.
    QString popped;
    QTimer::singleShot(50, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            popped = menu->title();
            menu->close();
        }
    });
    const QRect first = list->visualItemRect(list->topLevelItem(0));
    QMetaObject::invokeMethod(list, "customContextMenuRequested", Q_ARG(QPoint, first.center()));
    EXPECT_EQ(popped, "&User Volumes");
}

TEST_F(SelectVolumeDialogTest, PickModeReturnsTheListTextInListOrder) {
    const std::string data = Folder("data");
    const std::int32_t local = AddVolume(data);
    const std::int32_t ftp = AddVolume("ftp:host/pub");
    SelectVolumeDialog dialog(services, SelectVolumeMode::Pick);
    dialog.show();
    QTest::mouseClick(dialog.ViewButton(VolumeView::Both), Qt::LeftButton);
    QTreeWidget* list = dialog.List();
    Select(list, {RowOf(list, QString::fromStdString(data)), RowOf(list, "ftp:host/pub"), RowOf(list, "/")});
    QTest::mouseClick(Button(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.VolumeList(),
              "\"/\",\"uv: " + std::to_string(local) + "\",\"uv: " + std::to_string(ftp) + "\",");
    // Pick mode builds nothing and writes nothing.
    EXPECT_EQ(ReadSelectedDrive(services.settings_path), "");
}

TEST_F(SelectVolumeDialogTest, OkRefusesAnEmptyMountAndAnEmptySelection) {
    SelectVolumeDialog dialog(services, SelectVolumeMode::Pick);
    dialog.show();
    {
        MessageBoxAnswerer answerer({QMessageBox::Ok});
        QTest::mouseClick(Button(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
        ASSERT_EQ(answerer.boxes.size(), 1u);
        EXPECT_EQ(answerer.boxes[0].text, "Volumes must be selected to build a database.");
    }
    EXPECT_TRUE(dialog.isVisible());
    if (geteuid() != 0)
        GTEST_SKIP() << "an empty mount needs root";
    TestMount empty("ramfs", Folder("empty"));
    ASSERT_TRUE(empty.mounted());
    dialog.ShowView(VolumeView::LogicalDrives);
    const int row = RowOf(dialog.List(), QString::fromStdString(empty.path()));
    ASSERT_GE(row, 0);
    EXPECT_EQ(dialog.List()->topLevelItem(row)->text(kSizeColumn), "(Empty)");
    Select(dialog.List(), {RowOf(dialog.List(), "/"), row});
    MessageBoxAnswerer answerer({QMessageBox::Ok});
    QTest::mouseClick(Button(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].text, "Empty or unmounted volume selected...");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.VolumeList(), "");
}

TEST_F(SelectVolumeDialogTest, RememberedButUnmountedEntryShowsNotConnected) {
    const std::string share = Folder("share");
    ASSERT_TRUE(
        WriteFileBytes(services.programs.fstab_path, "//fileserver/public " + share + " cifs _netdev 0 0\n"));
    SelectVolumeDialog dialog(services, SelectVolumeMode::Pick);
    const int row = RowOf(dialog.List(), QString::fromStdString(share));
    ASSERT_GE(row, 0);
    for (int column : {kSizeColumn, kLabelColumn, kTypeColumn})
        EXPECT_EQ(dialog.List()->topLevelItem(row)->text(column), "(n/c)");
    EXPECT_EQ(dialog.Items()[static_cast<std::size_t>(row)].value, kNetworkItemBit);
}

TEST_F(SelectVolumeDialogTest, RemoveAndDeleteOnlyTouchUserVolumesInTheirViews) {
    AddVolume(Folder("one"));
    const std::string two = Folder("two");
    AddVolume(two);
    SelectVolumeDialog dialog(services, SelectVolumeMode::Pick);
    dialog.show();
    QTreeWidget* list = dialog.List();
    const int drives = list->topLevelItemCount();
    Select(list, {0});
    dialog.RemoveVolumesAction()->trigger();
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(list->topLevelItemCount(), drives);
    EXPECT_EQ(CountUserVolumes(), 2);

    QTest::mouseClick(dialog.ViewButton(VolumeView::Both), Qt::LeftButton);
    Select(list, {0, RowOf(list, QString::fromStdString(two))});  // a drive and a user volume
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(RowOf(list, QString::fromStdString(two)), -1);
    EXPECT_EQ(list->topLevelItemCount(), drives + 1);
    EXPECT_EQ(CountUserVolumes(), 1);
    EXPECT_EQ(dialog.Items().size(), static_cast<std::size_t>(list->topLevelItemCount()));
}

// A build big enough to let events through many times.
void MakeTree(const std::string& folder, int folders, int files) {
    for (int f = 0; f < folders; ++f) {
        const std::string sub = folder + "/d" + std::to_string(f);
        std::filesystem::create_directories(sub);
        for (int i = 0; i < files; ++i)
            ASSERT_TRUE(testing::WriteFileBytes(sub + "/f" + std::to_string(i), "x"));
    }
}

TEST_F(SelectVolumeDialogTest, BuildModeBuildsWritesTheKeysAndKeepsHandlersOffTheCatalogue) {
    const std::string data = Folder("data");
    MakeTree(data, 20, 50);
    const std::int32_t uv = AddVolume(data);
    AddVolume(Folder("other"));
    SelectVolumeDialog dialog(services, SelectVolumeMode::Build);
    dialog.show();
    QTest::mouseClick(dialog.ViewButton(VolumeView::UserVolumes), Qt::LeftButton);
    QTreeWidget* list = dialog.List();
    Select(list, {0, 1});

    // While the build lets events through, every handler that would reach
    // the catalogue is tried.
    bool seen_building = false, progress_shown = false, dialog_disabled = false;
    int rows_during = -1;
    QTimer poke;
    poke.setInterval(0);
    QObject::connect(&poke, &QTimer::timeout, [&] {
        if (!dialog.Building() || seen_building)
            return;
        seen_building = true;
        dialog_disabled = !dialog.isEnabled();
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window != &dialog && window->isVisible() && window->findChild<QProgressBar*>() != nullptr)
                progress_shown = true;
        dialog.RemoveVolumesAction()->trigger();
        QTest::keyClick(list, Qt::Key_Delete);
        dialog.RemoveVolumes();
        dialog.ShowView(VolumeView::LogicalDrives);
        dialog.AddVolume();
        dialog.ConnectDrives();
        rows_during = list->topLevelItemCount();
        dialog.reject();
    });
    poke.start();
    QTest::mouseClick(Button(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
    poke.stop();

    EXPECT_TRUE(seen_building);
    EXPECT_TRUE(progress_shown);
    EXPECT_TRUE(dialog_disabled);
    EXPECT_EQ(rows_during, 2);
    EXPECT_EQ(CountUserVolumes(), 2);
    EXPECT_TRUE(dialog.Built());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const std::string list_text =
        "\"uv: " + std::to_string(uv) + "\",\"uv: " + std::to_string(uv + 1) + "\",";
    EXPECT_EQ(ReadSelectedDrive(services.settings_path), list_text);
    EXPECT_FALSE(ReadProfileString(services.settings_path, kSelectedVolumeSection, "ScanDateTime").empty());
    // The folder tree was reloaded from what the build wrote.
    const std::int32_t folder = tree.FolderIdOfPath(data + "/d7");
    ASSERT_NE(folder, 0);
    EXPECT_NE(tree.FolderIdOfPath(root + "/other"), 0);
    ASSERT_TRUE(catalogue.OpenCatalogueTables());
    int files = 0;
    TableCursor& table = catalogue.file_table();
    for (bool row = table.MoveFirst(); row; row = table.MoveNext())
        ++files;
    catalogue.CloseCatalogueTables();
    EXPECT_EQ(files, 1000);
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

// A share of a real sshd, named in a private fstab: connected from the
// dialog, listed as a remote drive, built into the catalogue, disconnected.
TEST_F(SelectVolumeDialogTest, ConnectBuildAndDisconnectARealRemoteShare) {
    if (const std::string missing = testing::SshShare::Missing(); !missing.empty())
        GTEST_SKIP() << missing;
    testing::SshShare server(Folder("ssh"));
    ASSERT_TRUE(server.Start());
    const std::string exported = Folder("exported");
    MakeTree(exported, 3, 4);
    const std::string mount_point = Folder("mnt");
    ASSERT_TRUE(WriteFileBytes(services.programs.fstab_path, server.FstabLine(exported, mount_point)));
    const QString location = QString::fromStdString(mount_point);
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{mount_point};

    SelectVolumeDialog dialog(services, SelectVolumeMode::Build);
    dialog.show();
    QTreeWidget* list = dialog.List();
    int row = RowOf(list, location);
    ASSERT_GE(row, 0);
    EXPECT_EQ(list->topLevelItem(row)->text(kTypeColumn), "(n/c)");
    Select(list, {row});
    dialog.ConnectAction()->trigger();
    row = RowOf(list, location);
    EXPECT_EQ(list->topLevelItem(row)->text(kTypeColumn), "Remote 'fuse.sshfs' Disk");
    const VolumeItem connected = dialog.Items()[static_cast<std::size_t>(row)];
    EXPECT_EQ(connected.value, kNetworkItemBit | kConnectedItemBit);
    EXPECT_EQ(connected.image, 3);
    EXPECT_NE(connected.size, "(Empty)");

    // Listed anew, the mounted share is one remote drive.
    dialog.ShowView(VolumeView::LogicalDrives);
    row = RowOf(list, location);
    ASSERT_GE(row, 0);
    EXPECT_EQ(dialog.Items()[static_cast<std::size_t>(row)].value, kNetworkItemBit | kConnectedItemBit);
    Select(list, {row});
    QTest::mouseClick(Button(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
    ASSERT_TRUE(dialog.Built());
    const VolumeRowFacts volume = FirstVolumeRow();
    EXPECT_EQ(volume.media, "Remote Media");
    EXPECT_EQ(volume.owner, "127.0.0.1");
    EXPECT_EQ(volume.files, 12);

    SelectVolumeDialog again(services, SelectVolumeMode::Pick);
    row = RowOf(again.List(), location);
    Select(again.List(), {row});
    again.DisconnectAction()->trigger();
    row = RowOf(again.List(), location);
    EXPECT_EQ(again.List()->topLevelItem(row)->text(kSizeColumn), "(n/c)");
    EXPECT_EQ(again.Items()[static_cast<std::size_t>(row)].value, kNetworkItemBit);
    EXPECT_EQ(FindMount(ReadMountTable(), mount_point), nullptr);
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

template <typename T>
T* OpenWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<T*>(widget); found != nullptr && found->isVisible())
            return found;
    return nullptr;
}

TEST_F(SelectVolumeDialogTest, AddVolumeStoresTheRowAndShowsTheUserVolumes) {
    const std::string projects = Folder("projects");
    SelectVolumeDialog dialog(services, SelectVolumeMode::Pick);
    dialog.show();
    bool filled = false;
    QTimer::singleShot(0, [&] {
        WaitUntil([] { return OpenWindow<AddVolumeDialog>() != nullptr; });
        auto* add = OpenWindow<AddVolumeDialog>();
        if (add == nullptr)
            return;
        QTest::keyClicks(add->LocationField(), QString::fromStdString(projects + "/"));
        filled = true;
        add->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    dialog.AddVolumeAction()->trigger();
    ASSERT_TRUE(filled);
    EXPECT_EQ(CountUserVolumes(), 1);
    EXPECT_EQ(dialog.View(), VolumeView::UserVolumes);
    ASSERT_EQ(dialog.List()->topLevelItemCount(), 1);
    EXPECT_EQ(dialog.List()->topLevelItem(0)->text(kLocationColumn), QString::fromStdString(projects));
    EXPECT_TRUE(dialog.Items()[0].IsUserVolume());
}

TEST_F(SelectVolumeDialogTest, MapNetworkDriveChecksTheLocationAndReportsAFailedMount) {
    MapDriveDialog map;
    map.show();
    QTest::keyClicks(map.LocationField(), "sftp://joe@127.0.0.1/home");
    EXPECT_FALSE(map.MountPointField()->isEnabled());
    map.LocationField()->setText("127.0.0.1:/nowhere");
    EXPECT_TRUE(map.MountPointField()->isEnabled());
    {
        MessageBoxAnswerer answerer({QMessageBox::Ok});
        map.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        ASSERT_EQ(answerer.boxes.size(), 1u);
        EXPECT_EQ(answerer.boxes[0].text, "Give the folder to mount the share on.");
    }
    EXPECT_TRUE(map.isVisible());
    map.close();

    // A share that cannot be mounted: the program's own words are shown and logged.
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting needs root";
    SelectVolumeDialog dialog(services, SelectVolumeMode::Pick);
    dialog.show();
    const std::string point = root + "/mapped";
    QTimer::singleShot(0, [&] {
        WaitUntil([] { return OpenWindow<MapDriveDialog>() != nullptr; });
        auto* asked = OpenWindow<MapDriveDialog>();
        if (asked == nullptr)
            return;
        asked->LocationField()->setText("//127.0.0.1/noshare");
        asked->MountPointField()->setText(QString::fromStdString(point));
        asked->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    MessageBoxAnswerer answerer({QMessageBox::Ok});
    dialog.MapAction()->trigger();
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_FALSE(answerer.boxes[0].text.empty());
    const std::string log = testing::ReadFileBytes(services.event_log_path);
    EXPECT_NE(log.find("Map //127.0.0.1/noshare"), std::string::npos) << log;
    EXPECT_EQ(FindMount(ReadMountTable(), point), nullptr);
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

// The person presses Cancel in the progress window and confirms: the build
// keeps what it scanned and the dialog ends as built.
TEST_F(SelectVolumeDialogTest, CancelInTheProgressWindowStopsTheBuild) {
    const std::string data = Folder("data");
    MakeTree(data, 40, 100);
    AddVolume(data);
    SelectVolumeDialog dialog(services, SelectVolumeMode::Build);
    dialog.show();
    dialog.ShowView(VolumeView::UserVolumes);
    Select(dialog.List(), {0});
    bool pressed = false;
    QTimer press;
    press.setInterval(0);
    QObject::connect(&press, &QTimer::timeout, [&] {
        if (pressed || !dialog.Building())
            return;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window == &dialog || !window->isVisible() || window->findChild<QProgressBar*>() == nullptr)
                continue;
            for (QPushButton* button : window->findChildren<QPushButton*>())
                if (button->text() == "Cancel") {
                    pressed = true;
                    QTest::mouseClick(button, Qt::LeftButton);
                }
        }
    });
    press.start();
    MessageBoxAnswerer answerer({QMessageBox::Yes});
    QTest::mouseClick(Button(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
    press.stop();
    ASSERT_TRUE(pressed);
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].text, "Are you sure want to Cancel?");
    EXPECT_TRUE(dialog.Built());
    ASSERT_TRUE(catalogue.OpenCatalogueTables());
    int files = 0, volumes = 0;
    for (bool row = catalogue.file_table().MoveFirst(); row; row = catalogue.file_table().MoveNext())
        ++files;
    for (bool row = catalogue.volume_table().MoveFirst(); row; row = catalogue.volume_table().MoveNext())
        ++volumes;
    catalogue.CloseCatalogueTables();
    EXPECT_LT(files, 4000);
    EXPECT_EQ(volumes, 1);
}

}  // namespace
}  // namespace korvane
