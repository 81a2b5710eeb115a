// The schedule window as a person uses it, against the real korvane-scheduler.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>
#include <filesystem>

#include "app/settings.h"
#include "modal_steps.h"
#include "qt_environment.h"
#include "schedule/schedule_editing.h"
#include "schedule_window_fixture.h"
#include "ui/result_printer.h"
#include "ui/schedule/command_dialog.h"
#include "ui/schedule/query_select_dialog.h"
#include "ui/schedule/run_status_dialog.h"
#include "ui/schedule/schedule_time_dialog.h"
#include "ui/volumes/select_volume_dialog.h"

namespace korvane {
namespace {

using testing::Later;
using testing::ModalSteps;
using testing::ReadFileBytes;
using testing::ScheduleWindowTest;
using testing::WaitUntil;
using testing::WriteFileBytes;

constexpr const char* kRefusal = "Can not modify an active script.\nPlease uncheck active status.";

std::string Line(CScheduleFrame& frame, int row) {
    const auto& rows = frame.Document().Schedule().Content().rows;
    return row < static_cast<int>(rows.size()) ? rows[row].command + " " + rows[row].parameters : "(none)";
}

void Press(QWidget* dialog, QDialogButtonBox::StandardButton which) {
    QPushButton* button = dialog->findChild<QDialogButtonBox*>()->button(which);
    Later(button, [button] { button->click(); });
}

// On the box itself, not the room the layout gives it.
void ClickBox(QAbstractButton* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

void SelectRow(QTreeWidget* list, const QString& name) {
    const auto found = list->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    list->setCurrentItem(found.front());
}

TEST_F(ScheduleWindowTest, CommandsAreDraggedInAndLinesDraggedOut) {
    CScheduleFrame* frame = OpenSchedule("Drag.sch");
    ASSERT_NE(frame, nullptr);
    // The command list: the enabled commands in table order, with icons.
    QStringList words;
    for (int row = 0; row < frame->Commands()->model()->rowCount(); ++row) {
        const QModelIndex index = frame->Commands()->model()->index(row, 0);
        words << index.data().toString();
        EXPECT_FALSE(index.data(Qt::DecorationRole).value<QIcon>().isNull());
    }
    EXPECT_EQ(words, QStringList({"Copy", "Delete", "Move", "Query", "Link", "Scan", "Command", "Print",
                                  "Logfile", "Export"}));
    EXPECT_EQ(frame->Script()->model()->headerData(0, Qt::Horizontal).toString(), "Command");
    EXPECT_EQ(frame->Script()->model()->headerData(1, Qt::Horizontal).toString(), "Parameters");

    DragCommandToScript(*frame, "Scan");
    DragCommandToScript(*frame, "Copy");
    ASSERT_EQ(frame->Script()->model()->rowCount(), 2);
    EXPECT_EQ(Line(*frame, 0), "Scan ");
    EXPECT_EQ(Line(*frame, 1), "Copy ");
    EXPECT_EQ(frame->Script()->currentIndex().row(), 1);
    EXPECT_TRUE(frame->Document().IsModified());

    DragLineToCommands(*frame, 0);
    ASSERT_EQ(frame->Script()->model()->rowCount(), 1);
    EXPECT_EQ(Line(*frame, 0), "Copy ");
    EXPECT_TRUE(Messages().empty());
}

TEST_F(ScheduleWindowTest, ActiveRegistersTheJobAndRefusesEveryEdit) {
    const std::string path =
        WriteSchedule("Night Job.sch", {"Copy \"@Sales\", \"/backup\", "}, "12/24/2030 23:05:00", "Daily");
    CScheduleFrame* frame = OpenSchedule("Night Job.sch");
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->StatusPane(0)->text(), "Startup on 12/24/2030 23:05:00, run Daily.");
    EXPECT_EQ(frame->windowTitle(), "Night Job - Korvane Schedule");
    EXPECT_FALSE(frame->ActiveAction()->isChecked());
    EXPECT_EQ(frame->ActiveAction()->statusTip(), "Script active when pressed down.");

    // A change not yet saved is saved before the job is registered.
    DragCommandToScript(*frame, "Delete");
    ASSERT_TRUE(frame->Document().IsModified());
    QTest::mouseClick(frame->ScheduleToolBar()->widgetForAction(frame->ActiveAction()), Qt::LeftButton);
    EXPECT_TRUE(frame->ActiveAction()->isChecked());
    EXPECT_TRUE(frame->Document().Schedule().IsActive());
    EXPECT_FALSE(frame->Document().IsModified());
    EXPECT_NE(ReadFileBytes(path).find("ScriptLine[1]=Delete "), std::string::npos);
    EXPECT_EQ(Jobs(), std::vector<std::string>{path});

    // Every way of changing the script is refused with the same message.
    DragCommandToScript(*frame, "Move");
    DragLineToCommands(*frame, 0);
    DoubleClickLine(*frame, 0);
    frame->StartEventAction()->trigger();
    EXPECT_EQ(Messages(), std::vector<std::string>(4, kRefusal));
    EXPECT_EQ(frame->Script()->model()->rowCount(), 2);

    // Reopened, the schedule learns from the scheduler that it is Active.
    QMdiSubWindow* window = Frame().WindowOf(&frame->Document());
    window->close();
    QApplication::processEvents();
    frame = OpenSchedule("Night Job.sch");
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->ActiveAction()->isChecked());

    frame->ActiveAction()->trigger();
    EXPECT_FALSE(frame->ActiveAction()->isChecked());
    EXPECT_TRUE(Jobs().empty());
    // The Events command of the main window goes with a schedule window.
    EXPECT_TRUE(Frame().CommandAction(kViewEvents)->isVisible());
}

TEST_F(ScheduleWindowTest, WithoutTheSchedulerTheScheduleStaysInactive) {
    scheduler->Stop();
    WriteSchedule("Offline.sch", {"Scan \"/srv\""});
    CScheduleFrame* frame = OpenSchedule("Offline.sch");
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(Messages(), std::vector<std::string>{"korvane-scheduler is not online and responding."});
    frame->ActiveAction()->trigger();
    EXPECT_FALSE(frame->ActiveAction()->isChecked());
    EXPECT_EQ(Messages().size(), 1u);
}

TEST_F(ScheduleWindowTest, CopyTakesItsSourceFromAnEarlierQueryAndItsOptionsFromTheBoxes) {
    WriteSchedule("Copy.sch", {"Query \"Sales\", \"/srv/sales\"", "Query \"Big Files\", \"/srv\"",
                               "Copy \"/old\", \"/backup\", /SUBFOLDER"});
    CScheduleFrame* frame = OpenSchedule("Copy.sch");
    ASSERT_NE(frame, nullptr);
    ModalSteps steps;
    QStringList offered;
    steps
        .Then("CommandDialog",
              [&](QWidget* dialog) {
                  auto* command = static_cast<CommandDialog*>(dialog);
                  EXPECT_EQ(command->windowTitle(), "Copy");
                  EXPECT_EQ(command->SourceField()->text(), "/old");
                  EXPECT_EQ(command->DestinationField()->text(), "/backup");
                  EXPECT_TRUE(command->SubfolderBox()->isChecked());
                  EXPECT_FALSE(command->OverwriteBox()->isChecked());
                  Later(command, [command] { command->FromQueryButton()->click(); });
              })
        .Then("QuerySelectDialog",
              [&](QWidget* dialog) {
                  auto* select = static_cast<QuerySelectDialog*>(dialog);
                  EXPECT_EQ(select->windowTitle(), "Select Query Results");
                  for (int i = 0; i < select->List()->topLevelItemCount(); ++i)
                      offered << select->List()->topLevelItem(i)->text(0);
                  SelectRow(select->List(), "Sales");
                  Press(select, QDialogButtonBox::Ok);
              })
        .Then("CommandDialog", [&](QWidget* dialog) {
            auto* command = static_cast<CommandDialog*>(dialog);
            EXPECT_EQ(command->SourceField()->text(), "@Sales");
            ClickBox(command->OverwriteBox());
            Press(command, QDialogButtonBox::Ok);
        });
    DoubleClickLine(*frame, 2);
    ASSERT_TRUE(steps.Done()) << steps.Waiting();
    EXPECT_EQ(offered, QStringList({"Sales", "Big Files"}));
    EXPECT_EQ(Line(*frame, 2), "Copy \"@Sales\", \"/backup\", /SUBFOLDER/OVERWRITE");

    // Only the overwrite box: a blank before the option.
    steps.Then("CommandDialog", [&](QWidget* dialog) {
        auto* command = static_cast<CommandDialog*>(dialog);
        ClickBox(command->SubfolderBox());
        Press(command, QDialogButtonBox::Ok);
    });
    DoubleClickLine(*frame, 2);
    ASSERT_TRUE(steps.Done());
    EXPECT_EQ(Line(*frame, 2), "Copy \"@Sales\", \"/backup\",  /OVERWRITE");

    // A quote in a path would cut the line into other parameters: refused.
    steps.Then("CommandDialog", [&](QWidget* dialog) {
        auto* command = static_cast<CommandDialog*>(dialog);
        command->DestinationField()->setText("/backup\", \"/etc");
        Later(command, [command] {
            command->accept();
            command->reject();
        });
    });
    DoubleClickLine(*frame, 2);
    ASSERT_TRUE(steps.Done());
    EXPECT_EQ(Line(*frame, 2), "Copy \"@Sales\", \"/backup\",  /OVERWRITE");
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].rfind("A script parameter cannot hold a double quote", 0), 0u);
}

TEST_F(ScheduleWindowTest, QueryCommandAndExportLinesFromTheirDialogs) {
    ASSERT_TRUE(WriteFileBytes(home + "Sales.qry", "[Query]\r\nDescription=Sales this year\r\n"));
    ASSERT_TRUE(WriteFileBytes(home + "Big Files.qry", "[Query]\r\nDescription=Over 1 GB\r\n"));
    WriteSchedule("Lines.sch", {"Query", "Command \"ls -l /srv\"", "Export"});
    CScheduleFrame* frame = OpenSchedule("Lines.sch");
    ASSERT_NE(frame, nullptr);
    ui.chosen_folder = "/srv/sales";
    ModalSteps steps;
    steps.Then("QuerySelectDialog", [&](QWidget* dialog) {
        auto* select = static_cast<QuerySelectDialog*>(dialog);
        EXPECT_EQ(select->windowTitle(), "Select Query");
        ASSERT_EQ(select->List()->topLevelItemCount(), 2);
        EXPECT_EQ(select->List()->topLevelItem(1)->text(0), "Sales");
        EXPECT_EQ(select->List()->topLevelItem(1)->text(1), "Sales this year");
        EXPECT_EQ(select->FolderText()->text(), "Please select a starting folder");
        EXPECT_FALSE(select->OkButton()->isEnabled());
        QTest::mouseClick(select->BrowseButton(), Qt::LeftButton);
        EXPECT_TRUE(select->OkButton()->isEnabled());
        EXPECT_EQ(select->FolderText()->text(), "/srv/sales");
        SelectRow(select->List(), "Sales");
        Press(select, QDialogButtonBox::Ok);
    });
    DoubleClickLine(*frame, 0);
    ASSERT_TRUE(steps.Done());
    EXPECT_EQ(Line(*frame, 0), "Query \"Sales\", \"/srv/sales\"");

    steps.Then("EnterTextDialog", [&](QWidget* dialog) {
        auto* field = dialog->findChild<QLineEdit*>();
        EXPECT_EQ(field->text(), "ls -l /srv");
        field->selectAll();
        QTest::keyClicks(field, "touch /tmp/done");
        Press(dialog, QDialogButtonBox::Ok);
    });
    DoubleClickLine(*frame, 1);
    ASSERT_TRUE(steps.Done());
    EXPECT_EQ(Line(*frame, 1), "Command \"touch /tmp/done\"");

    const std::string csv = dir / "sales";
    steps
        .Then("CommandDialog",
              [&](QWidget* dialog) {
                  auto* command = static_cast<CommandDialog*>(dialog);
                  EXPECT_EQ(command->windowTitle(), "Export");
                  Later(command, [command] { command->FromQueryButton()->click(); });
              })
        .Then("QuerySelectDialog",
              [&](QWidget* dialog) {
                  auto* select = static_cast<QuerySelectDialog*>(dialog);
                  ASSERT_EQ(select->List()->topLevelItemCount(), 1);
                  Press(select, QDialogButtonBox::Ok);
              })
        .Then("CommandDialog", [&](QWidget* dialog) { Press(dialog, QDialogButtonBox::Ok); })
        .Then("QFileDialog", [&](QWidget* dialog) {
            auto* save = static_cast<QFileDialog*>(dialog);
            EXPECT_EQ(save->nameFilters(), QStringList{"Comma Delimited File (*.csv)"});
            EXPECT_EQ(save->defaultSuffix(), "csv");
            testing::AcceptFileDialogWith(save, QString::fromStdString(csv));
        });
    DoubleClickLine(*frame, 2);
    ASSERT_TRUE(steps.Done()) << steps.Waiting();
    EXPECT_EQ(Line(*frame, 2), "Export \"@Sales\", \"" + csv + ".csv\"");
}

// Picks rows of the Select Volume list in a view with the mouse, then OK.
void PickInSelectVolume(QWidget* dialog, VolumeView view, const std::vector<int>& rows) {
    auto* select = static_cast<SelectVolumeDialog*>(dialog);
    QTest::mouseClick(select->ViewButton(view), Qt::LeftButton);
    QTreeWidget* list = select->List();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(rows[i]);
        ASSERT_NE(item, nullptr) << rows[i];
        QTest::mouseClick(list->viewport(), Qt::LeftButton, i == 0 ? Qt::NoModifier : Qt::ControlModifier,
                          list->visualItemRect(item).center());
    }
    Press(select, QDialogButtonBox::Ok);
}

TEST_F(ScheduleWindowTest, ScanLinesPickTheirVolumesInSelectVolume) {
    const std::string data = dir / "data", photos = dir / "photos";
    std::filesystem::create_directories(data);
    std::filesystem::create_directories(photos);
    PickVolumesFrom({data, photos});
    WriteSchedule("Pick.sch", {"Scan \"/srv\"", "Scan"});
    CScheduleFrame* frame = OpenSchedule("Pick.sch");
    ASSERT_NE(frame, nullptr);

    // The two user volumes, picked in the order of the list.
    ModalSteps steps;
    steps.Then("SelectVolumeDialog", [](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Select Volume"));
        PickInSelectVolume(dialog, VolumeView::UserVolumes, {1, 0});
    });
    DoubleClickLine(*frame, 1);
    ASSERT_TRUE(steps.Done()) << steps.Waiting();
    EXPECT_EQ(Line(*frame, 1), "Scan \"uv: 1\",\"uv: 2\",");
    EXPECT_TRUE(frame->Document().IsModified());

    // Cancel keeps the line; Enter on a line picks too.
    steps.Then("SelectVolumeDialog", [](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    DoubleClickLine(*frame, 0);
    ASSERT_TRUE(steps.Done()) << steps.Waiting();
    EXPECT_EQ(Line(*frame, 0), "Scan \"/srv\"");
    steps.Then("SelectVolumeDialog",
               [](QWidget* dialog) { PickInSelectVolume(dialog, VolumeView::UserVolumes, {1}); });
    frame->Script()->setFocus();
    QTest::keyClick(frame->Script(), Qt::Key_Return);
    ASSERT_TRUE(steps.Done()) << steps.Waiting();
    EXPECT_EQ(Line(*frame, 0), "Scan \"uv: 2\",");

    // Picking builds nothing and leaves the settings alone.
    EXPECT_TRUE(ReadSelectedDrive(start.paths.settings_path).empty());
    EXPECT_TRUE(Messages().empty()) << ::testing::PrintToString(Messages());
    ASSERT_TRUE(Frame().SaveDocument(frame->Document()));
    EXPECT_NE(ReadFileBytes(home + "Pick.sch").find("ScriptLine[1]=Scan \"uv: 1\",\"uv: 2\",\r\n"),
              std::string::npos);
}

TEST_F(ScheduleWindowTest, ScanLinesAreTypedInPlaceAndTheStatusBarSaysSo) {
    WriteSchedule("Scan.sch", {"Scan"});
    CScheduleFrame* frame = OpenSchedule("Scan.sch");
    ASSERT_NE(frame, nullptr);
    DoubleClickLine(*frame, 0);
    EXPECT_EQ(frame->statusBar()->currentMessage(), kScanTypedHere);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "\"/srv\", \"/home\"");
    QTest::keyClick(editor, Qt::Key_Return);
    // The list takes the text from the event loop.
    EXPECT_TRUE(WaitUntil([&] { return Line(*frame, 0) != "Scan "; }));
    EXPECT_EQ(Line(*frame, 0), "Scan \"/srv\", \"/home\"");
    EXPECT_TRUE(frame->statusBar()->currentMessage().isEmpty());
}

TEST_F(ScheduleWindowTest, ScheduleTimeReadsAndWritesStartupAndInterval) {
    WriteSchedule("Time.sch", {}, "12/24/2030 12:15:00", "Weekly");
    CScheduleFrame* frame = OpenSchedule("Time.sch");
    ASSERT_NE(frame, nullptr);
    ModalSteps steps;
    steps.Then("ScheduleTimeDialog", [&](QWidget* dialog) {
        auto* time = static_cast<ScheduleTimeDialog*>(dialog);
        EXPECT_EQ(time->Hour()->text(), "12");
        EXPECT_EQ(time->Minute()->text(), "15");
        EXPECT_TRUE(time->Pm()->isChecked());
        EXPECT_TRUE(time->IntervalButton(ScheduleInterval::Weekly)->isChecked());
        EXPECT_EQ(time->Calendar()->selectedDate(), QDate(2030, 12, 24));
        EXPECT_EQ(time->findChild<QLabel*>("UntimedNote"), nullptr);
        Press(time, QDialogButtonBox::Ok);
    });
    frame->StartEventAction()->trigger();
    ASSERT_TRUE(steps.Done());
    EXPECT_EQ(frame->Document().Schedule().Content().startup, "12/24/2030 12:15:00");
    EXPECT_TRUE(frame->Document().IsModified());

    // Stepping keeps the hour within 1 to 12; PM off makes 12 midnight.
    steps.Then("ScheduleTimeDialog", [&](QWidget* dialog) {
        auto* time = static_cast<ScheduleTimeDialog*>(dialog);
        time->Hour()->setFocus();
        QTest::keyClick(time->Hour(), Qt::Key_Up);
        EXPECT_EQ(time->Hour()->text(), "01");
        QTest::keyClick(time->Hour(), Qt::Key_Down);
        ClickBox(time->Pm());
        ClickBox(time->IntervalButton(ScheduleInterval::UserDefined));
        Press(time, QDialogButtonBox::Ok);
    });
    frame->StartEventAction()->trigger();
    ASSERT_TRUE(steps.Done());
    EXPECT_EQ(frame->Document().Schedule().Content().startup, "12/24/2030 00:15:00");
    EXPECT_EQ(frame->Document().Schedule().Content().interval, "User defined");
    EXPECT_EQ(frame->StatusPane(0)->text(), "Startup on 12/24/2030 00:15:00, run User defined.");
}

TEST_F(ScheduleWindowTest, ANewScheduleStartsAtStartupAndItsDialogShowsNow) {
    CScheduleFrame* frame = OpenSchedule("Fresh.sch");
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->Document().Schedule().Content().startup, "Startup");
    EXPECT_EQ(frame->StatusPane(0)->text(), "Startup on Startup.");
    ModalSteps steps;
    steps.Then("ScheduleTimeDialog", [&](QWidget* dialog) {
        auto* time = static_cast<ScheduleTimeDialog*>(dialog);
        EXPECT_EQ(time->Calendar()->selectedDate(), QDate::currentDate());
        EXPECT_NE(time->findChild<QLabel*>("UntimedNote"), nullptr);
        EXPECT_TRUE(time->IntervalButton(ScheduleInterval::None)->isChecked());
        Press(time, QDialogButtonBox::Cancel);
    });
    frame->StartEventAction()->trigger();
    ASSERT_TRUE(steps.Done());
    // Saved and activated as it is, the job starts with the scheduler.
    ASSERT_TRUE(Frame().SaveDocument(frame->Document()));
    frame->ActiveAction()->trigger();
    ASSERT_TRUE(frame->ActiveAction()->isChecked());
    EXPECT_NE(ReadFileBytes(dir / "scheduler.jobs").find("\tStartup\tNone\t"), std::string::npos)
        << ReadFileBytes(dir / "scheduler.jobs");
}

TEST_F(ScheduleWindowTest, RunStatusListsTheSchedulesAndWhichAreActive) {
    WriteSchedule("Alpha.sch", {"Scan \"/srv\""}, "01/02/2031 08:00:00", "Daily");
    WriteSchedule("Beta job.sch", {"Scan \"/srv\""}, "Startup", "None");
    CScheduleFrame* frame = OpenSchedule("Beta job.sch");
    ASSERT_NE(frame, nullptr);
    frame->ActiveAction()->trigger();
    ASSERT_TRUE(frame->ActiveAction()->isChecked());
    ModalSteps steps;
    std::map<QString, QStringList> rows;
    steps.Then("RunStatusDialog", [&](QWidget* dialog) {
        QTreeWidget* list = static_cast<RunStatusDialog*>(dialog)->List();
        EXPECT_EQ(list->headerItem()->text(0), "Script");
        EXPECT_EQ(list->headerItem()->text(3), "Status");
        EXPECT_EQ(list->columnWidth(1), 120);
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = list->topLevelItem(i);
            rows[item->text(0)] = {item->text(1), item->text(2), item->text(3)};
        }
        Press(dialog, QDialogButtonBox::Ok);
    });
    QTest::mouseClick(frame->ScheduleToolBar()->widgetForAction(frame->RunStatusAction()), Qt::LeftButton);
    ASSERT_TRUE(steps.Done());
    const QString alpha = QString::fromStdString(home + "Alpha.sch");
    const QString beta = QString::fromStdString(home + "Beta job.sch");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[alpha], QStringList({"01/02/2031 08:00:00", "Daily", "Inactive"}));
    EXPECT_EQ(rows[beta], QStringList({"Startup", "None", "Active"}));
}

TEST_F(ScheduleWindowTest, PrintNamesThePrinterAsTheScriptRunReadsItBack) {
    WriteSchedule("Print.sch", {"Print"});
    CScheduleFrame* frame = OpenSchedule("Print.sch");
    ASSERT_NE(frame, nullptr);
    const std::string pdf = dir / "report.pdf";
    ModalSteps steps;
    steps
        .Then("CommandDialog",
              [&](QWidget* dialog) {
                  auto* command = static_cast<CommandDialog*>(dialog);
                  command->SourceField()->setText("@Sales");
                  Press(command, QDialogButtonBox::Ok);
              })
        .Then("QPrintDialog", [&](QWidget* dialog) {
            // Printing to a file is what every machine offers.
            auto* file = dialog->findChild<QLineEdit*>("filename");
            ASSERT_NE(file, nullptr);
            file->setText(QString::fromStdString(pdf));
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        });
    DoubleClickLine(*frame, 0);
    ASSERT_TRUE(steps.Done()) << steps.Waiting();
    EXPECT_EQ(Line(*frame, 0), "Print \"@Sales\", \"PDF\", \"\", \"FILE:" + pdf + "\"");

    const std::vector<std::string> tokens =
        RowParameterTokens(frame->Document().Schedule().Content().rows[0].parameters);
    ASSERT_EQ(tokens.size(), 4u);
    QPrinter printer;
    std::string error;
    ASSERT_TRUE(SetUpPrinter(printer, tokens[1], tokens[2], tokens[3], error)) << error;
    EXPECT_EQ(printer.outputFormat(), QPrinter::PdfFormat);
    EXPECT_EQ(printer.outputFileName().toStdString(), pdf);
}

TEST_F(ScheduleWindowTest, ControlsHaveNamesForScreenReaders) {
    CScheduleFrame* frame = OpenSchedule("Names.sch");
    ASSERT_NE(frame, nullptr);
    auto name = [](QWidget* widget) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
        return face == nullptr ? QString() : face->text(QAccessible::Name);
    };
    EXPECT_EQ(name(frame->Commands()), "Commands");
    EXPECT_EQ(name(frame->Script()), "Script");
    EXPECT_EQ(name(frame->StatusPane(0)), "Schedule time");
    EXPECT_EQ(name(frame->ScheduleToolBar()->widgetForAction(frame->ActiveAction())), "Active");

    ScheduleTimeDialog time(ScheduleTimeFieldsOf("Startup", "None", 0), "Startup");
    EXPECT_EQ(name(time.Hour()), "Hour:");
    EXPECT_EQ(name(time.Minute()), "Minute:");
    EXPECT_EQ(name(time.Calendar()), "Start date");
    CommandDialog copy("Copy", *CommandDialogShapeOf("Copy"), {}, {}, ui);
    EXPECT_EQ(name(copy.SourceField()), "Source:");
    EXPECT_EQ(name(copy.DestinationBrowseButton()), "Browse for the destination");
    EXPECT_EQ(name(copy.OverwriteBox()), "Overwrite Existing Destination Files");
}

TEST_F(ScheduleWindowTest, FilePrintPrintsTheScriptAsText) {
    WriteSchedule("Printed.sch", {"Scan \"/srv\"", "Export \"@Sales\", \"/tmp/s.csv\""},
                  "01/02/2031 08:00:00");
    const std::string pdf = dir / "script.pdf";
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    ASSERT_TRUE(Frame().PrintRun(home + "Printed.sch", printer));
    ASSERT_TRUE(std::filesystem::exists(pdf));
    EXPECT_GT(std::filesystem::file_size(pdf), 500u);
}

TEST_F(ScheduleWindowTest, TheKeyboardAddsEditsAndRemovesLines) {
    CScheduleFrame* frame = OpenSchedule("Keys.sch");
    ASSERT_NE(frame, nullptr);
    CCommandView* commands = frame->Commands();
    commands->setFocus();
    commands->setCurrentIndex(commands->model()->index(6, 0));  // Command
    QTest::keyClick(commands, Qt::Key_Return);
    ASSERT_EQ(Line(*frame, 0), "Command ");

    ModalSteps steps;
    steps.Then("EnterTextDialog", [&](QWidget* dialog) {
        QTest::keyClicks(dialog->findChild<QLineEdit*>(), "date");
        Press(dialog, QDialogButtonBox::Ok);
    });
    frame->Script()->setFocus();
    QTest::keyClick(frame->Script(), Qt::Key_Return);
    ASSERT_TRUE(steps.Done());
    EXPECT_EQ(Line(*frame, 0), "Command \"date\"");

    QTest::keyClick(frame->Script(), Qt::Key_Delete);
    EXPECT_EQ(frame->Script()->model()->rowCount(), 0);
}

}  // namespace
}  // namespace korvane
