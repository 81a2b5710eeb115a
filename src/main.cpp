// korvane: an unattended script run needs no display and no Qt application;
// every other mode opens the windows.
#include <string>
#include <vector>

#include "platform/runtime_folder.h"
#include "program/start_program.h"
#include "schedule/script/script_interpreter.h"

#ifdef KORVANE_WITH_WINDOWS
#include <QApplication>

#include "program/catalogue_upkeep.h"
#include "ui/qt_user_interface.h"
#include "ui/result_printer.h"
#include "ui/windowed_program.h"
#endif

namespace {

int RunUnattended(const std::vector<std::string>& arguments, korvane::SingleInstanceLock& lock,
                  const std::string& lock_path) {
    korvane::SilentUserInterface silent;
    korvane::ProgramState state(silent);
#ifdef KORVANE_WITH_WINDOWS
    // Prints on the offscreen platform: no display is needed.
    korvane::QtResultPrintService printer;
    state.printer = &printer;
#endif
    const auto run = [](korvane::ProgramState& program, const std::string& script) {
        return korvane::RunScriptForExitStatus(program, script);
    };
    return korvane::StartProgram(state, arguments, lock, lock_path, run).exit_code;
}

#ifdef KORVANE_WITH_WINDOWS
int RunWithWindows(int& argc, char** argv, const std::vector<std::string>& arguments,
                   korvane::SingleInstanceLock& lock, const std::string& lock_path) {
    QApplication application(argc, argv);
    korvane::QtUserInterface ui;
    korvane::ProgramState state(ui);
    const korvane::StartResult started = korvane::StartProgram(state, arguments, lock, lock_path, nullptr);
    if (started.outcome == korvane::StartOutcome::End) return started.exit_code;
    state.interactive = true;

    korvane::WindowedStart start;
    start.ui = &ui;
    start.state = &state;
    start.request = started.request;
    start.paths = state.paths;
    start.options = state.options;
    start.folders = &state.tree;
    start.load_folder_tree = [&state] { return korvane::LoadCatalogueState(state); };
    start.upkeep.compact = [&state] { return korvane::CompactOpenCatalogue(state); };
    start.upkeep.repair = [&state](std::string& report) {
        return korvane::RepairOpenCatalogue(state, report);
    };
    start.upkeep.empty = [&state] { return korvane::EmptyOpenCatalogue(state); };
    start.options_changed = [&state](const korvane::ProgramOptions& options) {
        state.options.display_sql = options.display_sql;
        state.options.graph_items = options.graph_items;
        state.options.smtp_server = options.smtp_server;
        state.options.sender_name = options.sender_name;
        state.options.email_address = options.email_address;
    };
    start.write_id_counters = [&state] { korvane::EndProgram(state); };
    return korvane::RunWindowedProgram(argc, argv, start);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    // Before Qt starts: without a session's runtime folder it would warn and pick its own.
    korvane::ExportRuntimeFolder();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    korvane::SingleInstanceLock lock;
    const std::string lock_path = korvane::DefaultInstanceLockPath();
    if (korvane::DecideRunMode(arguments).mode == korvane::RunMode::Script) {
        return RunUnattended(arguments, lock, lock_path);
    }
#ifdef KORVANE_WITH_WINDOWS
    return RunWithWindows(argc, argv, arguments, lock, lock_path);
#else
    return 1;
#endif
}
