#include "ui/schedule/printer_names.h"

#include <QFile>
#include <QPrinter>
#include <QPrinterInfo>

namespace korvane {

PrinterNames PrinterNamesOf(const QPrinter& printer) {
    PrinterNames names;
    if (printer.outputFormat() == QPrinter::PdfFormat || printer.printerName().isEmpty()) {
        names.driver = "PDF";
        names.port = "FILE:" + QFile::encodeName(printer.outputFileName()).toStdString();
        return names;
    }
    const QPrinterInfo info(printer);
    names.driver = info.makeAndModel().isEmpty() ? "CUPS" : info.makeAndModel().toStdString();
    names.device = printer.printerName().toStdString();
    names.port = names.device;
    return names;
}

}  // namespace korvane
