// The report of a result window on a scanned tree, driven with the mouse and
// keys as a person drives it.
#include <QAccessible>
#include <QDesktopServices>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QUrl>

#include "app/formatting.h"
#include "catalogue/sql_statement.h"
#include "qt_environment.h"
#include "result/result_file.h"
#include "result_fixture.h"

namespace korvane {
namespace {

using testing::ResultWindowTest;

// Stands in for the desktop's file opener: notes what it was asked to open and where.
class UrlOpener : public QObject {
    Q_OBJECT
  public:
    QUrl url;
    QString folder;
  public slots:
    void Open(const QUrl& given) {
        url = given;
        folder = QDir::currentPath();
    }
};

class ReportTest : public ResultWindowTest {
  protected:
    void SetUp() override {
        ResultWindowTest::SetUp();
        MakeSmallTree();
        ScanAndWriteResult();
    }
    void ClickHeader(int column) {
        QHeaderView* header = View().Report()->horizontalHeader();
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    }
    void DoubleClickRow(int position) {
        QTableView* report = View().Report();
        report->scrollTo(report->model()->index(position, 0));
        const QRect cell = report->visualRect(report->model()->index(position, 0));
        QTest::mouseClick(report->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(report->viewport(), Qt::LeftButton, {}, cell.center());
    }
    // Runs the result counted by the document's progress window.
    int Runs() {
        int runs = 0;
        for (const auto& log : ui_.progress) {
            for (const std::string& title : log->titles)
                runs += title == "Scanning for results...";
        }
        return runs;
    }
};

TEST_F(ReportTest, OpenedResultRunsForItsFolderAndListsItsRows) {
    OpenWindow();
    // docs holds three files, old two folders deep with three more.
    ASSERT_EQ(Data().row_count, 8);
    EXPECT_EQ(Rows().ItemCount(), 8);
    EXPECT_EQ(Data().path, tree_ + "/docs");
    QStringList titles;
    for (int i = 0; i < View().Model()->columnCount(); ++i)
        titles << View().Model()->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString();
    EXPECT_EQ(titles.join(','), "Name,Size,Path,Modify Date");

    const int huge = PositionOf("Huge.doc");
    ASSERT_GE(huge, 0);
    EXPECT_EQ(Cell(huge, "Size"), FormatSizeApprox(50'000'000.0));
    EXPECT_EQ(Cell(huge, "Path"), tree_ + "/docs/old/deep");
    EXPECT_EQ(Cell(huge, "Modify Date"), ResultDateText(Data().latest_date));
    EXPECT_EQ(Cell(PositionOf("old"), "Size"), FormatSizeApprox(53'012'000.0));

    EXPECT_EQ(Status(0), "8 objects (399 days).");
    EXPECT_EQ(Status(1), FormatSize(Data().total_size) + " (" + FormatSize(Data().free_space) +
                             " free)  On: " + tree_ + "/docs");
    // The report and its cells are there for a screen reader.
    QAccessibleInterface* report = QAccessible::queryAccessibleInterface(View().Report());
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->text(QAccessible::Name), "Results");
    EXPECT_EQ(View().Model()->data(View().Model()->index(huge, 0), Qt::AccessibleTextRole).toString(),
              "Huge.doc");
}

TEST_F(ReportTest, BeforeItsFirstRunTheReportSaysNoQueryIsSelected) {
    std::filesystem::remove(QueryPath());  // no profile: the result cannot run
    OpenWindow();
    EXPECT_EQ(View().Model()->columnCount(), 1);
    EXPECT_EQ(View().Model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
              "No query selected...");
    EXPECT_EQ(Status(0), "Nothing selected.");
}

TEST_F(ReportTest, ANullNameListsOneItemFewerAFillerDateShowsEmptyACompressedFileIsMarked) {
    for (const char* sql : {"UPDATE File SET Name=NULL WHERE Name='tiny.doc'",
                            "UPDATE File SET \"Modify Date\"=1.0 WHERE Name='report.doc'",
                            "UPDATE File SET Attributes=Attributes|2048 WHERE Name='plan.txt'"}) {
        ASSERT_TRUE(ExecuteSql(state_.catalogue.handle(), sql)) << sql;
    }
    OpenWindow();
    EXPECT_EQ(Data().row_count, 8);
    EXPECT_EQ(Rows().ItemCount(), 7);
    EXPECT_EQ(PositionOf(""), -1);
    EXPECT_EQ(Cell(PositionOf("report.doc"), "Modify Date"), "");
    ReportModel& model = *View().Model();
    for (const std::string name : {"plan.txt", "report.doc", "old"}) {
        const QModelIndex index = model.index(PositionOf(name), 0);
        EXPECT_EQ(Rows().Compressed(index.row()), name == "plan.txt") << name;
        EXPECT_EQ(model.data(index, Qt::ToolTipRole).toString(), name == "plan.txt" ? "Compressed" : "")
            << name;
    }
}

TEST_F(ReportTest, DisplayModesAndTheGraphItemLimit) {
    OpenWindow();
    QSignalSpy filled(&View(), &CResultView::ReportFilled);
    document_->SetDisplayMode(kDisplayLine);
    EXPECT_TRUE(document_->IsModified());
    EXPECT_EQ(document_->DisplayMode(), kDisplayLine);
    // Without a graph pane in this build the report stands in for the graph.
    EXPECT_EQ(filled.count(), 1);
    EXPECT_FALSE(View().ShowsGraph());
    EXPECT_TRUE(ui_.messages.empty());

    state_.options.graph_items = 5;
    document_->SetDisplayMode(kDisplayPie);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, "Too many items for a good graph, defaulting to report view.");
    EXPECT_EQ(ui_.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(document_->DisplayMode(), kDisplayReport);
    EXPECT_EQ(Rows().ItemCount(), 8);
}

TEST_F(ReportTest, ALinkedQueryProfileRunsInsteadOfTheQueryFileAndSavingKeepsTheFolder) {
    OpenWindow();
    QueryProfile open_query;
    open_query.query_name = "Sizes";
    open_query.include_subfolders = true;
    open_query.fields[FindQueryField(open_query, "File", "Name")].in_query = true;
    CheckQueryShape(open_query);
    document_->SetLinkedProfile(&open_query);
    EXPECT_TRUE(document_->HasLinkedProfile());
    ASSERT_TRUE(document_->Rerun());
    EXPECT_EQ(Data().row_count, 6);  // files only
    EXPECT_EQ(ColumnTitled("Size"), -1);
    document_->ClearLinkedProfile();
    ASSERT_TRUE(document_->Rerun());
    EXPECT_EQ(Data().row_count, 8);
    EXPECT_GE(ColumnTitled("Size"), 0);

    DoubleClickRow(PositionOf("old"));
    ASSERT_TRUE(document_->IsModified());
    std::string error;
    ASSERT_TRUE(document_->OnSaveDocument(ResultPath(), error)) << error;
    EXPECT_FALSE(document_->IsModified());
    ResultDocument saved;
    ASSERT_TRUE(ReadResultFile(saved, ResultPath(), state_.tree));
    EXPECT_EQ(saved.data.path, tree_ + "/docs/old");
    EXPECT_EQ(saved.display_mode, kDisplayReport);
}

TEST_F(ReportTest, SizeHeaderReRunsAscendingThenDescendingAndPathSortsInPlace) {
    OpenWindow();
    const int runs = Runs();
    ClickHeader(ColumnTitled("Size"));
    EXPECT_EQ(Runs(), runs + 1);
    EXPECT_EQ(document_->Profile()->sort_column, "Size");
    EXPECT_EQ(document_->Profile()->sort_direction, "");
    EXPECT_TRUE(document_->IsModified());
    const int size = ColumnTitled("Size");
    auto sizes_in_order = [&](bool descending) {
        for (int i = 1; i < Rows().ItemCount(); ++i) {
            const double before = Rows().Value(i - 1, size).number;
            const double after = Rows().Value(i, size).number;
            if (descending ? before < after : before > after)
                return false;
        }
        return true;
    };
    EXPECT_TRUE(sizes_in_order(false));
    ClickHeader(ColumnTitled("Size"));
    EXPECT_EQ(Runs(), runs + 2);
    EXPECT_EQ(document_->Profile()->sort_direction, "DESC");
    EXPECT_TRUE(sizes_in_order(true));

    // Path: the report sorts itself, without regard to case, and nothing runs.
    for (bool descending : {false, true}) {
        ClickHeader(ColumnTitled("Path"));
        EXPECT_EQ(Runs(), runs + 2);
        for (int i = 1; i < Rows().ItemCount(); ++i) {
            const std::string before = QString::fromStdString(Cell(i - 1, "Path")).toLower().toStdString();
            const std::string after = QString::fromStdString(Cell(i, "Path")).toLower().toStdString();
            EXPECT_TRUE(descending ? before >= after : before <= after) << i;
        }
    }
}

TEST_F(ReportTest, DrillDownThenUpOneLevelReturnsAndTheTreeFollows) {
    OpenWindow();
    const std::int32_t docs = Data().current_folder_id;
    DoubleClickRow(PositionOf("old"));
    EXPECT_EQ(Data().path, tree_ + "/docs/old");
    EXPECT_EQ(Data().row_count, 4);  // deep, archive.doc, and deep's two files
    EXPECT_EQ(Rows().ItemCount(), 4);
    CDriveView* drive = frame_->DriveView();
    EXPECT_EQ(drive->currentIndex().data().toString(), "old");
    EXPECT_TRUE(drive->isExpanded(drive->currentIndex().parent()));

    View().Command(kResultUpOneLevel)->trigger();
    EXPECT_EQ(Data().current_folder_id, docs);
    EXPECT_EQ(Data().row_count, 8);
    EXPECT_EQ(drive->currentIndex().data().toString(), "docs");
}

TEST_F(ReportTest, DoubleClickOpensTheFileInItsFolder) {
    OpenWindow();
    UrlOpener opener;
    QDesktopServices::setUrlHandler("file", &opener, "Open");
    const QString before = QDir::currentPath();
    DoubleClickRow(PositionOf("plan.txt"));
    QDesktopServices::unsetUrlHandler("file");
    EXPECT_EQ(opener.url.toLocalFile().toStdString(), tree_ + "/docs/old/deep/plan.txt");
    EXPECT_EQ(opener.folder.toStdString(), tree_ + "/docs/old/deep");
    EXPECT_EQ(QDir::currentPath(), before);
    EXPECT_TRUE(ui_.messages.empty());

    // A file gone since the scan: the system's reason, and nothing opens.
    std::filesystem::remove(tree_ + "/docs/Notes.txt");
    DoubleClickRow(PositionOf("Notes.txt"));
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, "No such file or directory");
    EXPECT_EQ(ui_.messages[0].icon, MessageIcon::Information);
}

TEST_F(ReportTest, SelectAllContextMenuAndTheDeleteKey) {
    OpenWindow();
    QTest::keyClick(View().Report(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(View().SelectedResultRows().size(), 8u);
    std::vector<int> expected(8);
    for (int i = 0; i < 8; ++i)
        expected[i] = i;
    EXPECT_EQ(View().SelectedResultRows(), expected);

    QStringList items;
    for (QAction* action : View().ContextMenu()->actions()) {
        if (!action->isSeparator())
            items << action->text() + (action->isEnabled() ? "" : "-");
    }
    EXPECT_EQ(items.join('|').toStdString(),
              "Cu&t\tCtrl+X-|&Copy\tCtrl+C-|&Paste\tCtrl+V-|Paste &Shortcut-|&Up One Level|&Compress-|"
              "U&ncompress-|Set File &Time...-|Set File &Owner...-|&Link...-|&Delete-|&Rename-|&New Folder-|"
              "&Launch Explorer-");
    // The file actions connect the commands; the Delete key reaches the same one.
    int deletes = 0;
    QAction* remove = View().Command(kResultDelete);
    remove->setEnabled(true);
    QObject::connect(remove, &QAction::triggered, [&] { ++deletes; });
    QTest::keyClick(View().Report(), Qt::Key_Delete);
    EXPECT_EQ(deletes, 1);
}

TEST_F(ReportTest, RenameStartsOnlyWithTheFileActionsRename) {
    OpenWindow();
    View().Report()->setCurrentIndex(View().Model()->index(PositionOf("tiny.doc"), 0));
    EXPECT_FALSE(View().StartRename());
    std::string renamed;
    View().Model()->SetRenameHandler([&](int, const std::string& name) {
        renamed = name;
        return true;
    });
    // The file actions enable "&Rename"; it starts editing the label in place.
    View().Command(kResultRename)->setEnabled(true);
    View().Command(kResultRename)->trigger();
    auto* editor = View().Report()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "tiny.doc");
    editor->selectAll();
    QTest::keyClicks(editor, "small.doc");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(testing::WaitUntil([&] { return renamed == "small.doc"; }));
}

TEST_F(ReportTest, AResultWithoutRowsSaysSo) {
    ScanAndWriteResult("other");
    ASSERT_TRUE(ExecuteSql(state_.catalogue.handle(), "DELETE FROM File WHERE Name='outside.doc'"));
    OpenWindow();
    EXPECT_EQ(Data().row_count, 0);
    EXPECT_EQ(Rows().ItemCount(), 0);
    EXPECT_EQ(Status(0), "No results matching criteria.");
}

}  // namespace
}  // namespace korvane

#include "result_view_test.moc"
