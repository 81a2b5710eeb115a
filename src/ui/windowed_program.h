// The windowed program: what main hands over once the catalogue is open,
// and the one call that runs the interactive, open and print modes.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/settings.h"
#include "app/user_interface.h"
#include "schedule/scheduler_link.h"
#include "ui/options_dialog.h"

class QPrinter;
class QWidget;

namespace korvane {

class CMainFrame;
class FolderTree;
class QtUserInterface;
struct ProgramState;

struct WindowedStart {
    // Interactive, Open or Print, with the document of the last two.
    RunRequest request;
    InstallPaths paths;
    // The settings read at start. The Options dialog updates the display
    // and mail settings in place; the database path stays the one in use.
    ProgramOptions options;
    // The korvane executable a schedule's job starts (empty: this program)
    // and the scheduler the schedule windows talk to.
    std::string program_path;
    SchedulerLinkOptions scheduler_link;
    // The splash and, after it, the tip of the day.
    bool show_splash = true;
    // The interface the core already talks through; the main window becomes
    // the owner of its message boxes and progress windows. Without one the
    // windowed program makes its own.
    QtUserInterface* ui = nullptr;
    // The catalogue's folder tree the documents look paths up in; none in
    // a start without a catalogue.
    FolderTree* folders = nullptr;
    // The catalogue, folder tree and settings the result documents work
    // with; none leaves them to their files.
    ProgramState* state = nullptr;

    // Reads the ID counters and every folder into memory (opening and
    // closing the catalogue tables around it). Called while the status
    // window "Please wait" is painted. False ends the program; the callback
    // has told the person why.
    std::function<bool()> load_folder_tree;
    // The Options dialog's catalogue buttons.
    CatalogueUpkeep upkeep;
    // The Options dialog's OK: the display settings take effect at once.
    std::function<void(const ProgramOptions&)> options_changed;
    // At the end of every windowed run: writes the ID counters back to the
    // catalogue (the tables are opened and closed inside).
    std::function<void()> write_id_counters;
    // A first run (Selected Drive empty) shows the volume selection with
    // building on. True when the person confirmed and the catalogue was
    // built. Left empty, nothing is shown.
    std::function<bool(CMainFrame& frame, UserInterface& ui)> select_first_volumes;
    // The volume selection in pick mode (a schedule's Scan line): the volume
    // list text chosen, none when cancelled. Left empty, Scan lines are typed.
    std::function<std::optional<std::string>(QWidget* parent)> pick_volumes;
    // Where a second start hands its /OPEN document over; empty: not listened for.
    std::string open_request_socket;
};

// The printer of a print run: the PDF file that the environment variable
// PRINTER names when it is a file ("FILE:" and a path, a path, a name
// ending in ".pdf"), the system printer it names otherwise, else the
// default printer. False, with error saying why, when there is none.
bool SetUpPrintRunPrinter(QPrinter& printer, std::string& error);

// Runs the windowed start and end: the status window while the folders
// load, the main window with its documents, the message loop, and the ID
// counters written at the end. Makes the QApplication unless one exists.
// Returns the program's exit code.
int RunWindowedProgram(int& argc, char** argv, WindowedStart& start);

}  // namespace korvane
