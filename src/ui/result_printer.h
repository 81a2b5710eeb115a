// Printing a result with QPainter on a QPrinter: the page layout of the core
// (result/print_layout.h) measured with the printer's fonts and drawn. The
// result view's print and print preview use CountPrintPages and
// PrintResultPage; the script's print command goes through
// QtResultPrintService, which also serves a run that has no windows.
#pragma once

#include <QRect>
#include <functional>
#include <memory>
#include <string>

#include "result/result_printing.h"

class QGuiApplication;
class QPainter;
class QPrinter;

namespace korvane {

// Draws a graph-mode result's chart into the body of its page.
using ChartPainter = std::function<void(QPainter& painter, const QRect& body)>;

// The file a printer port names: the path after "FILE:" (any case), or the
// port itself when it holds a "/" or ends in ".pdf"; empty for every other
// port (a device port such as "LPT1:" or "ipp://host/printers/laser").
// Blanks around it are dropped.
std::string PrintFileOfPort(const std::string& port);

// Sets up printer for the names a script gives. A port naming a file makes
// it a PDF writer for that file in colour; otherwise device must name a
// printer of the system (an empty device: the default printer). The driver
// name is not needed here: the print system knows each printer's driver.
// False, with error saying why, when no printer fits.
bool SetUpPrinter(QPrinter& printer, const std::string& driver, const std::string& device,
                  const std::string& port, std::string& error);

// The pages the result takes on this printer (1 in graph modes).
int CountPrintPages(const ResultDocument& document, QPrinter& printer);

// Draws page page_number (from 1) of the result with painter, which is
// active on printer, into page (the printable area in the painter's
// coordinates). Graph modes leave the body to chart. False, with nothing
// drawn, when the result has no rows or its stored query cannot be read.
bool PrintResultPage(const ResultDocument& document, QPainter& painter, QPrinter& printer, const QRect& page,
                     int page_number, Catalogue& catalogue, FolderTree& folders,
                     const ChartPainter& chart = {});

// Prints every page on a printer that is set up, as one job. Nothing is
// started when the result has no rows or its stored query cannot be read.
bool PrintResultDocument(const ResultDocument& document, QPrinter& printer, Catalogue& catalogue,
                         FolderTree& folders, std::string& error, const ChartPainter& chart = {});

// The script's printing. Without a Qt application in the process it makes a
// QGuiApplication of its own on the offscreen platform on first use (the
// printers need no display) and keeps it until it ends; the C library's
// locale is left as it was.
class QtResultPrintService : public ResultPrintService {
  public:
    QtResultPrintService();
    ~QtResultPrintService() override;
    QtResultPrintService(const QtResultPrintService&) = delete;
    QtResultPrintService& operator=(const QtResultPrintService&) = delete;

    bool PrintResult(const ResultDocument& document, const std::string& document_name,
                     const std::string& driver, const std::string& device, const std::string& port,
                     Catalogue& catalogue, FolderTree& folders, std::string& error) override;

  private:
    bool EnsureApplication(std::string& error);

    int argc_ = 3;
    char name_[8] = "korvane";
    char platform_option_[10] = "-platform";
    char platform_[10] = "offscreen";
    char* argv_[4] = {name_, platform_option_, platform_, nullptr};
    std::unique_ptr<QGuiApplication> application_;
};

}  // namespace korvane
