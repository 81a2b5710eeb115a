// The printer a script's Print line names: driver, device and port as the
// print service of the script run reads them back (SetUpPrinter).
#pragma once

#include <string>

class QPrinter;

namespace korvane {

struct PrinterNames {
    std::string driver;
    std::string device;
    std::string port;
};

// A printer that writes a file gives driver "PDF", no device and the port
// "FILE:" with the file; a printer of the system gives its make and model
// (or "CUPS"), its name, and its name again as the port.
PrinterNames PrinterNamesOf(const QPrinter& printer);

}  // namespace korvane
