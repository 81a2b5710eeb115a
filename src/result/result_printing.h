// How the core has a result printed without knowing the printer: the
// windowed build passes an implementation that draws on the system's
// printers (src/ui/result_printer.h); a build without one cannot print.
#pragma once

#include <string>

namespace korvane {

class Catalogue;
class FolderTree;
struct ResultDocument;

class ResultPrintService {
  public:
    virtual ~ResultPrintService() = default;

    // Prints the result's rows as a report, whatever its display mode, as a
    // print job named document_name on the printer that driver, device and
    // port name. A port naming a file ("FILE:" and a path, or a path) prints
    // to a PDF file there; any other port prints on the system printer
    // called device. The rows are read afresh from the stored query of the
    // result's name. False, with error saying why, when the result has no
    // rows, the printer cannot be opened, or the job could not be written.
    virtual bool PrintResult(const ResultDocument& document, const std::string& document_name,
                             const std::string& driver, const std::string& device, const std::string& port,
                             Catalogue& catalogue, FolderTree& folders, std::string& error) = 0;
};

}  // namespace korvane
