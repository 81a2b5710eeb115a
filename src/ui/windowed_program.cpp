#include "ui/windowed_program.h"

#include <QApplication>
#include <QPrinter>
#include <cstdlib>
#include <memory>

#include "app/event_log.h"
#include "app/settings.h"
#include "app/text_helpers.h"
#include "ui/about_box.h"
#include "ui/icons.h"
#include "ui/frame/open_request_receiver.h"
#include "ui/main_frame.h"
#include "ui/qt_user_interface.h"
#include "ui/result_printer.h"
#include "ui/server/catalogue_server_watch.h"

namespace korvane {

bool SetUpPrintRunPrinter(QPrinter& printer, std::string& error) {
    const char* named = std::getenv("PRINTER");
    const std::string printer_variable = named != nullptr ? named : "";
    // A name that is no file is a printer of the system, as for the print commands.
    const std::string device = PrintFileOfPort(printer_variable).empty() ? printer_variable : std::string();
    return SetUpPrinter(printer, "", device, printer_variable, error);
}

int RunWindowedProgram(int& argc, char** argv, WindowedStart& start) {
    std::unique_ptr<QApplication> application;
    if (QApplication::instance() == nullptr)
        application = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvane"));
    QApplication::setApplicationVersion(QString::fromLatin1(kProgramVersion));
    QApplication::setDesktopFileName(QStringLiteral("korvane"));
    QApplication::setWindowIcon(ApplicationIcon());
    QtUserInterface own_ui;
    QtUserInterface& ui = start.ui != nullptr ? *start.ui : own_ui;

    {
        const auto status =
            ui.ShowStatus("Please wait", "Initializing...", "Reading folders into memory...", "", "");
        if (start.load_folder_tree && !start.load_folder_tree())
            return 1;
    }

    CMainFrame frame(start, ui);
    ui.SetMainWindow(&frame);
    // On a server: a lost connection is offered again, other programs' builds are shown.
    const std::unique_ptr<CatalogueServerWatch> server_watch =
        start.state != nullptr && start.request.mode != RunMode::Print
            ? WatchServerCatalogue(*start.state, frame)
            : nullptr;
    frame.showMaximized();
    QApplication::processEvents();

    int code = 0;
    if (start.request.mode == RunMode::Print) {
        // Nobody is there to answer a box: messages go to the event log.
        ui.SetUnattended(start.paths.event_log_path);
        QPrinter printer(QPrinter::HighResolution);
        std::string error;
        if (!SetUpPrintRunPrinter(printer, error)) {
            WriteEvent(start.paths.event_log_path, "Korvane", "Error",
                       "No printer is available to print " + start.request.path + ": " + error);
            code = 1;
        } else {
            printer.setDocName(QString::fromStdString(DisplayText(DocumentTitleOfPath(start.request.path))));
            printer.setCreator(QStringLiteral("Korvane"));
            code = frame.PrintRun(start.request.path, printer) ? 0 : 1;
        }
    } else {
        OpenRequestReceiver open_requests(frame);
        if (!start.open_request_socket.empty())
            open_requests.Listen(start.open_request_socket);
        if (start.request.mode == RunMode::Open) {
            frame.OpenDocumentFile(start.request.path);
        } else {
            frame.ReopenProjectList();
            if (start.select_first_volumes && ReadSelectedDrive(start.paths.settings_path).empty() &&
                start.select_first_volumes(frame, ui)) {
                frame.RefreshResults();
            }
        }
        code = QApplication::exec();
    }
    if (start.write_id_counters)
        start.write_id_counters();
    ui.SetMainWindow(nullptr);
    return code;
}

}  // namespace korvane
