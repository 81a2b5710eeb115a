#include "ui/volumes/add_volume_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <memory>

#include "ftp_test_server.h"
#include "qt_environment.h"
#include "support/temp_dir.h"
#include "ui/qt_user_interface.h"
#include "ui/volumes/ftp_browse_dialog.h"

namespace korvane {
namespace {

using testing::MessageBoxAnswerer;

QPushButton* OkButton(QDialog& dialog) {
    return dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
}

class AddVolumeDialogTest : public ::testing::Test {
  protected:
    QtUserInterface ui;
    AddVolumeDialog dialog{ui, SystemLocationLookup()};
};

TEST_F(AddVolumeDialogTest, KindsAndCheckBoxesFollowTheRules) {
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Add Volume");
    EXPECT_TRUE(dialog.LogicalDriveButton()->isChecked());
    EXPECT_EQ(dialog.TypeLine()->text(), "Local");
    EXPECT_FALSE(dialog.UseDefaultBox()->isEnabled());
    EXPECT_FALSE(dialog.UserNameField()->isEnabled());
    EXPECT_EQ(dialog.PasswordField()->echoMode(), QLineEdit::Password);

    QTest::mouseClick(dialog.FtpSiteButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.TypeLine()->text(), "FTP");
    EXPECT_TRUE(dialog.UseDefaultBox()->isChecked());
    EXPECT_EQ(dialog.UserNameField()->text(), "anonymous");
    EXPECT_FALSE(dialog.UserNameField()->isEnabled());
    EXPECT_EQ(dialog.PortField()->text(), "21");
    EXPECT_TRUE(dialog.PassiveBox()->isEnabled());

    QTest::mouseClick(dialog.UseDefaultBox(), Qt::LeftButton);
    EXPECT_TRUE(dialog.UserNameField()->isEnabled());
    EXPECT_TRUE(dialog.SavePasswordBox()->isEnabled());
    EXPECT_FALSE(dialog.PasswordField()->isEnabled());
    dialog.UserNameField()->clear();
    QTest::keyClicks(dialog.LocationField(), "ftp.example.org\\pub\\docs\\");
    {
        MessageBoxAnswerer answerer({QMessageBox::Ok});
        QTest::mouseClick(OkButton(dialog), Qt::LeftButton);
        ASSERT_EQ(answerer.boxes.size(), 1u);
        EXPECT_EQ(answerer.boxes[0].text, std::string(kNoUserNameMessage));
    }
    QTest::keyClicks(dialog.UserNameField(), "joe");
    QTest::mouseClick(dialog.SavePasswordBox(), Qt::LeftButton);
    EXPECT_TRUE(dialog.PasswordField()->isEnabled());
    {
        MessageBoxAnswerer answerer({QMessageBox::Ok});
        QTest::mouseClick(OkButton(dialog), Qt::LeftButton);
        ASSERT_EQ(answerer.boxes.size(), 1u);
        EXPECT_EQ(answerer.boxes[0].text, std::string(kNoPasswordMessage));
        EXPECT_TRUE(dialog.isVisible());
    }
    QTest::keyClicks(dialog.PasswordField(), "pw");
    QTest::mouseClick(dialog.PassiveBox(), Qt::LeftButton);
    dialog.PortField()->setText("2121");
    QTest::mouseClick(OkButton(dialog), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const UserVolumeRecord& record = dialog.Record();
    EXPECT_EQ(record.location, "ftp:ftp.example.org/pub/docs");
    EXPECT_EQ(record.user_name, "joe");
    EXPECT_EQ(record.password, "pw");
    EXPECT_EQ(record.port, 2121);
    EXPECT_EQ(record.flags, kPassiveTransfers);
}

TEST_F(AddVolumeDialogTest, ALocalFolderKeepsNoLoginAndAnEmptyLocationIsRefused) {
    testing::TempDir dir;
    const std::string folder = std::filesystem::canonical(dir.path()).string();
    dialog.show();
    {
        MessageBoxAnswerer answerer({QMessageBox::Ok});
        QTest::mouseClick(OkButton(dialog), Qt::LeftButton);
        ASSERT_EQ(answerer.boxes.size(), 1u);
        EXPECT_EQ(answerer.boxes[0].text, "You must supply a location.");
    }
    QTest::keyClicks(dialog.LocationField(), QString::fromStdString(folder + "/"));
    QTest::mouseClick(OkButton(dialog), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Record().location, folder);
    EXPECT_EQ(dialog.Record().user_name, "");
    EXPECT_EQ(dialog.Record().port, 0);
    EXPECT_EQ(dialog.Record().flags, 0);
}

// FTP Browse against the tests' real FTP server.
class FtpBrowseDialogTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        python_ = testing::FindPyFtpdlibPython();
        if (python_.empty())
            return;
        work_ = std::make_unique<testing::TempDir>();
        const std::string site = (work_->path() / "site").string();
        std::filesystem::create_directories(site + "/pub/docs/deep");
        std::filesystem::create_directories(site + "/sub");
        testing::WriteFileBytes(site + "/readme.txt", "hello");
        server_ = std::make_unique<testing::FtpTestServer>();
        if (!server_->Start(python_, site, work_->str(), problem_))
            server_.reset();
    }
    static void TearDownTestSuite() {
        server_.reset();
        work_.reset();
    }
    void SetUp() override {
        if (python_.empty())
            GTEST_SKIP() << "python3-pyftpdlib is needed for the FTP server";
        ASSERT_TRUE(server_) << problem_;
        site.host = "127.0.0.1";
        site.user = testing::kFtpTestUser;
        site.password = testing::kFtpTestPassword;
        site.port = server_->port();
        timeouts.connect = timeouts.reply = timeouts.data_receive = timeouts.accept = timeouts.send = 5;
    }
    static QStringList ChildNames(QTreeWidgetItem* item) {
        QStringList names;
        for (int i = 0; i < item->childCount(); ++i)
            names << item->child(i)->text(0);
        names.sort();
        return names;
    }

    static inline std::string python_, problem_;
    static inline std::unique_ptr<testing::TempDir> work_;
    static inline std::unique_ptr<testing::FtpTestServer> server_;
    QtUserInterface ui;
    FtpSite site;
    FtpTimeouts timeouts;
};

TEST_F(FtpBrowseDialogTest, ListsFoldersOnDemandAndReturnsTheSelectedPath) {
    FtpBrowseDialog browse(ui, site, timeouts);
    ASSERT_TRUE(browse.Connect());
    browse.show();
    EXPECT_EQ(browse.windowTitle(), "FTP Browse");
    QTreeWidget* tree = browse.Tree();
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* top = tree->topLevelItem(0);
    EXPECT_EQ(top->text(0), "127.0.0.1");
    EXPECT_TRUE(top->isExpanded());
    EXPECT_EQ(ChildNames(top), QStringList({"pub", "sub"}));
    EXPECT_EQ(browse.PathLine()->text(), "/");

    QTreeWidgetItem* pub = top->child(ChildNames(top).indexOf("pub") == 0 ? 0 : 1);
    ASSERT_EQ(pub->text(0), "pub");
    EXPECT_EQ(pub->childCount(), 0);  // not listed until opened
    pub->setExpanded(true);
    ASSERT_EQ(ChildNames(pub), QStringList({"docs"}));
    tree->setCurrentItem(pub->child(0));
    EXPECT_EQ(browse.PathLine()->text(), "/pub/docs");
    // Collapsing above the selection moves it up and forgets the listing.
    pub->setExpanded(false);
    EXPECT_EQ(pub->childCount(), 0);
    EXPECT_EQ(browse.SelectedPath(), "/pub");
    EXPECT_EQ(browse.PathLine()->text(), "/pub");
    pub->setExpanded(true);
    tree->setCurrentItem(pub->child(0));
    EXPECT_EQ(browse.SelectedPath(), "/pub/docs");
}

TEST_F(FtpBrowseDialogTest, BrowseFromAddVolumeFillsTheLocation) {
    AddVolumeDialog dialog(ui, SystemLocationLookup());
    dialog.SetFtpBrowseOpener([&](QWidget*, const FtpSite& asked) -> std::optional<std::string> {
        EXPECT_EQ(asked.host, "127.0.0.1");
        EXPECT_EQ(asked.port, site.port);
        EXPECT_EQ(asked.user, site.user);
        FtpBrowseDialog browse(ui, asked, timeouts);
        if (!browse.Connect())
            return std::nullopt;
        QTreeWidgetItem* top = browse.Tree()->topLevelItem(0);
        for (int i = 0; i < top->childCount(); ++i)
            if (top->child(i)->text(0) == "sub")
                browse.Tree()->setCurrentItem(top->child(i));
        return browse.SelectedPath();
    });
    dialog.show();
    QTest::mouseClick(dialog.FtpSiteButton(), Qt::LeftButton);
    QTest::mouseClick(dialog.UseDefaultBox(), Qt::LeftButton);
    dialog.UserNameField()->setText(QString::fromStdString(site.user));
    QTest::mouseClick(dialog.SavePasswordBox(), Qt::LeftButton);
    dialog.PasswordField()->setText(QString::fromStdString(site.password));
    dialog.PortField()->setText(QString::number(site.port));
    QTest::keyClicks(dialog.LocationField(), "127.0.0.1\\ignored");
    QTest::mouseClick(dialog.BrowseButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.LocationField()->text(), "127.0.0.1/sub");
    QTest::mouseClick(OkButton(dialog), Qt::LeftButton);
    EXPECT_EQ(dialog.Record().location, "ftp:127.0.0.1/sub");
    EXPECT_EQ(dialog.Record().port, site.port);
}

TEST_F(FtpBrowseDialogTest, ASiteThatCannotBeReachedEndsTheDialog) {
    site.port = 1;  // nothing listens there
    FtpBrowseDialog browse(ui, site, timeouts);
    MessageBoxAnswerer answerer({QMessageBox::Ok});
    EXPECT_FALSE(browse.Connect());
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].text, "Could not connect to 127.0.0.1.");
    EXPECT_EQ(answerer.boxes[0].icon, QMessageBox::Critical);
}

}  // namespace
}  // namespace korvane
