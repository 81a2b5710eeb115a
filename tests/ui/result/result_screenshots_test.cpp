// Pictures of the result window (a report of a few hundred rows beside the
// opened folder tree) and of its print preview, for a person to look at.
#include <QDir>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>

#include "qt_environment.h"
#include "test_paths.h"
#include "result_fixture.h"

namespace korvane {
namespace {

using testing::ResultWindowTest;

class ResultScreenshots : public ResultWindowTest {
  protected:
    void Save(QWidget& widget, const char* name) {
        QApplication::processEvents();
        ASSERT_TRUE(QDir().mkpath(folder_));
        EXPECT_TRUE(widget.grab().save(folder_ + "/" + name, "PNG")) << name;
    }
    const QString folder_ = QStringLiteral(KORVANE_BINARY_DIR "/screenshots");
};

TEST_F(ResultScreenshots, ResultWindowAndPrintPreview) {
    const char* folders[] = {"Budget",     "Contracts",  "Minutes",    "Plans/2026", "Plans/2027",
                             "Reports/Q1", "Reports/Q2", "Reports/Q3", "Scans"};
    const char* kinds[] = {".doc", ".xls", ".pdf", ".txt", ".png"};
    int n = 0;
    for (const char* folder : folders) {
        for (int i = 0; i < 34; ++i, ++n) {
            const std::string name = std::string("docs/") + folder + "/" +
                                     (i % 3 == 0   ? "Summary "
                                      : i % 3 == 1 ? "draft-"
                                                   : "Review ") +
                                     std::to_string(100 + i) + kinds[(n + i) % 5];
            MakeFile(name, static_cast<off_t>(1000 + (n * 7919) % 9'000'000), (n * 13) % 300);
        }
    }
    ScanAndWriteResult();
    OpenWindow();
    frame_->resize(1100, 640);
    frame_->DriveView()->expand(frame_->DriveView()->currentIndex());
    ASSERT_GT(Rows().ItemCount(), 300);
    Save(*frame_, "result_window.png");

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(dir_ / "preview.pdf"));
    QPrintPreviewDialog preview(&printer, frame_.get());
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested,
                     [&](QPrinter* target) { View().PrintDirectly(*target); });
    preview.resize(900, 1000);
    preview.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
    auto* pages = preview.findChild<QPrintPreviewWidget*>();
    ASSERT_NE(pages, nullptr);
    pages->updatePreview();
    EXPECT_GE(pages->pageCount(), 2);
    pages->fitToWidth();
    Save(preview, "result_print_preview.png");
    preview.close();
}

}  // namespace
}  // namespace korvane
