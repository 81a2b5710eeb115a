// Printing real results to PDF files through a "FILE:" port and reading the
// pages back with poppler's tools: the text with pdftotext, the fonts with
// pdffonts, the colours from a page rendered by pdftoppm.
#include "ui/result_printer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>

#include "app/formatting.h"
#include "catalogue/catalogue.h"
#include "catalogue/day_number.h"
#include "catalogue/folder_tree.h"
#include "catalogue/schema.h"
#include "query/query_profile.h"
#include "result/result_data.h"
#include "result/run_query.h"
#include "scan/volume_scanner.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

constexpr const char* kChildVariable = "KORVANE_PRINT_TEST_CHILD";

// A catalogue made through its own API: /srv/data holding reports/ with
// report-001.txt ... in it, every nth compressed, and the result of a query
// for their names, sizes, dates and folders.
struct Listing {
    testing::RecordingUserInterface ui;
    Catalogue catalogue{ui};
    FolderTree tree;
    QueryProfile profile;
    ResultDocument document;

    bool Build(const std::string& folder, int files, int compressed_every) {
        ui.interactive = false;
        std::string error;
        const std::string path = folder + "/Korvane.db";
        if (!CreateEmptyCatalogue(path, error) || !catalogue.OpenCatalogue(path) ||
            !catalogue.OpenCatalogueTables())
            return false;
        TableCursor& folders = catalogue.folder_table();
        const std::pair<const char*, int> rows[] = {{"/srv/data", 0}, {"reports", 1}};
        for (int id = 1; id <= 2; ++id) {
            if (!folders.AddNew())
                return false;
            folders.SetInt("Folder ID", id);
            folders.SetText("Name", rows[id - 1].first);
            folders.SetInt("Parent ID", rows[id - 1].second);
            folders.SetInt("Folders", 2 - id);
            folders.SetInt("Attributes", 0x10);
            if (!folders.Update())
                return false;
        }
        TableCursor& volume = catalogue.volume_table();
        if (!volume.AddNew())
            return false;
        volume.SetInt("Volume ID", 1);
        volume.SetInt("Folder ID", 1);
        volume.SetText("Root", "/srv/data");
        volume.SetText("Name", "/srv/data");
        volume.SetDouble("Free", 5e9);
        if (!volume.Update())
            return false;
        TableCursor& file = catalogue.file_table();
        for (int i = 1; i <= files; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "report-%03d.txt", i);
            double modified = 0;
            DayNumberFromCivil(2024, 5, 1 + i % 28, 9, 30, 0, modified);
            if (!file.AddNew())
                return false;
            file.SetInt("File ID", i);
            file.SetText("Name", name);
            file.SetInt("Parent ID", 2);
            file.SetDouble("Size", 1500.0 * i);
            file.SetDouble("Compressed", 1500.0 * i);
            file.SetDate("Modify Date", modified);
            file.SetInt("Attributes", compressed_every > 0 && i % compressed_every == 0 ? 0x820 : 0x20);
            if (!file.Update())
                return false;
        }
        if (!catalogue.CloseCatalogueTables() || !tree.LoadFolderTree(catalogue))
            return false;
        return Run(1);
    }

    bool Run(std::int32_t folder_id) {
        profile.query_name = "Listing";
        document.data.result_name = "Listing";
        for (const char* name : {"Name", "Size", "Modify Date"})
            profile.fields[FindQueryField(profile, "File", name)].in_query = true;
        profile.include_subfolders = true;
        profile.sort_column = "Name";
        profile.sort_direction = "";
        if (!CheckQueryShape(profile))
            return false;
        document.data.current_folder_id = folder_id;
        document.data.profile = &profile;
        return RunQuery(&profile, document.data, catalogue, tree, nullptr);
    }
};

// The child run of NoApplicationIsNeeded: this process has no Qt
// application yet (the tests' own is made later, in main), which is the
// state of an unattended script run. It prints and ends before main.
int PrintAsAnUnattendedRun() {
    const char* folder = std::getenv(kChildVariable);
    if (folder == nullptr)
        return 0;
    Listing listing;
    if (!listing.Build(folder, 30, 3)) {
        std::fprintf(stderr, "could not build the catalogue\n");
        std::_Exit(2);
    }
    std::string error;
    QtResultPrintService service;
    const bool printed =
        service.PrintResult(listing.document, "Listing", "", "", "FILE:" + std::string(folder) + "/out.pdf",
                            listing.catalogue, listing.tree, error);
    if (!printed)
        std::fprintf(stderr, "%s\n", error.c_str());
    std::_Exit(printed ? 0 : 1);
}
[[maybe_unused]] const int kChildRun = PrintAsAnUnattendedRun();

struct Tool {
    int exit_code = -1;
    std::string out;
};

Tool RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    Tool tool;
    if (!process.waitForFinished(60000)) {
        tool.out = "could not run " + program.toStdString();
        return tool;
    }
    tool.exit_code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    tool.out = process.readAllStandardOutput().toStdString();
    if (tool.exit_code != 0)
        tool.out += process.readAllStandardError().toStdString();
    return tool;
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

int PageCountOf(const std::string& pdf) {
    const Tool info = RunTool("pdfinfo", {Q(pdf)});
    const QRegularExpressionMatch match =
        QRegularExpression(R"(Pages:\s+(\d+))").match(QString::fromStdString(info.out));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

std::string PageText(const std::string& pdf, int page) {
    const QString number = QString::number(page);
    const Tool text = RunTool("pdftotext", {"-layout", "-f", number, "-l", number, Q(pdf), "-"});
    EXPECT_EQ(text.exit_code, 0) << "pdftotext (poppler-utils) is needed: " << text.out;
    return text.out;
}

std::string FontsOf(const std::string& pdf) {
    const Tool fonts = RunTool("pdffonts", {Q(pdf)});
    EXPECT_EQ(fonts.exit_code, 0) << fonts.out;
    return fonts.out;
}

// Page one rendered at 72 dots per inch, so that its pixels are PDF points.
QImage RenderFirstPage(const std::string& pdf, const std::string& prefix) {
    const Tool render =
        RunTool("pdftoppm", {"-r", "72", "-f", "1", "-l", "1", "-png", "-singlefile", Q(pdf), Q(prefix)});
    EXPECT_EQ(render.exit_code, 0) << render.out;
    return QImage(Q(prefix + ".png"));
}

struct Box {
    double left = 0, top = 0, right = 0, bottom = 0;
};

// Where each word of page one stands, in points.
std::map<std::string, Box> WordBoxes(const std::string& pdf) {
    const Tool boxes = RunTool("pdftotext", {"-bbox", "-f", "1", "-l", "1", Q(pdf), "-"});
    EXPECT_EQ(boxes.exit_code, 0) << boxes.out;
    std::map<std::string, Box> words;
    const QRegularExpression word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    auto matches = word.globalMatch(QString::fromStdString(boxes.out));
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        words.emplace(match.captured(5).toStdString(),
                      Box{match.captured(1).toDouble(), match.captured(2).toDouble(),
                          match.captured(3).toDouble(), match.captured(4).toDouble()});
    }
    return words;
}

// Pixels of the highlight blue, RGB(0, 0, 208), or a lighter shade of it at a letter's edge.
int BluePixels(const QImage& image, const Box& box) {
    int blue = 0;
    for (int y = static_cast<int>(box.top); y <= static_cast<int>(box.bottom) && y < image.height(); ++y) {
        for (int x = static_cast<int>(box.left); x <= static_cast<int>(box.right) && x < image.width(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            if (colour.blue() - colour.red() > 90 && colour.blue() - colour.green() > 90)
                ++blue;
        }
    }
    return blue;
}

void MakeFile(const std::string& path, off_t size) {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
}

TEST(ResultPrinter, APortNamesAFileByPrefixOrByItsShape) {
    EXPECT_EQ(PrintFileOfPort("FILE:/tmp/out.pdf"), "/tmp/out.pdf");
    EXPECT_EQ(PrintFileOfPort("  file: /tmp/my report.pdf "), "/tmp/my report.pdf");
    EXPECT_EQ(PrintFileOfPort("/var/spool/report.pdf"), "/var/spool/report.pdf");
    EXPECT_EQ(PrintFileOfPort("reports/weekly"), "reports/weekly");
    EXPECT_EQ(PrintFileOfPort("Weekly.PDF"), "Weekly.PDF");
    EXPECT_EQ(PrintFileOfPort("LPT1:"), "");
    EXPECT_EQ(PrintFileOfPort("ipp://print.example/printers/laser"), "");
    EXPECT_EQ(PrintFileOfPort("FILE:"), "");
    EXPECT_EQ(PrintFileOfPort(".pdf"), "");
    EXPECT_EQ(PrintFileOfPort(""), "");
}

TEST(ResultPrinter, AScannedTreePrintsEveryRowOnPagesWithHeaderFooterAndCutColumns) {
    testing::TempDir dir;
    const std::string root = fs::canonical(dir.path()).string() + "/tree";
    fs::create_directories(root + "/docs/sub");
    std::vector<std::string> names;
    for (int i = 0; i < 100; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "doc-%03d.txt", i);
        MakeFile(root + "/docs/" + name, 1000 * (i + 1));
        names.push_back(name);
    }
    for (int i = 0; i < 60; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "sub-%03d.dat", i);
        MakeFile(root + "/docs/sub/" + name, 3'000'000'000LL + i);
        names.push_back(name);
    }
    MakeFile(root + "/docs/a-very-long-file-name-indeed.txt", 10);

    const std::string db = dir / "Korvane.db";
    std::string error;
    ASSERT_TRUE(CreateEmptyCatalogue(db, error)) << error;
    testing::RecordingUserInterface ui;
    ui.interactive = false;
    Catalogue catalogue(ui);
    ASSERT_TRUE(catalogue.OpenCatalogue(db)) << catalogue.last_error();
    FolderTree tree;
    IdCounters counters;
    ScanContext context(catalogue, tree, counters, ui, dir / "Event.log");
    ASSERT_TRUE(BuildCatalogue(context, "\"" + root + "\"", nullptr));

    QueryProfile profile;
    profile.query_name = "Tree Files";
    for (const char* name : {"Name", "Size", "Modify Date"})
        profile.fields[FindQueryField(profile, "File", name)].in_query = true;
    profile.include_subfolders = true;
    profile.sort_column = "Name";
    ASSERT_TRUE(CheckQueryShape(profile));
    ResultDocument document;
    document.data.result_name = "Tree Files";
    document.data.current_folder_id = tree.FolderIdOfPath(root);
    ASSERT_NE(document.data.current_folder_id, 0);
    ASSERT_TRUE(RunQuery(&profile, document.data, catalogue, tree, nullptr));
    ASSERT_EQ(document.data.row_count, 161);
    document.display_mode = kDisplayPie;  // the script's print makes it a report

    const std::string pdf = dir / "tree files.pdf";
    QtResultPrintService service;
    ASSERT_TRUE(service.PrintResult(document, "Tree Files", "winspool", "Korvane PDF", "FILE:" + pdf,
                                    catalogue, tree, error))
        << error;

    QPrinter printer(QPrinter::HighResolution);
    ASSERT_TRUE(SetUpPrinter(printer, "", "", "FILE:" + pdf, error)) << error;
    document.display_mode = kDisplayReport;
    const int pages = CountPrintPages(document, printer);
    ASSERT_GE(pages, 3);  // 161 rows of 9-point type on A4 or Letter
    ASSERT_EQ(PageCountOf(pdf), pages);

    std::string all;
    int rows_before = 0;
    for (int page = 1; page <= pages; ++page) {
        const std::string text = PageText(pdf, page);
        all += text;
        EXPECT_NE(text.find("Korvane IV"), std::string::npos) << page;
        const QRegularExpression number("- Page +" + QString::number(page) + "\\n");
        EXPECT_TRUE(number.match(Q(text)).hasMatch()) << text;
        EXPECT_TRUE(QRegularExpression(R"(Name\s+Size\s+Modify Date\s+Path)").match(Q(text)).hasMatch())
            << text;
        const std::string objects = std::to_string(rows_before + 1) + "/161 objects.";
        EXPECT_NE(text.find(objects), std::string::npos) << text;
        EXPECT_NE(text.find("(Highlighted files are compressed)"), std::string::npos) << page;
        EXPECT_NE(text.find("On: " + root), std::string::npos) << text;
        int rows = 0;
        for (std::size_t at = text.find("doc-"); at != std::string::npos; at = text.find("doc-", at + 1))
            ++rows;
        for (std::size_t at = text.find("sub-"); at != std::string::npos; at = text.find("sub-", at + 1))
            ++rows;
        rows_before += rows + (text.find("a-very-long-") != std::string::npos ? 1 : 0);
    }
    EXPECT_EQ(rows_before, 161);
    for (const std::string& name : names)
        EXPECT_NE(all.find(name), std::string::npos) << name;
    // A 32-character name in the 14-character column: 12 characters and a star.
    EXPECT_NE(all.find("a-very-long-*"), std::string::npos) << all;
    EXPECT_EQ(all.find("a-very-long-f"), std::string::npos);
    // Sizes print approximately; the footer's total exactly.
    EXPECT_NE(all.find("3.0 GB"), std::string::npos);
    EXPECT_NE(all.find("1.0 KB"), std::string::npos);
    const QString total = QRegularExpression::escape(Q(FormatSize(document.data.total_size)));
    EXPECT_TRUE(QRegularExpression("objects\\.\\s+" + total + "\\s+On: ").match(Q(all)).hasMatch()) << all;
}

TEST(ResultPrinter, CompressedRowsPrintBlueOnColourAndItalicOnMonochrome) {
    testing::TempDir dir;
    Listing listing;
    ASSERT_TRUE(listing.Build(dir.str(), 12, 4));

    const std::string colour_pdf = dir / "colour.pdf";
    std::string error;
    QtResultPrintService service;
    ASSERT_TRUE(service.PrintResult(listing.document, "Listing", "", "", colour_pdf, listing.catalogue,
                                    listing.tree, error))
        << error;
    const QImage colour_page = RenderFirstPage(colour_pdf, dir / "colour");
    ASSERT_FALSE(colour_page.isNull());
    const std::map<std::string, Box> words = WordBoxes(colour_pdf);
    for (int i = 1; i <= 12; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "report-%03d.txt", i);
        const auto found = words.find(name);
        ASSERT_NE(found, words.end()) << name;
        if (i % 4 == 0) {
            EXPECT_GT(BluePixels(colour_page, found->second), 10) << name;
        } else {
            EXPECT_EQ(BluePixels(colour_page, found->second), 0) << name;
        }
    }
    EXPECT_EQ(FontsOf(colour_pdf).find("Oblique"), std::string::npos);

    const std::string grey_pdf = dir / "grey.pdf";
    QPrinter printer(QPrinter::HighResolution);
    ASSERT_TRUE(SetUpPrinter(printer, "", "", grey_pdf, error)) << error;
    printer.setColorMode(QPrinter::GrayScale);
    ASSERT_TRUE(PrintResultDocument(listing.document, printer, listing.catalogue, listing.tree, error))
        << error;
    const std::string fonts = FontsOf(grey_pdf);
    EXPECT_TRUE(fonts.find("Oblique") != std::string::npos || fonts.find("Italic") != std::string::npos)
        << fonts;
    const QImage grey_page = RenderFirstPage(grey_pdf, dir / "grey");
    ASSERT_FALSE(grey_page.isNull());
    EXPECT_EQ(BluePixels(grey_page, Box{0, 0, 1e6, 1e6}), 0);
    const std::string text = PageText(grey_pdf, 1);
    EXPECT_NE(text.find("report-004.txt"), std::string::npos) << text;
    EXPECT_NE(text.find("1/12 objects."), std::string::npos) << text;
}

TEST(ResultPrinter, AGraphPrintsOnOnePageWithItsChartInTheBody) {
    testing::TempDir dir;
    Listing listing;
    ASSERT_TRUE(listing.Build(dir.str(), 120, 0));
    listing.document.display_mode = kDisplayBar;
    const std::string pdf = dir / "graph.pdf";
    std::string error;
    QPrinter printer(QPrinter::HighResolution);
    ASSERT_TRUE(SetUpPrinter(printer, "", "", pdf, error)) << error;
    QRect body;
    const auto chart = [&body](QPainter& painter, const QRect& area) {
        body = area;
        painter.fillRect(
            area.adjusted(area.width() / 4, area.height() / 4, -area.width() / 4, -area.height() / 4),
            QColor(0, 0, 255));
    };
    ASSERT_TRUE(PrintResultDocument(listing.document, printer, listing.catalogue, listing.tree, error, chart))
        << error;
    EXPECT_EQ(PageCountOf(pdf), 1);
    EXPECT_FALSE(body.isEmpty());
    const std::string text = PageText(pdf, 1);
    EXPECT_NE(text.find("Korvane IV"), std::string::npos) << text;
    EXPECT_NE(text.find("1/120 objects."), std::string::npos) << text;
    EXPECT_EQ(text.find("report-001.txt"), std::string::npos) << text;
    EXPECT_EQ(text.find("(Highlighted files are compressed)"), std::string::npos) << text;
    const QImage page = RenderFirstPage(pdf, dir / "graph");
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(page.pixelColor(page.width() / 2, page.height() / 2), QColor(0, 0, 255));
}

TEST(ResultPrinter, FailuresSayWhyAndLeaveNoFile) {
    testing::TempDir dir;
    Listing listing;
    ASSERT_TRUE(listing.Build(dir.str(), 5, 0));
    QtResultPrintService service;
    std::string error;

    EXPECT_FALSE(service.PrintResult(listing.document, "Listing", "", "", "FILE:", listing.catalogue,
                                     listing.tree, error));
    EXPECT_EQ(error, "The printer port FILE: names no file to print to.");

    const std::string unwritable = dir / "no such folder/out.pdf";
    EXPECT_FALSE(service.PrintResult(listing.document, "Listing", "", "", "FILE:" + unwritable,
                                     listing.catalogue, listing.tree, error));
    EXPECT_EQ(error, "Could not write to " + unwritable + ".");

    EXPECT_FALSE(service.PrintResult(listing.document, "Listing", "", "Nobody's Printer",
                                     "LPT1:", listing.catalogue, listing.tree, error));
    EXPECT_EQ(error, "Printer Nobody's Printer not found.");

    // A stored query that is gone, and a result without rows: no job, no file.
    const std::string pdf = dir / "out.pdf";
    ResultDocument gone;
    gone.data = listing.document.data;
    gone.data.result_name = "Vanished";
    EXPECT_FALSE(service.PrintResult(gone, "Vanished", "", "", pdf, listing.catalogue, listing.tree, error));
    EXPECT_EQ(error, "Could not read the results of query Vanished.");
    ResultDocument empty;
    empty.data = listing.document.data;
    empty.data.row_count = 0;
    EXPECT_FALSE(service.PrintResult(empty, "Listing", "", "", pdf, listing.catalogue, listing.tree, error));
    EXPECT_EQ(error, "No results to print.");
    EXPECT_FALSE(fs::exists(pdf));

    // An existing file is replaced by the new printout.
    ASSERT_TRUE(testing::WriteFileBytes(pdf, "old bytes"));
    ASSERT_TRUE(
        service.PrintResult(listing.document, "Listing", "", "", pdf, listing.catalogue, listing.tree, error))
        << error;
    EXPECT_EQ(PageCountOf(pdf), 1);
}

TEST(ResultPrinter, ARunWithoutAnyApplicationOrDisplayPrintsOnItsOwn) {
    testing::TempDir dir;
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("QT_QPA_PLATFORM");
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert(kChildVariable, Q(dir.str()));
    child.setProcessEnvironment(environment);
    child.start(QString::fromLocal8Bit(fs::read_symlink("/proc/self/exe").c_str()), {});
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardError().toStdString();
    const std::string pdf = dir / "out.pdf";
    ASSERT_TRUE(fs::exists(pdf));
    const std::string text = PageText(pdf, 1);
    EXPECT_NE(text.find("Korvane IV"), std::string::npos) << text;
    EXPECT_NE(text.find("report-030.txt"), std::string::npos) << text;
    EXPECT_NE(text.find("1/30 objects."), std::string::npos) << text;
}

}  // namespace
}  // namespace korvane
