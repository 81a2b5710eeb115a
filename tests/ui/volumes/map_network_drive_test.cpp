// Map Network Drive end to end: a person maps a guest SMB share by its
// address, GIO mounts it, the drives view lists it as a remote drive whose
// files can be read and built into the catalogue, and Disconnect ends the
// mount. A share for a named user is mapped by name and password, which go
// only to gio's input: never to its command line, environment, the event
// log or the settings file.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <set>

#include <sys/stat.h>
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
using testing::SmbUser;
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
    const VolumeRowFacts volume = FirstVolumeRow();
    EXPECT_EQ(volume.media, "Remote Media");
    EXPECT_EQ(volume.owner, "127.0.0.1");
    EXPECT_EQ(volume.files, 2);

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

// The control a screen reader announces by this name.
QWidget* ControlNamed(QWidget& window, const QString& name) {
    const std::function<QWidget*(QAccessibleInterface*)> find =
        [&](QAccessibleInterface* parent) -> QWidget* {
        for (int i = 0; i < parent->childCount(); ++i) {
            QAccessibleInterface* child = parent->child(i);
            if (child == nullptr)
                continue;
            if (child->text(QAccessible::Name) == name)
                return qobject_cast<QWidget*>(child->object());
            if (QWidget* found = find(child))
                return found;
        }
        return nullptr;
    };
    return find(QAccessible::queryAccessibleInterface(&window));
}

bool TypeInto(MapDriveDialog& map, const QString& location, const QString& user, const QString& password) {
    const std::pair<QString, QString> fields[] = {
        {"Location", location}, {"User name", user}, {"Password", password}};
    for (const auto& [name, text] : fields) {
        QWidget* field = ControlNamed(map, name);
        if (field == nullptr || !field->isEnabled()) {
            ADD_FAILURE() << "no field " << name.toStdString() << " to type into";
            return false;
        }
        QTest::keyClicks(field, text);
    }
    return true;
}

// Maps a location as a person does, typing into the Map dialog's fields and
// pressing OK; a picture of the dialog is kept when one is named. The
// messages shown afterwards.
std::vector<std::string> MapAs(SelectVolumeDialog& dialog, const QString& location, const QString& user,
                               const QString& password, const char* picture = nullptr) {
    bool typed = false;
    QTimer::singleShot(0, [&] {
        WaitUntil([] { return OpenMapDialog() != nullptr; });
        MapDriveDialog* map = OpenMapDialog();
        if (map == nullptr)
            return;
        typed = TypeInto(*map, location, user, password);
        if (!typed) {
            map->reject();
            return;
        }
        if (picture != nullptr)
            SavePicture(*map, picture);
        QTest::mouseClick(map->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    testing::MessageBoxAnswerer answerer({QMessageBox::Ok});
    dialog.MapAction()->trigger();
    EXPECT_TRUE(typed);
    std::vector<std::string> shown;
    for (const auto& box : answerer.boxes)
        shown.push_back(box.text);
    return shown;
}

// The mounts GIO shows in its FUSE folder now.
std::vector<std::string> GioMounts(const GioSession& session) {
    std::vector<std::string> mounts;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(session.FuseRoot(), ec), end; !ec && it != end;
         it.increment(ec))
        mounts.push_back(it->path().string());
    return mounts;
}

// The name and password fields are there for addresses only, and not for a
// guest; every control has a name of its own and a mnemonic no other uses.
TEST_F(MapNetworkDriveTest, TheNameAndPasswordAreAskedForAddressesUnlessAsGuest) {
    MapDriveDialog map;
    map.show();
    QWidget* location = ControlNamed(map, "Location");
    auto* user = qobject_cast<QLineEdit*>(ControlNamed(map, "User name"));
    auto* password = qobject_cast<QLineEdit*>(ControlNamed(map, "Password"));
    ASSERT_NE(location, nullptr);
    ASSERT_NE(user, nullptr);
    ASSERT_NE(password, nullptr);
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    struct Case {
        const char* location;
        bool asks;
    };
    // The last one leaves an address in the field.
    for (const Case& c : {Case{"", false}, Case{"//server/share", false}, Case{"server:/export", false},
                          Case{"sftp://host/home", true}, Case{"smb://server/share", true}}) {
        map.LocationField()->clear();
        QTest::keyClicks(location, c.location);
        EXPECT_EQ(user->isEnabled(), c.asks) << c.location;
        EXPECT_EQ(password->isEnabled(), c.asks) << c.location;
    }
    QTest::keyClicks(user, "joe");
    QTest::keyClicks(password, "pass word");
    EXPECT_EQ(map.Credentials().user, "joe");
    EXPECT_EQ(map.Credentials().password, "pass word");
    QTest::keyClick(map.GuestBox(), Qt::Key_Space);
    EXPECT_TRUE(map.AsGuest());
    EXPECT_FALSE(user->isEnabled());
    EXPECT_FALSE(password->isEnabled());
    EXPECT_EQ(map.Credentials().password, "");
    QTest::keyClick(map.GuestBox(), Qt::Key_Space);
    EXPECT_TRUE(password->isEnabled());

    std::set<QChar> mnemonics;
    for (QWidget* widget : map.findChildren<QWidget*>()) {
        QString text;
        if (auto* label = qobject_cast<QLabel*>(widget))
            text = label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            text = button->text();
        if (const qsizetype amp = text.indexOf(QLatin1Char('&')); amp >= 0 && amp + 1 < text.size()) {
            EXPECT_TRUE(mnemonics.insert(text[amp + 1].toLower()).second) << text.toStdString();
        }
    }
    EXPECT_GE(mnemonics.size(), 5u);
}

TEST_F(MapNetworkDriveTest, AUsersShareIsMappedByNameAndPasswordAndAWrongPasswordIsRefused) {
    if (GioSession::KernelLacksFuse())
        GTEST_SKIP() << "the kernel offers no FUSE (/dev/fuse), so no share mounted through GIO can show";
    if (geteuid() != 0)
        GTEST_SKIP() << "smbd and its user database are set up as root";
    ASSERT_EQ(GioSession::MissingProgram(), "");
    ASSERT_EQ(SmbShare::MissingProgram(), "");
    const SmbUser user{"nobody", "Pr1vate-Horse"};
    const std::string wrong_password = "Wr0ng-Horse";
    SmbShare smb(Folder("smb"));
    ASSERT_TRUE(smb.Start(user)) << ReadFileBytes(root + "/smb/smbd.out")
                                 << ReadFileBytes(root + "/smb/pdbedit.out");
    ASSERT_TRUE(WriteFileBytes(smb.SharedFolder() + "/notes.txt", "for joe only\n"));
    GioSession session(Folder("session"));
    ASSERT_TRUE(session.Start()) << ReadFileBytes(root + "/session/bus.log");
    // gio as it is, with what it is started with written down first.
    const std::string started_with = root + "/gio-started-with.txt";
    services.programs.gio = root + "/gio";
    ASSERT_TRUE(WriteFileBytes(services.programs.gio, "#!/bin/sh\necho \"$@\" >>'" + started_with +
                                                          "'\nenv >>'" + started_with +
                                                          "'\nexec /usr/bin/gio \"$@\"\n"));
    ::chmod(services.programs.gio.c_str(), 0755);

    SelectVolumeDialog dialog(services, SelectVolumeMode::Pick);
    dialog.show();
    const QString address = QString::fromStdString(smb.Address());
    const QString password = QString::fromStdString(user.password);

    const std::vector<std::string> refused =
        MapAs(dialog, address, QStringLiteral("nobody"), QString::fromStdString(wrong_password));
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0], "The name or password was not accepted.");
    EXPECT_EQ(GioMounts(session), std::vector<std::string>());
    std::string log = ReadFileBytes(services.event_log_path);
    EXPECT_NE(log.find("Map " + smb.Address() + ": The name or password was not accepted."),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Enter user and password"), std::string::npos) << log;  // gio's own words

    // The domain named before the name, as smb names write it.
    const std::vector<std::string> shown = MapAs(dialog, address, QStringLiteral("WORKGROUP\\nobody"),
                                                 password, "map_network_drive_password.png");
    EXPECT_EQ(shown, std::vector<std::string>());
    std::vector<std::string> mounts = GioMounts(session);
    ASSERT_EQ(mounts.size(), 1u) << ReadFileBytes(services.event_log_path);
    QTreeWidget* list = dialog.List();
    int row = RowOf(list, QString::fromStdString(mounts[0]));
    ASSERT_GE(row, 0);
    EXPECT_TRUE(dialog.Items()[static_cast<std::size_t>(row)].IsConnected());
    EXPECT_EQ(list->topLevelItem(row)->text(kTypeColumn), "Remote 'fuse.gvfsd-fuse' Disk");
    EXPECT_EQ(ReadFileBytes(mounts[0] + "/notes.txt"), "for joe only\n");
    Select(list, {row});
    dialog.DisconnectAction()->trigger();
    EXPECT_TRUE(WaitUntil([&] { return GioMounts(session).empty(); }));
    // Nothing remembers the mount, so the list no longer shows it.
    EXPECT_EQ(RowOf(dialog.List(), QString::fromStdString(mounts[0])), -1);

    // The name in the address itself: only the password is typed.
    const QString with_user =
        QString::fromStdString("smb://nobody@127.0.0.1:" + std::to_string(smb.port()) + "/share");
    EXPECT_EQ(MapAs(dialog, with_user, QString(), password), std::vector<std::string>());
    mounts = GioMounts(session);
    ASSERT_EQ(mounts.size(), 1u) << ReadFileBytes(services.event_log_path);
    EXPECT_NE(mounts[0].find("user=nobody"), std::string::npos) << mounts[0];
    EXPECT_EQ(ReadFileBytes(mounts[0] + "/notes.txt"), "for joe only\n");

    const std::string started = ReadFileBytes(started_with);
    EXPECT_NE(started.find("mount " + smb.Address()), std::string::npos) << started;
    log = ReadFileBytes(services.event_log_path);
    for (const std::string& secret : {user.password, wrong_password}) {
        EXPECT_EQ(started.find(secret), std::string::npos);
        EXPECT_EQ(log.find(secret), std::string::npos);
        EXPECT_EQ(ReadFileBytes(services.settings_path).find(secret), std::string::npos);
    }
    session.Stop();
    EXPECT_EQ(GioMounts(session), std::vector<std::string>());
}

}  // namespace
}  // namespace korvane
