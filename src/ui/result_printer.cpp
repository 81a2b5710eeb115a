#include "ui/result_printer.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPainter>
#include <QPen>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>
#include <clocale>
#include <ctime>

#include "app/text_helpers.h"
#include "result/print_layout.h"
#include "result/result_data.h"
#include "result/result_rows.h"

namespace korvane {
namespace {

constexpr double kReportPointSize = 9.0;

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// The printer's fonts as the layout asks for them. The widest character is
// taken over printable ASCII: a font's own maximum counts rare wide glyphs
// (DejaVu's is twice its "W"), which would spread the columns far apart.
class QtPrintMeasure : public PrintMeasure {
  public:
    explicit QtPrintMeasure(QPrinter& printer) : printer_(printer) {
        QFont base = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        base.setPointSizeF(kReportPointSize);
        // Names print letter for letter: no ligature turns "fi" into one glyph
        // that a reader of the file could not search for.
        base.setStyleStrategy(QFont::PreferNoShaping);
        base_ = base;
        plain_ = base;
        highlight_ = base;
    }

    int ColourCount() const override { return printer_.colorMode() == QPrinter::Color ? 1 << 24 : 2; }
    bool CanStyleText() const override { return true; }

    PrintTextMetrics Metrics(PrintFont font) const override {
        const QFontMetrics metrics(FontOf(font), &printer_);
        int widest = 0;
        for (char16_t c = 0x21; c < 0x7F; ++c)
            widest = std::max(widest, metrics.horizontalAdvance(QChar(c)));
        return PrintTextMetrics{metrics.height(), metrics.averageCharWidth(), widest};
    }

    int TextWidth(PrintFont font, std::string_view text) const override {
        return QFontMetrics(FontOf(font), &printer_).horizontalAdvance(FromUtf8(text));
    }

    void MakeFonts(int, int character_width) override {
        // The height stays the current font's; the width is reached by stretching it.
        QFont font = base_;
        const int average = QFontMetrics(font, &printer_).averageCharWidth();
        if (average > 0)
            font.setStretch(std::clamp(100 * character_width / average, 50, 200));
        plain_ = font;
        highlight_ = font;
        highlight_.setItalic(true);
        highlight_.setUnderline(true);
    }

    const QFont& FontOf(PrintFont font) const { return font == PrintFont::Highlight ? highlight_ : plain_; }

  private:
    QPrinter& printer_;
    QFont base_;
    QFont plain_;
    QFont highlight_;
};

QColor ColourOf(PrintColour colour) {
    switch (colour) {
        case PrintColour::RowText:
            return QColor(13, 0, 0);
        case PrintColour::CompressedText:
            return QColor(0, 0, 208);
        case PrintColour::Black:
            break;
    }
    return QColor(Qt::black);
}

PrintRect ToPrintRect(const QRect& rect) {
    return PrintRect{rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

// The printable area in the painter's coordinates, whose origin is its top-left corner.
QRect PrintableArea(QPrinter& printer) {
    const QRect paint = printer.pageLayout().paintRectPixels(printer.resolution());
    return QRect(0, 0, paint.width(), paint.height());
}

void Paint(const PrintPage& page, const QtPrintMeasure& measure, QPainter& painter, QPrinter& printer) {
    painter.save();
    QPen rule(Qt::black);
    rule.setWidth(std::max(1, printer.resolution() / 144));  // half a point
    painter.setPen(rule);
    for (const PrintRule& line : page.rules)
        painter.drawLine(line.left, line.y, line.right, line.y);
    for (const PrintText& text : page.texts) {
        const QFont& font = measure.FontOf(text.font);
        painter.setFont(font);
        painter.setPen(ColourOf(text.colour));
        const int ascent = QFontMetrics(font, &printer).ascent();
        painter.drawText(QPoint(text.x, text.y + ascent), FromUtf8(text.text));
    }
    painter.restore();
}

void PaintChart(const PrintPage& page, QPainter& painter, const ChartPainter& chart) {
    if (!page.chart || !chart)
        return;
    const PrintRect& body = *page.chart;
    painter.save();
    chart(painter, QRect(body.left, body.top, body.right - body.left, body.bottom - body.top));
    painter.restore();
}

std::string PrinterDescription(QPrinter& printer) {
    if (printer.outputFormat() == QPrinter::PdfFormat)
        return QFile::encodeName(printer.outputFileName()).toStdString();
    return printer.printerName().toStdString();
}

bool PrintAll(const ResultData& data, int display_mode, QPrinter& printer, Catalogue& catalogue,
              FolderTree& folders, std::string& error, const ChartPainter& chart) {
    if (data.row_count <= 0) {
        error = "No results to print.";
        return false;
    }
    // Opened before the job starts, so that no empty job or file is left
    // behind; one snapshot serves every page, each going on where the last stopped.
    ResultRows rows(catalogue);
    if (!rows.Open(data.result_name)) {
        error = FillTemplate("Could not read the results of query %s.", data.result_name);
        return false;
    }
    const std::string target = PrinterDescription(printer);
    QPainter painter;
    if (!painter.begin(&printer)) {
        error = printer.outputFormat() == QPrinter::PdfFormat
                    ? FillTemplate("Could not write to %s.", target)
                    : FillTemplate("Could not print on %s.", target);
        return false;
    }
    QtPrintMeasure measure(printer);
    const PrintLayout layout(data, display_mode, measure, ToPrintRect(PrintableArea(printer)));
    bool printed = true;
    const std::time_t now = std::time(nullptr);
    const int pages = layout.PageCount();
    for (int number = 1; number <= pages && printed; ++number) {
        if (number > 1)
            printed = printer.newPage();
        PrintPage page;
        printed = printed && layout.LayOutPage(number, now, rows, catalogue, folders, page);
        if (printed) {
            Paint(page, measure, painter, printer);
            PaintChart(page, painter, chart);
        }
    }
    rows.Close();
    const bool ended = painter.end();
    if (!printed || !ended) {
        error = printer.outputFormat() == QPrinter::PdfFormat
                    ? FillTemplate("Could not write to %s.", target)
                    : FillTemplate("Could not print on %s.", target);
        return false;
    }
    return true;
}

}  // namespace

std::string PrintFileOfPort(const std::string& port) {
    const std::string trimmed = Trimmed(port);
    if (StartsWithNoCase(trimmed, "FILE:"))
        return Trimmed(trimmed.substr(5));
    if (trimmed.find("://") != std::string::npos)
        return {};  // a device address such as ipp://host/printers/laser
    if (trimmed.find('/') != std::string::npos)
        return trimmed;
    if (trimmed.size() > 4 && EqualsNoCase(std::string_view(trimmed).substr(trimmed.size() - 4), ".pdf"))
        return trimmed;
    return {};
}

bool SetUpPrinter(QPrinter& printer, const std::string&, const std::string& device, const std::string& port,
                  std::string& error) {
    const std::string file = PrintFileOfPort(port);
    if (!file.empty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QFile::decodeName(QByteArray::fromStdString(file)));
        printer.setColorMode(QPrinter::Color);
        return true;
    }
    if (StartsWithNoCase(Trimmed(port), "FILE:")) {
        error = "The printer port FILE: names no file to print to.";
        return false;
    }
    const std::string name = Trimmed(device);
    const QPrinterInfo info =
        name.empty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo::printerInfo(FromUtf8(name));
    if (info.isNull()) {
        error = name.empty() ? std::string("There is no default printer.")
                             : FillTemplate("Printer %s not found.", name);
        return false;
    }
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setPrinterName(info.printerName());
    if (!printer.isValid()) {
        error = FillTemplate("Could not open printer %s.", name);
        return false;
    }
    printer.setColorMode(info.defaultColorMode() == QPrinter::GrayScale ? QPrinter::GrayScale
                                                                        : QPrinter::Color);
    return true;
}

int CountPrintPages(const ResultDocument& document, QPrinter& printer) {
    const QtPrintMeasure measure(printer);
    return CountPrintPages(document.data, document.display_mode, measure,
                           ToPrintRect(PrintableArea(printer)));
}

bool PrintResultPage(const ResultDocument& document, QPainter& painter, QPrinter& printer, const QRect& page,
                     int page_number, Catalogue& catalogue, FolderTree& folders, const ChartPainter& chart) {
    QtPrintMeasure measure(printer);
    const PrintLayout layout(document.data, document.display_mode, measure, ToPrintRect(page));
    PrintPage laid_out;
    if (!layout.LayOutPage(page_number, std::time(nullptr), catalogue, folders, laid_out))
        return false;
    Paint(laid_out, measure, painter, printer);
    PaintChart(laid_out, painter, chart);
    return true;
}

bool PrintResultDocument(const ResultDocument& document, QPrinter& printer, Catalogue& catalogue,
                         FolderTree& folders, std::string& error, const ChartPainter& chart) {
    return PrintAll(document.data, document.display_mode, printer, catalogue, folders, error, chart);
}

QtResultPrintService::QtResultPrintService() = default;
QtResultPrintService::~QtResultPrintService() = default;

bool QtResultPrintService::EnsureApplication(std::string& error) {
    if (QCoreApplication::instance() != nullptr) {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr)
            return true;
        error = "Printing needs a graphical application object, and this program made another kind.";
        return false;
    }
    // The application sets the C library's locale from the environment;
    // the rest of the run keeps the one it had.
    const char* current = std::setlocale(LC_ALL, nullptr);
    const std::string locale = current != nullptr ? current : "C";
    application_ = std::make_unique<QGuiApplication>(argc_, argv_);
    std::setlocale(LC_ALL, locale.c_str());
    return true;
}

bool QtResultPrintService::PrintResult(const ResultDocument& document, const std::string& document_name,
                                       const std::string& driver, const std::string& device,
                                       const std::string& port, Catalogue& catalogue, FolderTree& folders,
                                       std::string& error) {
    if (document.data.row_count <= 0) {
        error = "No results to print.";
        return false;
    }
    if (!EnsureApplication(error))
        return false;
    QPrinter printer(QPrinter::HighResolution);
    if (!SetUpPrinter(printer, driver, device, port, error))
        return false;
    printer.setDocName(FromUtf8(DisplayText(document_name)));
    printer.setCreator(QStringLiteral("Korvane"));
    return PrintAll(document.data, kDisplayReport, printer, catalogue, folders, error, {});
}

}  // namespace korvane
