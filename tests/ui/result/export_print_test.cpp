// Export and printing from a result window, and the print run of a result
// (korvane /P) to a PDF printer named by the environment.
#include <QApplication>
#include <QFileDialog>
#include <QProcess>
#include <QTimer>
#include <cstdlib>

#include "app/event_log.h"
#include "app/profile_file.h"
#include "qt_environment.h"
#include "result_fixture.h"
#include "schedule/script/script_interpreter.h"
#include "ui/windowed_program.h"

namespace korvane {
namespace {

using testing::ReadFileBytes;
using testing::ResultWindowTest;
using testing::WriteFileBytes;

std::string PdfText(const std::string& pdf) {
    QProcess process;
    process.start("pdftotext", {"-layout", QString::fromStdString(pdf), "-"});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return "pdftotext (poppler-utils) failed on " + pdf;
    return process.readAllStandardOutput().toStdString();
}

// Sets an environment variable for the life of the object.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

class ExportPrintTest : public ResultWindowTest {
  protected:
    void SetUp() override {
        ResultWindowTest::SetUp();
        MakeSmallTree();
        ScanAndWriteResult();
    }
    // The print run as main starts it, with this test's catalogue.
    int PrintRun(const std::string& document) {
        WindowedStart start;
        start.paths = state_.paths;
        bool fresh = false;
        EXPECT_TRUE(PrepareInstallFolder(start.paths, fresh));
        EXPECT_TRUE(WriteProfileString(start.paths.settings_path, "Tip", "StartUp", "0"));
        start.options = ReadProgramOptions(start.paths.settings_path);
        start.show_splash = false;
        start.state = &state_;
        start.request = {RunMode::Print, document};
        int argc = 1;
        char name[] = "korvane";
        char* argv[] = {name, nullptr};
        return RunWindowedProgram(argc, argv, start);
    }
};

TEST_F(ExportPrintTest, ExportFromTheWindowEqualsTheScriptsExport) {
    OpenWindow();
    const std::string from_window = dir_ / "window.csv";
    QString suggested;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        suggested = dialog->selectedFiles().value(0);
        EXPECT_EQ(dialog->defaultSuffix(), "csv");
        EXPECT_EQ(dialog->nameFilters(), QStringList{"Comma Delimited File (*.csv)"});
        testing::AcceptFileDialogWith(dialog, QString::fromStdString(dir_ / "window"));
    });
    frame_->OnExport();
    EXPECT_TRUE(suggested.endsWith("/Sizes.csv")) << suggested.toStdString();

    const std::string from_script = dir_ / "script.csv";
    const std::string script = state_.paths.folder + "export.sch";
    ASSERT_TRUE(WriteFileBytes(script, "[Script]\r\nLines=2\r\nScriptLine[0]=Query \"Sizes\", \"" + tree_ +
                                           "/docs\"\r\nScriptLine[1]=Export \"@Sizes\", \"" + from_script +
                                           "\"\r\n"));
    ASSERT_EQ(RunScript(state_, script), 1) << ReadFileBytes(state_.paths.event_log_path);
    const std::string exported = ReadFileBytes(from_window);
    EXPECT_EQ(exported, ReadFileBytes(from_script));
    EXPECT_EQ(exported.substr(0, exported.find('\n') + 1), "Name,Size,Path,Modify Date\r\n");
    EXPECT_NE(exported.find("Huge.doc,50000000," + tree_ + "/docs/old/deep"), std::string::npos) << exported;
}

TEST_F(ExportPrintTest, PrintRunPrintsTheReportToThePdfThePrinterVariableNames) {
    const std::string pdf = dir_ / "Sizes report.pdf";
    ScopedVariable printer("PRINTER", pdf);
    EXPECT_EQ(PrintRun(ResultPath()), 0) << ReadFileBytes(state_.paths.event_log_path);
    const std::string text = PdfText(pdf);
    EXPECT_NE(text.find("Korvane IV"), std::string::npos) << text;
    EXPECT_NE(text.find(" - Page 1"), std::string::npos) << text;
    EXPECT_NE(text.find("Path"), std::string::npos) << text;
    for (const char* name : {"report.doc", "Notes.txt", "Huge.doc", "archive.doc", "deep"})
        EXPECT_NE(text.find(name), std::string::npos) << name << "\n" << text;
    EXPECT_NE(text.find("1/8 objects."), std::string::npos) << text;
    EXPECT_NE(text.find("On: " + tree_ + "/docs"), std::string::npos) << text;
    // Not the result file's text.
    EXPECT_EQ(text.find("[Graph Options]"), std::string::npos);
}

TEST_F(ExportPrintTest, APrintRunThatPrintsNothingFailsAndSaysWhyInTheEventLog) {
    struct Case {
        const char* what;
        std::string printer;
        bool remove_query;
        std::string reason;
    };
    const Case cases[] = {
        {"the file cannot be written", "FILE:" + (dir_ / "no/such/folder/x.pdf"), false,
         "Could not write to " + (dir_ / "no/such/folder/x.pdf") + "."},
        {"the result cannot run without its query", dir_ / "y.pdf", true, "No results to print."},
    };
    for (const Case& test : cases) {
        if (test.remove_query)
            std::filesystem::remove(QueryPath());
        std::filesystem::remove(state_.paths.event_log_path);
        ScopedVariable printer("PRINTER", test.printer);
        testing::MessageBoxAnswerer answerer;
        EXPECT_EQ(PrintRun(ResultPath()), 1) << test.what;
        EXPECT_TRUE(answerer.boxes.empty()) << test.what;
        const std::string log = ReadFileBytes(state_.paths.event_log_path);
        EXPECT_NE(log.find("\"Error\", \"The document " + ResultPath() + " could not be printed. " +
                           test.reason + "\""),
                  std::string::npos)
            << test.what << "\n"
            << log;
    }
}

TEST_F(ExportPrintTest, APrintRunWithoutAnyPrinterFailsWithAClearLine) {
    ScopedVariable printer("PRINTER", "no-such-printer-queue");
    EXPECT_EQ(PrintRun(ResultPath()), 1);
    const std::string log = ReadFileBytes(state_.paths.event_log_path);
    EXPECT_NE(log.find("No printer is available to print " + ResultPath() +
                       ": Printer no-such-printer-queue not found."),
              std::string::npos)
        << log;
}

}  // namespace
}  // namespace korvane
