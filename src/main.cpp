// korvane: an unattended script run needs no display and no Qt application;
// every other mode opens the windows.
#include <string>
#include <vector>

#include "platform/runtime_folder.h"
#include "program/start_program.h"
#include "schedule/script/script_interpreter.h"

#ifdef KORVANE_WITH_WINDOWS
#include "ui/result_printer.h"
#include "ui/windowed_main.h"
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
    return korvane::RunWithWindows(argc, argv, arguments, lock, lock_path);
#else
    return 1;
#endif
}
