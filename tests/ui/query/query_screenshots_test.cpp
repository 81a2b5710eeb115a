// Pictures of the query window with criteria and of each criteria dialog,
// written to the build folder's "screenshots" folder for a person to look at.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMdiSubWindow>

#include "query_window_fixture.h"
#include "test_paths.h"
#include "ui/query/criteria_windows.h"
#include "ui/query/query_dialogs.h"

namespace korvane {
namespace {

using testing::QueryWindowTest;
using testing::WriteFileBytes;

class QueryScreenshots : public QueryWindowTest {
  protected:
    void Save(QWidget& widget, const char* name) {
        ASSERT_TRUE(QDir().mkpath(folder_));
        widget.show();
        QApplication::processEvents();
        EXPECT_TRUE(widget.grab().save(folder_ + "/" + name, "PNG")) << name;
    }
    const QString folder_ = QStringLiteral(KORVANE_BINARY_DIR "/screenshots");
};

// Every control a person works a window with has a name a screen reader can say.
void ExpectNamedControls(QWidget& window) {
    int controls = 0;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(widget) || qobject_cast<QLineEdit*>(widget) ||
                             qobject_cast<QComboBox*>(widget) || qobject_cast<QAbstractItemView*>(widget);
        if (!control || !widget->isVisibleTo(&window) ||
            widget->objectName().startsWith(QLatin1String("qt_")))
            continue;
        if (widget->parentWidget() && widget->parentWidget()->objectName().startsWith(QLatin1String("qt_")))
            continue;  // the parts of a composite control, such as the calendar's navigation
        ++controls;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(accessible, nullptr);
        EXPECT_FALSE(accessible->text(QAccessible::Name).trimmed().isEmpty())
            << window.windowTitle().toStdString() << ": " << widget->metaObject()->className();
    }
    EXPECT_GT(controls, 0) << window.windowTitle().toStdString();
}

TEST_F(QueryScreenshots, QueryWindowAndCriteriaDialogs) {
    const std::string path = dir_ / "Recent Documents.qry";
    ASSERT_TRUE(
        WriteFileBytes(path,
                       "[Query Options]\r\nIncludeSubFolders=1\r\n[Query]\r\n"
                       "Description=Documents changed this month\r\nInitial Folder=" +
                           root_ +
                           "/docs\r\nLines=5\r\n"
                           "QueryLine[0]= \"Folder\", \"Name\",\r\n"
                           "QueryLine[1]= \"Folder\", \"Size\",\r\n"
                           "QueryLine[2]= \"File\", \"Name\", Include  \"*.doc\",\"*.txt\", \r\n"
                           "QueryLine[3]= \"File\", \"Size\", Include  1M - 10M , \r\n"
                           "QueryLine[4]= \"File\", \"Modify Date\", Include Previous  30 Days, \r\n"));
    auto main = MakeMainFrame();
    WindowDocument* document = main->OpenDocumentFile(path);
    ASSERT_NE(document, nullptr);
    main->WindowOf(document)->showMaximized();
    Save(*main, "query_window.png");
    ExpectNamedControls(*main->FrameOf(document));

    CTextCriteriaDialog text(QStringLiteral("File Name"), "Include  \"*.doc\",\"*.txt\"");
    Save(text, "query_text_criteria.png");
    ExpectNamedControls(text);
    CSizeCriteriaDialog size(QStringLiteral("File Size"), "Include  0 - 1M , 25M - 25G ");
    Save(size, "query_size_criteria.png");
    ExpectNamedControls(size);
    CDateCriteriaDialog date(QStringLiteral("File Modify Date"),
                             "Exclude  1/10/1998 - 1/14/1998, 1/20/1998, ");
    Save(date, "query_date_criteria.png");
    ExpectNamedControls(date);
    CDateCriteriaDialog ez(QStringLiteral("Folder Create Date"), "Include Previous  3 Months");
    Save(ez, "query_date_ez_criteria.png");
    ExpectNamedControls(ez);
    CInitialFolderDialog chooser(tree_, root_ + "/docs/old");
    Save(chooser, "query_initial_folder.png");
    ExpectNamedControls(chooser);
    CDuplicateSetupDialog duplicates("NAME,SIZE,");
    Save(duplicates, "query_duplicates.png");
    ExpectNamedControls(duplicates);
}

}  // namespace
}  // namespace korvane
