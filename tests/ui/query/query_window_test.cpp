// The query window driven as a person uses it: fields added by double-click
// and by dragging, criteria, the query commands and Execute, on a catalogue
// scanned from a real tree.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSignalSpy>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>

#include "app/profile_file.h"
#include "query/query_file.h"
#include "query_window_fixture.h"
#include "ui/query/query_dialogs.h"
#include "ui/query/query_images.h"
#include "ui/result/result_frame.h"

namespace korvane {
namespace {

using testing::QueryWindowTest;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

std::vector<std::string> ItemTexts(QAbstractItemView* view, int column = 0) {
    std::vector<std::string> texts;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        texts.push_back(view->model()->index(row, column).data().toString().toStdString());
    return texts;
}

QModelIndex ItemNamed(QAbstractItemView* view, const QString& text) {
    const QModelIndexList found =
        view->model()->match(view->model()->index(0, 0), Qt::DisplayRole, text, 1, Qt::MatchExactly);
    return found.isEmpty() ? QModelIndex() : found.front();
}

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// Presses on the item, moves past the drag distance, on to the target and
// releases the button there. The events come through the window system, as
// a person's do.
void DragItem(QAbstractItemView* from, const QModelIndex& item, QWidget* to, QPoint target) {
    QWidget* top = from->window();
    QWindow* window = top->windowHandle();
    const QPoint start = from->viewport()->mapTo(top, from->visualRect(item).center());
    const QPoint end = to->mapTo(top, target);
    QTest::mousePress(window, Qt::LeftButton, {}, start);
    QTest::mouseMove(window, start + QPoint(10, 2));
    QTest::mouseMove(window, start + QPoint(40, 4));
    QTest::mouseMove(window, end - QPoint(4, 4));
    QTest::mouseMove(window, end);
    QTest::mouseRelease(window, Qt::LeftButton, {}, end);
}

TEST_F(QueryWindowTest, QueryFileOpensAsWrittenAndSavesBackExactly) {
    const std::string path = dir_ / "Mixed.qry";
    ASSERT_TRUE(
        WriteFileBytes(path,
                       "[Query Options]\r\nIncludeSubFolders=1\r\n[Query]\r\nDescription=Two kinds\r\n"
                       "Initial Folder=" +
                           root_ +
                           "\r\nLines=5\r\n"
                           "QueryLine[0]= \"Folder\", \"Name\",\r\n"
                           "QueryLine[1]= \"Folder\", \"Size\",\r\n"
                           "QueryLine[2]= \"File\", \"Name\", Include  \"a,b*\",\"*.txt\", \r\n"
                           "QueryLine[3]= \"Nowhere\", \"Name\", Include  x, \r\n"
                           "QueryLine[4]= \"File\", \"Size\",\r\n"));
    auto main = MakeMainFrame();
    CQueryFrame* frame = OpenQuery(*main, path);
    ASSERT_NE(frame, nullptr);
    QueryProfile& profile = frame->Document().Profile();
    EXPECT_EQ(profile.sort_column, "Size");  // SortColumn missing
    EXPECT_TRUE(profile.runnable);
    EXPECT_TRUE(frame->CommandAction(kQueryExecute)->isEnabled());
    EXPECT_TRUE(frame->CommandAction(kQueryIncludeSubfolders)->isChecked());
    // The comma inside quotes stays; a line with no value text adds the field alone.
    EXPECT_EQ(ItemTexts(frame->QueryView(), 0),
              (std::vector<std::string>{"Folder Name", "Folder Size", "File Name", "File Size"}));
    EXPECT_EQ(ItemTexts(frame->QueryView(), 1),
              (std::vector<std::string>{"", "", "Include  \"a,b*\",\"*.txt\"", ""}));
    EXPECT_EQ(frame->FieldView()->model()->rowCount(), 17 - 4);  // 17 fields allow criteria
    EXPECT_EQ(frame->StatusPane(0)->text().toStdString(), root_);
    EXPECT_EQ(frame->StatusPane(1)->text(), QStringLiteral("Two kinds"));
    EXPECT_FALSE(frame->Document().IsModified());

    // Computer and Volume rows in the query write no lines.
    profile.fields[1].in_query = true;
    profile.fields[8].in_query = true;
    ASSERT_TRUE(main->SaveDocument(frame->Document()));
    EXPECT_EQ(ReadProfileString(path, "Query", "Lines", ""), "4");
    EXPECT_EQ(ReadProfileString(path, "Query Options", "Database", ""), database_);
    const std::string saved = ReadFileBytes(path);
    ASSERT_TRUE(main->SaveDocument(frame->Document()));
    EXPECT_EQ(ReadFileBytes(path), saved);

    // Reopened, it is what was saved.
    frame->close();
    ASSERT_TRUE(main->Documents().empty());
    frame = qobject_cast<CQueryFrame*>(main->FrameOf(main->OpenDocumentFile(path)));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(ItemTexts(frame->QueryView(), 1),
              (std::vector<std::string>{"", "", "Include  \"a,b*\",\"*.txt\"", ""}));
    EXPECT_EQ(frame->Document().Profile().description, "Two kinds");
}

TEST_F(QueryWindowTest, FieldsMoveByDoubleClickAndByDragging) {
    auto main = MakeMainFrame();
    CQueryFrame* frame = OpenQuery(*main, dir_ / "New.qry");
    ASSERT_NE(frame, nullptr);
    CFieldView* fields = frame->FieldView();
    CQueryView* criteria = frame->QueryView();
    EXPECT_EQ(frame->Document().Profile().query_name, "New");
    EXPECT_EQ(criteria->model()->rowCount(), 0);
    EXPECT_FALSE(frame->CommandAction(kQueryExecute)->isEnabled());

    // Double-click adds.
    const QModelIndex folder_name = ItemNamed(fields, QStringLiteral("Folder Name"));
    ASSERT_TRUE(folder_name.isValid());
    const QPoint at = fields->visualRect(folder_name).center();
    QTest::mouseClick(fields->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(fields->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(ItemTexts(criteria), (std::vector<std::string>{"Folder Name"}));
    EXPECT_FALSE(Contains(ItemTexts(fields), "Folder Name"));
    EXPECT_TRUE(frame->Document().IsModified());
    frame->Document().SetModifiedFlag(false);

    // A drag from the field list onto the criteria list adds.
    DragItem(fields, ItemNamed(fields, QStringLiteral("Folder Size")), criteria->viewport(), QPoint(200, 80));
    EXPECT_EQ(ItemTexts(criteria), (std::vector<std::string>{"Folder Name", "Folder Size"}));
    EXPECT_TRUE(frame->Document().IsModified());
    EXPECT_TRUE(frame->CommandAction(kQueryExecute)->isEnabled());

    // Dropped back on its own list: no field changes, but the query counts as changed.
    frame->Document().SetModifiedFlag(false);
    DragItem(fields, ItemNamed(fields, QStringLiteral("File Name")), fields->viewport(), QPoint(60, 150));
    EXPECT_EQ(criteria->model()->rowCount(), 2);
    EXPECT_TRUE(frame->Document().IsModified());

    // A criterion survives the field leaving and coming back.
    frame->Document().SetCriterion(FindQueryField(frame->Document().Profile(), "Folder", "Name"),
                                   "Include  \"docs\"");
    DragItem(criteria, ItemNamed(criteria, QStringLiteral("Folder Name")), fields->viewport(),
             QPoint(60, 40));
    EXPECT_EQ(ItemTexts(criteria), (std::vector<std::string>{"Folder Size"}));
    EXPECT_FALSE(frame->CommandAction(kQueryExecute)->isEnabled());
    const QModelIndex back = ItemNamed(fields, QStringLiteral("Folder Name"));
    // Its image carries the overlay mark while it waits in the field list.
    EXPECT_EQ(back.data(Qt::DecorationRole).value<QPixmap>().toImage(), QueryImageWithOverlay(2).toImage());
    QTest::mouseClick(fields->viewport(), Qt::LeftButton, {}, fields->visualRect(back).center());
    QTest::mouseDClick(fields->viewport(), Qt::LeftButton, {}, fields->visualRect(back).center());
    EXPECT_EQ(ItemTexts(criteria, 1), (std::vector<std::string>{"Include  \"docs\"", ""}));
}

TEST_F(QueryWindowTest, ExecuteOpensTheResultOfTheSameNameOnceThenRefreshesIt) {
    auto main = MakeMainFrame();
    CQueryFrame* frame = OpenQuery(*main, dir_ / "Big Files.qry");
    ASSERT_NE(frame, nullptr);
    frame->CommandAction(kQueryExecute)->setEnabled(true);
    frame->OnExecute();
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, "Fields must be selected to build a query.");

    CQueryDoc& query = frame->Document();
    query.MoveField(FindQueryField(query.Profile(), "File", "Name"), true);
    query.MoveField(FindQueryField(query.Profile(), "File", "Size"), true);
    frame->CommandAction(kQueryExecute)->trigger();
    ASSERT_EQ(main->Documents().size(), 2u);
    auto* result = dynamic_cast<ResultWindowDocument*>(main->Documents()[1]);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->PathName(), dir_ / "Big Files.rst");
    EXPECT_EQ(result->Profile(), &query.Profile());
    EXPECT_EQ(result->Data().current_folder_id, 0);
    EXPECT_TRUE(result->IsModified());

    // Again, from another folder: the open result runs again instead.
    query.Profile().initial_folder = root_ + "/docs";
    QSignalSpy refreshed(result, &WindowDocument::Updated);
    frame->CommandAction(kQueryExecute)->trigger();
    EXPECT_EQ(main->Documents().size(), 2u);
    ASSERT_EQ(refreshed.size(), 1);
    EXPECT_EQ(refreshed[0][0].toInt(), 0);
    EXPECT_EQ(result->Data().current_folder_id, tree_.FolderIdOfPath(root_ + "/docs"));
    EXPECT_NE(result->Data().current_folder_id, 0);

    // Closing the query unlinks its result.
    query.SetModifiedFlag(false);
    main->WindowOf(&query)->close();
    EXPECT_FALSE(result->HasLinkedProfile());
    EXPECT_EQ(ui_.messages.size(), 1u);
}

TEST_F(QueryWindowTest, ExecuteOpensAResultFileThatIsThereAsItIs) {
    const std::string kept = "[Graph Options]\r\nTitle=Weekly\r\nDisplayMode=16\r\n";
    ASSERT_TRUE(WriteFileBytes(dir_ / "Weekly.rst", kept));
    auto main = MakeMainFrame();
    CQueryFrame* frame = OpenQuery(*main, dir_ / "Weekly.qry");
    ASSERT_NE(frame, nullptr);
    CQueryDoc& query = frame->Document();
    query.MoveField(FindQueryField(query.Profile(), "Folder", "Name"), true);
    query.MoveField(FindQueryField(query.Profile(), "Folder", "Size"), true);
    frame->CommandAction(kQueryExecute)->trigger();
    ASSERT_EQ(main->Documents().size(), 2u);
    auto* result = dynamic_cast<ResultWindowDocument*>(main->Documents()[1]);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->Profile(), &query.Profile());
    EXPECT_FALSE(result->IsModified());
    EXPECT_EQ(ReadFileBytes(dir_ / "Weekly.rst"), kept);
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(QueryWindowTest, AStartingFolderNoLongerCataloguedOpensAndExecuteSaysSo) {
    const std::string gone = root_ + "/gone";
    const std::string path = dir_ / "Gone.qry";
    ASSERT_TRUE(WriteFileBytes(path, "[Query]\r\nInitial Folder=" + gone +
                                         "\r\nLines=2\r\nQueryLine[0]= \"File\", \"Name\",\r\n"
                                         "QueryLine[1]= \"File\", \"Size\",\r\n"));
    auto main = MakeMainFrame();
    CQueryFrame* frame = OpenQuery(*main, path);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->Document().Profile().initial_folder_id, 0);
    frame->CommandAction(kQueryExecute)->trigger();
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, "Initial query folder " + gone + " not found in database.");
    EXPECT_EQ(ui_.messages[0].icon, MessageIcon::None);
    EXPECT_EQ(main->Documents().size(), 1u);
}

TEST_F(QueryWindowTest, CommandsChangeTheProfileAndMarkTheQuery) {
    auto main = MakeMainFrame();
    CQueryFrame* frame = OpenQuery(*main, dir_ / "Options.qry");
    ASSERT_NE(frame, nullptr);
    CQueryDoc& document = frame->Document();
    QueryProfile& profile = document.Profile();
    // The tool bar keeps its duplicates button hidden; the menu offers the command.
    for (QAction* button : frame->QueryToolBar()->actions())
        EXPECT_EQ(button->isVisible(), button->data().toInt() != kQueryDuplicates)
            << button->text().toStdString();

    frame->CommandAction(kQueryIncludeSubfolders)->trigger();
    EXPECT_TRUE(profile.include_subfolders);
    EXPECT_TRUE(frame->CommandAction(kQueryIncludeSubfolders)->isChecked());
    EXPECT_TRUE(document.IsModified());

    document.SetModifiedFlag(false);
    OnNextDialog<CResultThresholdDialog>([](CResultThresholdDialog* dialog) {
        dialog->file_edit->setText(QStringLiteral("250"));
        dialog->folder_edit->setText(QStringLiteral("many"));
        dialog->accept();
    });
    frame->CommandAction(kQueryResultThreshold)->trigger();
    EXPECT_EQ(profile.file_threshold, 250);
    EXPECT_EQ(profile.folder_threshold, 0);
    EXPECT_TRUE(document.IsModified());

    OnNextDialog<CDescriptionDialog>([](CDescriptionDialog* dialog) {
        dialog->edit->clear();
        QTest::keyClicks(dialog->edit, QStringLiteral("Large images"));
        dialog->accept();
    });
    frame->CommandAction(kQueryDescription)->trigger();
    EXPECT_EQ(profile.description, "Large images");
    EXPECT_EQ(frame->StatusPane(1)->text(), QStringLiteral("Large images"));

    OnNextDialog<CDuplicateSetupDialog>([](CDuplicateSetupDialog* dialog) {
        EXPECT_FALSE(dialog->name_box->isChecked());
        QTest::keyClick(dialog->date_box, Qt::Key_Space);
        QTest::keyClick(dialog->name_box, Qt::Key_Space);
        dialog->accept();
    });
    frame->CommandAction(kQueryDuplicates)->trigger();
    EXPECT_EQ(profile.duplicates, "NAME,MDATE,");
    EXPECT_TRUE(frame->CommandAction(kQueryDuplicates)->isChecked());

    // The chooser starts at the top node; a folder's children are listed when it is expanded.
    const std::string docs = root_ + "/docs";
    OnNextDialog<CInitialFolderDialog>([&](CInitialFolderDialog* dialog) {
        const QModelIndex top = dialog->model->index(0, 0);
        EXPECT_EQ(top.data().toString().toStdString(), std::string(kFolderTreeRootName));
        EXPECT_EQ(dialog->tree->currentIndex(), top);
        const QModelIndex folder = dialog->model->IndexOf(tree_.FindFolderByPath(docs));
        ASSERT_TRUE(folder.isValid());
        EXPECT_EQ(folder.data().toString(), QStringLiteral("docs"));
        dialog->tree->expand(folder.parent());
        dialog->tree->expand(folder);
        EXPECT_EQ(ItemTexts(dialog->tree).size(), 1u);
        EXPECT_EQ(dialog->model->rowCount(folder), 1);  // old
        dialog->tree->setCurrentIndex(folder);
        dialog->accept();
    });
    frame->CommandAction(kQueryInitialFolder)->trigger();
    EXPECT_EQ(profile.initial_folder, docs);
    EXPECT_EQ(profile.initial_folder_id, tree_.FolderIdOfPath(docs));
    EXPECT_EQ(frame->StatusPane(0)->text().toStdString(), docs);

    // Nothing chosen: "Invalid selection." and the folder stays.
    OnNextDialog<CInitialFolderDialog>([](CInitialFolderDialog* dialog) {
        dialog->tree->selectionModel()->clearSelection();
        dialog->accept();
    });
    frame->CommandAction(kQueryInitialFolder)->trigger();
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, "Invalid selection.");
    EXPECT_EQ(profile.initial_folder, docs);

    // Saved and reopened, every option is as set.
    ASSERT_TRUE(main->SaveDocument(document));
    QueryProfile read;
    ASSERT_TRUE(ReadQueryFile(read, dir_ / "Options.qry", tree_, true));
    EXPECT_EQ(read.description, "Large images");
    EXPECT_EQ(read.duplicates, "NAME,MDATE");  // reading drops one trailing comma; the words stay
    EXPECT_EQ(read.file_threshold, 250);
    EXPECT_TRUE(read.include_subfolders);
    EXPECT_EQ(read.initial_folder, docs);
}

TEST_F(QueryWindowTest, ARebuildThatLosesTheStartingFolderMeansAllVolumes) {
    auto main = MakeMainFrame();
    CQueryFrame* frame = OpenQuery(*main, dir_ / "Rebuilt.qry");
    ASSERT_NE(frame, nullptr);
    QueryProfile& profile = frame->Document().Profile();
    profile.initial_folder = root_ + "/pics";
    profile.include_subfolders = true;
    std::filesystem::remove_all(root_ + "/pics");
    IdCounters counters;
    ScanContext context(catalogue_, tree_, counters, scan_ui_, dir_ / "Event.log");
    ASSERT_TRUE(BuildCatalogue(context, "\"" + root_ + "\"", nullptr));
    main->RefreshResults();
    EXPECT_EQ(profile.initial_folder_id, 0);
    EXPECT_FALSE(profile.include_subfolders);
}

}  // namespace
}  // namespace korvane
