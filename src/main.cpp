// korvane: an unattended script run needs no display and no Qt application;
// every other mode opens the windows.
#include <string>
#include <vector>

#include "app/program/start_program.h"
#include "schedule/script/script_interpreter.h"

#ifdef KORVANE_WITH_WINDOWS
#include "ui/windowed_program.h"
#endif

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const korvane::RunRequest request = korvane::DecideRunMode(arguments);
    korvane::SingleInstanceLock lock;
    const std::string lock_path = korvane::DefaultInstanceLockPath();

    if (request.mode == korvane::RunMode::Script) {
        korvane::SilentUserInterface silent;
        korvane::ProgramState state(silent);
        const auto run = [](korvane::ProgramState& program, const std::string& script) {
            return korvane::RunScript(program, script);
        };
        return korvane::StartProgram(state, arguments, lock, lock_path, run).exit_code;
    }
#ifdef KORVANE_WITH_WINDOWS
    return korvane::RunWindowedProgram(argc, argv, arguments, lock, lock_path);
#else
    return 1;
#endif
}
