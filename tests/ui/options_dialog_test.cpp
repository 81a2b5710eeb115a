#include "ui/options_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "app/profile_file.h"
#include "qt_environment.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::ReadFileBytes;
using testing::RecordingUserInterface;
using testing::TempDir;
using testing::WriteFileBytes;

constexpr const char* kSettings =
    "[Options]\r\nDatabase=/srv/catalogue/Korvane.db\r\nDisplaySQL=1\r\nGraphItems=40\r\n"
    "[Email]\r\nSMTPServer=mail.example.org\r\nName=Night Operator\r\nEmailAddress=ops@example.org\r\n"
    "[Tip]\r\nStartUp=1\r\n";

class OptionsDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(WriteFileBytes(ini, kSettings));
        in_force = ReadProgramOptions(ini);
    }
    void PressOk(COptions& dialog) {
        QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
    }
    TempDir dir;
    std::string ini = dir / "Korvane.ini";
    ProgramOptions in_force;
    RecordingUserInterface ui;
};

TEST_F(OptionsDialogTest, ShowsTheStoredValues) {
    COptions dialog(ini, in_force, {}, ui);
    EXPECT_EQ(dialog.windowTitle(), "Options");
    EXPECT_EQ(dialog.DatabaseEdit()->text(), "/srv/catalogue/Korvane.db");
    EXPECT_TRUE(dialog.DisplaySqlBox()->isChecked());
    EXPECT_EQ(dialog.SmtpServerEdit()->text(), "mail.example.org");
    EXPECT_EQ(dialog.NameEdit()->text(), "Night Operator");
    EXPECT_EQ(dialog.EmailAddressEdit()->text(), "ops@example.org");
    EXPECT_EQ(dialog.GraphItemsEdit()->text(), "40");
    // Without the catalogue's upkeep the three buttons do nothing, so they are off.
    EXPECT_FALSE(dialog.CompactButton()->isEnabled());
    EXPECT_FALSE(dialog.RepairButton()->isEnabled());
    EXPECT_FALSE(dialog.EmptyButton()->isEnabled());
}

TEST_F(OptionsDialogTest, OkWritesTheKeysAndGraphItemsZeroKeepsTheOldValue) {
    COptions dialog(ini, in_force, {}, ui);
    dialog.show();
    dialog.DatabaseEdit()->setText("/srv/other/Next.db");
    dialog.DisplaySqlBox()->setChecked(false);
    dialog.SmtpServerEdit()->setText("smtp.example.net");
    dialog.GraphItemsEdit()->clear();
    QTest::keyClicks(dialog.GraphItemsEdit(), "0x");
    EXPECT_EQ(dialog.GraphItemsEdit()->text(), "0");
    PressOk(dialog);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    EXPECT_EQ(ReadProfileString(ini, "Options", "Database"), "/srv/other/Next.db");
    EXPECT_EQ(ReadProfileString(ini, "Options", "DisplaySQL"), "0");
    EXPECT_EQ(ReadProfileString(ini, "Options", "GraphItems"), "40");
    EXPECT_EQ(ReadProfileString(ini, "Email", "SMTPServer"), "smtp.example.net");
    EXPECT_EQ(ReadProfileString(ini, "Email", "Name"), "Night Operator");
    EXPECT_EQ(ReadProfileString(ini, "Tip", "StartUp"), "1");
    EXPECT_EQ(in_force.display_sql, 0);
    EXPECT_EQ(in_force.graph_items, 40);
    EXPECT_EQ(in_force.smtp_server, "smtp.example.net");
    // The open catalogue stays in use until the next start.
    EXPECT_EQ(in_force.database, "/srv/catalogue/Korvane.db");
}

TEST_F(OptionsDialogTest, NonZeroGraphItemsIsWrittenAndApplied) {
    COptions dialog(ini, in_force, {}, ui);
    dialog.GraphItemsEdit()->setText("12");
    dialog.DisplaySqlBox()->setChecked(true);
    PressOk(dialog);
    EXPECT_EQ(ReadProfileString(ini, "Options", "GraphItems"), "12");
    EXPECT_EQ(ReadProfileString(ini, "Options", "DisplaySQL"), "1");
    EXPECT_EQ(in_force.graph_items, 12);
    EXPECT_EQ(in_force.display_sql, 1);
}

TEST_F(OptionsDialogTest, CancelWritesNothing) {
    COptions dialog(ini, in_force, {}, ui);
    dialog.SmtpServerEdit()->setText("changed");
    dialog.GraphItemsEdit()->setText("3");
    QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel),
                      Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(ReadFileBytes(ini), kSettings);
    EXPECT_EQ(in_force.graph_items, 40);
}

TEST_F(OptionsDialogTest, UnwritableSettingsKeepTheDialogOpenAndChangeNothing) {
    const std::string nowhere = dir / "gone/Korvane.ini";
    COptions dialog(nowhere, in_force, {}, ui);
    dialog.show();
    dialog.GraphItemsEdit()->setText("9");
    PressOk(dialog);
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Cannot write the settings file '" + nowhere + "'.");
    EXPECT_EQ(in_force.graph_items, 40);
}

TEST_F(OptionsDialogTest, CatalogueUpkeepButtons) {
    const std::string catalogue = dir / "Korvane.db";
    ASSERT_TRUE(WriteFileBytes(catalogue, std::string(4096, 'r')));
    CatalogueUpkeep upkeep;
    int compactions = 0;
    upkeep.compact = [&] {
        // A rewrite through a temporary file, as compaction does it.
        const std::string bytes = ReadFileBytes(catalogue);
        if (!WriteFileBytes(catalogue + "~tmp", bytes.substr(0, 1024)))
            return false;
        std::filesystem::rename(catalogue + "~tmp", catalogue);
        ++compactions;
        return true;
    };
    upkeep.repair = [](std::string& report) {
        report = "3 files name a folder that does not exist.\n";
        return false;
    };
    upkeep.empty = [&] { return WriteFileBytes(catalogue, ""); };
    COptions dialog(ini, in_force, upkeep, ui);
    ASSERT_TRUE(dialog.CompactButton()->isEnabled());

    QTest::mouseClick(dialog.CompactButton(), Qt::LeftButton);
    EXPECT_EQ(compactions, 1);
    EXPECT_EQ(std::filesystem::file_size(catalogue), 1024u);
    EXPECT_TRUE(ui.messages.empty());

    QTest::mouseClick(dialog.RepairButton(), Qt::LeftButton);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "The catalogue could not be repaired.\n\n3 files name a folder that does not exist.\n");

    ui.answers = {MessageAnswer::No};
    QTest::mouseClick(dialog.EmptyButton(), Qt::LeftButton);
    EXPECT_EQ(std::filesystem::file_size(catalogue), 1024u);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].buttons, MessageButtons::YesNo);

    ui.answers = {MessageAnswer::Yes};
    QTest::mouseClick(dialog.EmptyButton(), Qt::LeftButton);
    EXPECT_EQ(std::filesystem::file_size(catalogue), 0u);
    ASSERT_EQ(ui.messages.size(), 4u);
    EXPECT_EQ(ui.messages[3].text, "The catalogue has been emptied.");
    // None of the buttons writes the settings.
    EXPECT_EQ(ReadFileBytes(ini), kSettings);
}

}  // namespace
}  // namespace korvane
