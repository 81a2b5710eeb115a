// The criteria dialogs driven by keys and clicks: the value text each one
// writes, the OK rules, and the files the text then selects from a scanned
// tree, against the same question asked of the tree itself.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include <cctype>

#include "query/civil_time.h"
#include "query_window_fixture.h"
#include "ui/query/criteria_windows.h"

namespace korvane {
namespace {

using testing::QueryWindowTest;
using testing::TreeFile;

class CriteriaWindowsTest : public QueryWindowTest {
  protected:
    // File Name and File Size below the tree's root, with one criterion.
    std::multiset<std::string> Select(const char* field, const std::string& value_text) {
        QueryProfile profile;
        for (const char* name : {"Name", "Size"})
            profile.fields[FindQueryField(profile, "File", name)].in_query = true;
        const int row = FindQueryField(profile, "File", field);
        profile.fields[row].in_query = true;
        profile.fields[row].value_text = value_text;
        profile.include_subfolders = true;
        profile.initial_folder = root_;
        profile.initial_folder_id = tree_.FolderIdOfPath(root_);
        EXPECT_NE(profile.initial_folder_id, 0);
        return FileNamesOf(profile);
    }
};

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

QStringList Items(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

void ClickDay(SECCalendar* calendar, const QDate& date, Qt::KeyboardModifiers keys = {}) {
    calendar->setCurrentPage(date.year(), date.month());
    const QRect cell = calendar->CellRect(date);
    ASSERT_FALSE(cell.isEmpty()) << date.toString().toStdString();
    QTest::mouseClick(qobject_cast<QAbstractItemView*>(calendar->Table())->viewport(), Qt::LeftButton, keys,
                      cell.center());
}

TEST_F(CriteriaWindowsTest, TextDialogWritesQuotedValuesThatSelectByName) {
    CTextCriteriaDialog dialog(QStringLiteral("File Name"), "");
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("File Name"));
    EXPECT_NE(dialog.findChild<QLabel*>()->text().indexOf(QStringLiteral("names of the files")), -1);
    EXPECT_TRUE(dialog.find_button->isChecked());
    QTest::mouseClick(dialog.exclude_button, Qt::LeftButton);
    QTest::keyClicks(dialog.edit, QStringLiteral("*.DOC, *.iso \"notes, draft.TXT\""));
    const std::string value = dialog.ValueText();
    EXPECT_EQ(value, "Exclude  \"*.DOC\",\"*.iso\",\"notes, draft.TXT\"");
    // Patterns ignore case; a plain name is compared exactly.
    EXPECT_EQ(Select("Name", value), TreeFilesWhere([](const TreeFile& file) {
                  const std::string name = Lower(file.name);
                  return !name.ends_with(".doc") && !name.ends_with(".iso") &&
                         !file.name.ends_with("/notes, draft.TXT");
              }));
    // Reopened, it shows what it wrote; emptied, it keeps the old text.
    CTextCriteriaDialog again(QStringLiteral("File Name"), value);
    EXPECT_TRUE(again.exclude_button->isChecked());
    EXPECT_EQ(again.edit->text(), QStringLiteral("\"*.DOC\", \"*.iso\", \"notes, draft.TXT\""));
    again.edit->clear();
    EXPECT_EQ(again.ValueText(), value);
}

TEST_F(CriteriaWindowsTest, SizeDialogAcceptsOnlyAscendingSizesAndSelectsByRange) {
    CSizeCriteriaDialog dialog(QStringLiteral("File Size"), "");
    dialog.show();
    QPushButton* ok = dialog.buttons->button(QDialogButtonBox::Ok);
    EXPECT_FALSE(ok->isEnabled());
    for (const char* refused : {"100K, 50K", "10KB", "1M -", "5K,,6K", "1M 2M"}) {
        dialog.edit->clear();
        QTest::keyClicks(dialog.edit, QString::fromLatin1(refused));
        EXPECT_FALSE(ok->isEnabled()) << refused;
    }
    dialog.edit->clear();
    QTest::keyClicks(dialog.edit, QStringLiteral("25K - 1M, 10M - 1G"));
    EXPECT_TRUE(ok->isEnabled());
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const std::string value = dialog.ValueText();
    EXPECT_EQ(value, "Include  25K - 1M , 10M - 1G ");
    EXPECT_EQ(Select("Size", value), TreeFilesWhere([](const TreeFile& file) {
                  return (file.size >= 25'000 && file.size <= 1'000'000) ||
                         (file.size >= 10'000'000 && file.size <= 1'000'000'000);
              }));
    CSizeCriteriaDialog again(QStringLiteral("File Size"), "Exclude  25K - 1M , 10M - 1G ");
    EXPECT_TRUE(again.exclude_button->isChecked());
    EXPECT_EQ(again.edit->text(), QStringLiteral("25K-1M,10M-1G"));
    EXPECT_TRUE(again.OkEnabled());
}

TEST_F(CriteriaWindowsTest, DateDialogPicksDaysAsRangesAndSelectsByDay) {
    CDateCriteriaDialog dialog(QStringLiteral("File Modify Date"), "");
    dialog.show();
    ClickDay(dialog.calendar, QDate(1998, 1, 10));
    ClickDay(dialog.calendar, QDate(1998, 1, 12), Qt::ShiftModifier);
    EXPECT_EQ(Items(dialog.items), QStringList{QStringLiteral("1/10/1998 - 1/12/1998")});
    ClickDay(dialog.calendar, QDate(1998, 1, 11));  // a picked day clicked again leaves the range
    EXPECT_EQ(Items(dialog.items), (QStringList{QStringLiteral("1/10/1998"), QStringLiteral("1/12/1998")}));

    // The day a file was changed, picked on the calendar, selects that file alone.
    const CivilTime changed = LocalCivilTime(now_ - 40 * 86400);
    CDateCriteriaDialog pick(QStringLiteral("File Modify Date"), "");
    pick.show();
    ClickDay(pick.calendar, QDate(changed.year, changed.month, changed.day));
    const std::string value = pick.ValueText();
    EXPECT_EQ(value, "Include  " + std::to_string(changed.month) + "/" + std::to_string(changed.day) + "/" +
                         std::to_string(changed.year) + ", ");
    EXPECT_EQ(Select("Modify Date", value), (std::multiset<std::string>{"plan.txt"}));
}

TEST_F(CriteriaWindowsTest, DateDialogEzDateCountsBackFromTheRunTime) {
    CDateCriteriaDialog dialog(QStringLiteral("File Modify Date"), "");
    dialog.show();
    EXPECT_EQ(dialog.unit->currentText(), QStringLiteral("Days"));
    dialog.unit->setFocus();
    QTest::keyClick(dialog.unit, Qt::Key_Down);  // Weeks, with its default count
    EXPECT_EQ(dialog.count->text(), QStringLiteral("6"));
    dialog.count->selectAll();
    QTest::keyClicks(dialog.count, QStringLiteral("5x"));
    EXPECT_EQ(dialog.count->text(), QStringLiteral("5"));
    QTest::keyClick(dialog.unit, Qt::Key_Up);  // Days; the count stays
    QTest::mouseClick(dialog.exclude_button, Qt::LeftButton);
    const std::string value = dialog.ValueText();
    EXPECT_EQ(value, "Exclude Previous  5 Days");
    EXPECT_EQ(Select("Modify Date", value),
              TreeFilesWhere([this](const TreeFile& file) { return file.modified < now_ - 5 * 86400; }));

    CDateCriteriaDialog again(QStringLiteral("File Modify Date"), value);
    EXPECT_TRUE(again.exclude_button->isChecked());
    EXPECT_EQ(again.count->text(), QStringLiteral("5"));
    // Clear Dates closes as OK does: the EZ-Date form stays.
    QTest::mouseClick(again.clear_dates, Qt::LeftButton);
    EXPECT_EQ(again.result(), QDialog::Accepted);
    EXPECT_EQ(again.ValueText(), value);
}

TEST_F(CriteriaWindowsTest, DateDialogHoldsAWholeCalendarAsOneRange) {
    QElapsedTimer clock;
    clock.start();
    CDateCriteriaDialog dialog(QStringLiteral("File Create Date"), "Include  1/1/1900 - 12/31/9998, ");
    dialog.show();
    QApplication::processEvents();
    EXPECT_LT(clock.elapsed(), 2000);  // a day-by-day expansion takes minutes
    EXPECT_EQ(Items(dialog.items), QStringList{QStringLiteral("1/1/1900 - 12/31/9998")});
    EXPECT_EQ(dialog.calendar->yearShown(), 1900);
    QTest::mouseClick(dialog.clear_dates, Qt::LeftButton);
    EXPECT_EQ(dialog.ValueText(), "");
}

TEST_F(CriteriaWindowsTest, DoubleClickOnACriterionOpensItsDialog) {
    auto main = MakeMainFrame();
    CQueryFrame* frame = OpenQuery(*main, dir_ / "Edit.qry");
    ASSERT_NE(frame, nullptr);
    CQueryDoc& document = frame->Document();
    document.MoveField(FindQueryField(document.Profile(), "File", "Size"), true);
    document.SetModifiedFlag(false);
    QString title;
    OnNextDialog<CSizeCriteriaDialog>([&title](CSizeCriteriaDialog* dialog) {
        title = dialog->windowTitle();
        QTest::keyClicks(dialog->edit, QStringLiteral("1M"));
        QTest::mouseClick(dialog->buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    CQueryView* view = frame->QueryView();
    const QPoint at = view->visualRect(view->model()->index(0, 1)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(title, QStringLiteral("File Size"));
    EXPECT_EQ(view->model()->index(0, 1).data().toString(), QStringLiteral("Include  1M "));
    EXPECT_TRUE(document.IsModified());
    EXPECT_TRUE(document.Profile().fields[FindQueryField(document.Profile(), "File", "Size")].in_query);
}

}  // namespace
}  // namespace korvane
