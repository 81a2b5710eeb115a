#include "ui/actions/result_actions.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QClipboard>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "actions/action_fixture.h"
#include "qt_environment.h"
#include "result/result_data.h"
#include "ui/actions/clipboard_bridge.h"
#include "ui/actions/name_conflict_dialog.h"
#include "ui/actions/set_owner_dialog.h"
#include "ui/actions/set_time_dialog.h"
#include "test_paths.h"

namespace korvane::testing {
namespace {

// The result window's side as the commands see it: its rows, what it was
// told afterwards.
class ResultWindowRecord : public ResultWindowAccess {
  public:
    int mode = kDisplayReport;
    int rows = 0;
    ResultSelection selection;
    int reruns = 0;
    std::vector<int> hints;
    std::vector<std::string> renames;

    int DisplayMode() const override { return mode; }
    int RowCount() const override { return rows; }
    ResultSelection Selection() const override { return selection; }
    void RerunResult() override { ++reruns; }
    void NotifyOtherViews(int hint) override { hints.push_back(hint); }
    void BeginRename() override { renames.push_back("(selected)"); }
    void BeginRenameOf(const std::string& name) override { renames.push_back(name); }
    QImage GraphPicture() const override {
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        return picture;
    }
};

std::string Form(const QMimeData* data, const char* mime) {
    return data != nullptr ? data->data(mime).toStdString() : std::string();
}

class ResultActionsTest : public FileActionTest {
  protected:
    void SetUp() override {
        FileActionTest::SetUp();
        QApplication::clipboard()->clear();
    }
    void Show(const std::string& folder, std::initializer_list<std::string> names) {
        window_.selection = ResultSelection{folder.empty() ? root_ : At(folder), false, {}};
        for (const std::string& name : names) {
            const std::string path = window_.selection.result_path + "/" + name;
            window_.selection.rows.push_back({name, "", IsFolder(path) ? tree_.FolderIdOfPath(path) : 0});
        }
        window_.rows = static_cast<int>(window_.selection.rows.size()) + 1;
        actions_->UpdateActions();
    }
    bool Enabled(ResultCommand command) const { return actions_->Action(command)->isEnabled(); }

    ResultWindowRecord window_;
    QWidget parent_;
    std::unique_ptr<ResultActions> actions_ = std::make_unique<ResultActions>(context_, window_, &parent_);
};

TEST_F(ResultActionsTest, EditCommandsAreEnabledAsTheSelectionAndClipboardAllow) {
    MakeFile("d/a", 1);
    Scan();
    Show("d", {});
    EXPECT_FALSE(Enabled(ResultCommand::kCut));
    EXPECT_FALSE(Enabled(ResultCommand::kCopy));
    EXPECT_FALSE(Enabled(ResultCommand::kPaste));
    EXPECT_TRUE(Enabled(ResultCommand::kPasteShortcut));
    EXPECT_TRUE(Enabled(ResultCommand::kDelete));
    Show("d", {"a"});
    EXPECT_TRUE(Enabled(ResultCommand::kCut));
    EXPECT_TRUE(Enabled(ResultCommand::kCopy));
    window_.mode = kDisplayPie;
    window_.selection.rows.clear();
    actions_->UpdateActions();
    EXPECT_FALSE(Enabled(ResultCommand::kCut));
    EXPECT_TRUE(Enabled(ResultCommand::kCopy));
    // Copy in a graph mode puts the picture on the clipboard.
    actions_->Action(ResultCommand::kCopy)->trigger();
    EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(40, 30));

    QApplication::clipboard()->setText("just some words");
    EXPECT_FALSE(Enabled(ResultCommand::kPaste));
    auto* data = new QMimeData;
    data->setData("x-special/gnome-copied-files", "copy\nfile://" + QByteArray(At("d/a").c_str()));
    QApplication::clipboard()->setMimeData(data);
    EXPECT_TRUE(Enabled(ResultCommand::kPaste));

    std::unique_ptr<QMenu> menu(actions_->ContextMenu(&parent_));
    QStringList texts;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator()) {
            texts << action->text();
        }
    }
    EXPECT_EQ(texts, (QStringList{"Cu&t", "&Copy", "&Paste", "Paste &Shortcut", "&Compress", "U&ncompress",
                                  "Set File &Time...", "Set File O&wner...", "&Link...", "&Delete...",
                                  "&Rename...", "&New Folder", "&Launch Explorer"}));
    EXPECT_EQ(actions_->Action(ResultCommand::kCut)->shortcut(), QKeySequence(QKeySequence::Cut));
}

TEST_F(ResultActionsTest, WhatKorvaneCutsAFileManagerReadsAndWhatItCopiesKorvanePastes) {
    MakeFile("src/a.txt", 10);
    MakeFile("src/b c.txt", 20);
    MakeFolder("dest");
    Scan();
    Show("src", {"a.txt", "b c.txt"});
    actions_->Action(ResultCommand::kCut)->trigger();
    const QMimeData* data = QApplication::clipboard()->mimeData();
    const std::string a = At("src/a.txt"), b = At("src/b c.txt");
    EXPECT_EQ(Form(data, "x-special/gnome-copied-files"),
              "cut\n" + FileUriOfPath(a) + "\n" + FileUriOfPath(b));
    EXPECT_EQ(Form(data, "application/x-kde-cutselection"), "1");
    EXPECT_EQ(Form(data, "text/plain"), a + "\r\n" + b + "\r\n");
    // Qt's own reading of the URI list, as a file manager built on it reads it.
    ASSERT_TRUE(data->hasUrls());
    EXPECT_EQ(data->urls().value(1).toLocalFile().toStdString(), b);

    // A file manager copies: the way its desktop family writes it.
    auto* theirs = new QMimeData;
    theirs->setUrls(
        {QUrl::fromLocalFile(QString::fromStdString(a)), QUrl::fromLocalFile(QString::fromStdString(b))});
    theirs->setData("application/x-kde-cutselection", "0");
    QApplication::clipboard()->setMimeData(theirs);
    Show("dest", {});
    ASSERT_TRUE(Enabled(ResultCommand::kPaste));
    actions_->Action(ResultCommand::kPaste)->trigger();
    EXPECT_EQ(NamesIn(At("dest")), (std::vector<std::string>{"a.txt", "b c.txt"}));
    EXPECT_TRUE(Exists(a));
    EXPECT_EQ(window_.hints, (std::vector<int>{kHintContentsChanged}));
    EXPECT_EQ(window_.reruns, 0);
    ExpectMatchesFreshScan();

    // Their cut moves, and the clipboard no longer offers the moved files.
    auto* cut = new QMimeData;
    cut->setData("x-special/gnome-copied-files", QByteArray::fromStdString("cut\n" + FileUriOfPath(a)));
    QApplication::clipboard()->setMimeData(cut);
    ui_.conflict_answers = {{NameConflictAnswer::Replace, false}};
    actions_->Action(ResultCommand::kPaste)->trigger();
    EXPECT_FALSE(Exists(a));
    EXPECT_FALSE(Enabled(ResultCommand::kPaste));
    ExpectMatchesFreshScan();
}

TEST_F(ResultActionsTest, DeleteNewFolderAndLinkRunAndRefreshTheResult) {
    MakeFile("d/a", 10);
    MakeFile("d/b.doc", 10);
    MakeFolder("archive");
    Scan();
    Show("d", {"a"});
    actions_->Action(ResultCommand::kDelete)->trigger();
    EXPECT_FALSE(Exists(At("d/a")));
    EXPECT_EQ(window_.reruns, 1);

    actions_->Action(ResultCommand::kNewFolder)->trigger();
    EXPECT_TRUE(IsFolder(At("d/New Folder")));
    EXPECT_EQ(window_.renames.back(), "New Folder");

    Show("d", {"b.doc"});
    ui_.chosen_folder = At("archive");
    actions_->Action(ResultCommand::kLink)->trigger();
    EXPECT_EQ(LinkText(At("d/b.lnk")), At("archive/b.doc"));
    EXPECT_EQ(ui_.messages.size(), 1u);  // the delete's question, nothing else
    ExpectMatchesFreshScan();

    EXPECT_TRUE(actions_->FinishRename(
        ResultSelectionRow{"New Folder", "", tree_.FolderIdOfPath(At("d/New Folder"))}, "Reports"));
    EXPECT_TRUE(IsFolder(At("d/Reports")));
    EXPECT_EQ(window_.hints.back(), kHintFolderNameChanged);
    ExpectMatchesFreshScan();
}

TEST(SetOwnerDialogTest, OkWaitsForAnAccountNotAContainer) {
    AccountTree accounts;
    const auto top = accounts.AddItem(AccountTree::kNoItem, "host", 0);
    const auto users = accounts.AddItem(top, "Local Users", 0);
    accounts.AddItem(users, "alice", 1);
    accounts.AddItem(users, "bob", 1);
    accounts.Expand(top);
    accounts.Expand(users);
    OwnerSummary summary{"(Multiple Files)", "(Multiple Owners)", {}};
    SetOwnerDialog dialog(nullptr, summary, accounts, false);
    dialog.show();
    QPushButton* ok = dialog.Buttons()->button(QDialogButtonBox::Ok);
    EXPECT_FALSE(ok->isEnabled());
    QTreeWidget* tree = dialog.AccountList();
    EXPECT_EQ(QAccessible::queryAccessibleInterface(tree)->text(QAccessible::Name), "Owners and Groups");
    const auto click = [tree](QTreeWidgetItem* item) {
        tree->scrollToItem(item);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
    };
    QTreeWidgetItem* folder = tree->topLevelItem(0)->child(0);
    click(folder);
    EXPECT_FALSE(ok->isEnabled());
    click(folder->child(1));
    EXPECT_TRUE(ok->isEnabled());
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.ChosenAccount(), "bob");
    const auto* apply_all = dialog.findChild<QCheckBox*>();
    EXPECT_FALSE(apply_all->isEnabled());
}

TEST(SetTimeDialogTest, NoonShowsTwelvePmCreationCannotBeChosenAndTwelveWithoutPmIsMidnight) {
    const TimeSummary summary{"(Multiple Files)", "", "(Multiple Access Times)", "10:00:00 01/02/2024"};
    SetTimeDialog dialog(nullptr, summary, QDateTime(QDate(2024, 3, 5), QTime(12, 30)));
    dialog.show();
    EXPECT_EQ(dialog.Hour()->value(), 12);
    EXPECT_TRUE(dialog.Pm()->isChecked());
    EXPECT_EQ(dialog.Hour()->text(), "12");
    EXPECT_EQ(dialog.Minute()->text(), "30");
    EXPECT_FALSE(dialog.CreateDate()->isEnabled());
    EXPECT_EQ(dialog.CreateDate()->toolTip(), kCreationTimeTip);
    EXPECT_EQ(dialog.ChosenTime(), LocalTimeToUnix(2024, 3, 5, 12, 30));
    QTest::mouseClick(dialog.Pm(), Qt::LeftButton);
    EXPECT_EQ(dialog.ChosenTime(), LocalTimeToUnix(2024, 3, 5, 0, 30));
    QTest::mouseClick(dialog.ModifyDate(), Qt::LeftButton);
    EXPECT_TRUE(dialog.Choice().modify);
    EXPECT_FALSE(dialog.Choice().access);
    dialog.Minute()->setFocus();
    QTest::keyClick(dialog.Minute(), Qt::Key_Up);
    EXPECT_EQ(dialog.Minute()->text(), "31");
}

TEST(NameConflictDialogTest, TheAnswerAndForAllAreKept) {
    NameConflictDialog dialog(nullptr, "/src/a.txt", "/dest/a.txt", false);
    dialog.show();
    QCheckBox* for_all = dialog.findChild<QCheckBox*>();
    QTest::mouseClick(for_all, Qt::LeftButton);
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->text() == "&Keep Both") {
            QTest::mouseClick(button, Qt::LeftButton);
        }
    }
    EXPECT_EQ(dialog.reply().answer, NameConflictAnswer::KeepBoth);
    EXPECT_TRUE(dialog.reply().for_all);
}

TEST(ResultActionScreenshots, OwnerTimeAndNameInUseDialogs) {
    const QString folder = KORVANE_BINARY_DIR "/screenshots";
    ASSERT_TRUE(QDir().mkpath(folder));
    AccountTree accounts;
    const auto top = accounts.AddItem(AccountTree::kNoItem, "fileserver", 0);
    const auto users = accounts.AddItem(top, "Local Users", 0);
    for (const char* name : {"alice", "backup", "bob", "nobody", "root", "www-data"}) {
        accounts.AddItem(users, name, 1);
    }
    accounts.Expand(top);
    accounts.Expand(users);
    SetOwnerDialog owner(nullptr, OwnerSummary{"/srv/data/reports/q3.doc", "alice", {}}, accounts, false);
    owner.show();
    QApplication::processEvents();
    EXPECT_TRUE(owner.grab().save(folder + "/set_file_owner.png", "PNG"));
    SetTimeDialog time(nullptr,
                       TimeSummary{"(Multiple Files)", "", "(Multiple Access Times)", "09:15:00 11/02/2026"},
                       QDateTime(QDate(2026, 12, 7), QTime(14, 5)));
    time.show();
    QApplication::processEvents();
    EXPECT_TRUE(time.grab().save(folder + "/set_file_time.png", "PNG"));
    NameConflictDialog conflict(nullptr, "/srv/data/in/q3.doc", "/srv/data/reports/q3.doc", false);
    conflict.show();
    QApplication::processEvents();
    EXPECT_TRUE(conflict.grab().save(folder + "/name_in_use.png", "PNG"));
}

}  // namespace
}  // namespace korvane::testing
