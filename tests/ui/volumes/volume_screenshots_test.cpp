// Pictures of the volume dialogs for a person to look at, in the build
// folder's "screenshots" folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <memory>

#include "ftp_test_server.h"
#include "qt_environment.h"
#include "ui/volumes/add_volume_dialog.h"
#include "ui/volumes/ftp_browse_dialog.h"
#include "volume_dialog_fixture.h"
#include "test_paths.h"

namespace korvane {
namespace {

const QString kFolder = QStringLiteral(KORVANE_BINARY_DIR "/screenshots");

void Save(QWidget& widget, const char* name) {
    ASSERT_TRUE(QDir().mkpath(kFolder));
    widget.show();
    QApplication::processEvents();
    EXPECT_TRUE(widget.grab().save(kFolder + "/" + name, "PNG")) << name;
}

using VolumeScreenshots = testing::VolumeDialogTest;

TEST_F(VolumeScreenshots, SelectVolumeAddVolumeAndFtpBrowse) {
    AddVolume(Folder("projects"));
    AddVolume("ftp:ftp.example.org/pub");
    AddVolume("\\\\fileserver\\public\\docs");
    ASSERT_TRUE(testing::WriteFileBytes(services.programs.fstab_path,
                                        "//fileserver/public " + Folder("public") + " cifs _netdev 0 0\n"));
    SelectVolumeDialog dialog(services, SelectVolumeMode::Build);
    Save(dialog, "select_volume_drives.png");
    dialog.ShowView(VolumeView::Both);
    dialog.List()->topLevelItem(dialog.List()->topLevelItemCount() - 2)->setSelected(true);
    Save(dialog, "select_volume_both.png");

    AddVolumeDialog add(ui, SystemLocationLookup());
    QTest::mouseClick(add.FtpSiteButton(), Qt::LeftButton);
    add.LocationField()->setText("ftp.example.org/pub");
    Save(add, "add_volume.png");

    const std::string python = testing::FindPyFtpdlibPython();
    if (python.empty())
        GTEST_SKIP() << "python3-pyftpdlib is needed for the FTP Browse picture";
    const std::string site_root = root + "/site";
    for (const char* folder : {"/pub/docs", "/pub/images", "/incoming", "/mirror/debian"})
        std::filesystem::create_directories(site_root + folder);
    testing::FtpTestServer server;
    std::string why;
    ASSERT_TRUE(server.Start(python, site_root, Folder("ftp-work"), why)) << why;
    FtpSite site{"127.0.0.1", "anonymous", "korvane@localhost", server.port(), false};
    FtpBrowseDialog browse(ui, site);
    testing::MessageBoxAnswerer answerer({QMessageBox::Ok});
    ASSERT_TRUE(browse.Connect());
    ASSERT_TRUE(answerer.boxes.empty()) << answerer.boxes[0].text;
    QTreeWidgetItem* top = browse.Tree()->topLevelItem(0);
    for (int i = 0; i < top->childCount(); ++i) {
        if (top->child(i)->text(0) == "pub") {
            top->child(i)->setExpanded(true);
            browse.Tree()->setCurrentItem(top->child(i)->child(0));
        }
    }
    Save(browse, "ftp_browse.png");
}

}  // namespace
}  // namespace korvane
