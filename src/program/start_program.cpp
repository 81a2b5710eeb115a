#include "program/start_program.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <cstdio>
#include <filesystem>

#include "app/event_log.h"
#include "app/text_helpers.h"
#include "catalogue/pg_connection.h"
#include "catalogue/schema.h"

namespace korvane {
namespace {

// A fresh installation folder gets its settings and an empty catalogue.
bool PrepareInstallation(ProgramState& state) {
    bool fresh = false;
    if (!PrepareInstallFolder(state.paths, fresh)) return false;
    const std::string database = ReadProgramOptions(state.paths.settings_path).database;
    std::error_code ignored;
    // A catalogue on a server is made when it is first opened.
    if (fresh && !database.empty() && !IsPostgresUri(database) && !std::filesystem::exists(database, ignored)) {
        std::string error;
        if (!CreateEmptyCatalogue(database, error)) {
            WriteEvent(state.paths.event_log_path, "Korvane", "Error", "Cannot create the catalogue: " + error);
        }
    }
    return true;
}

void SayOnStandardError(const std::string& text) {
    std::fprintf(stderr, "korvane: %s\n", text.c_str());
}

// Opens the file for appending (creating it) without writing anything.
bool CanAppendTo(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    ::close(fd);
    return true;
}

}  // namespace

bool LoadCatalogueState(ProgramState& state) {
    if (!state.catalogue.OpenCatalogueTables()) return false;
    state.catalogue.ReadIdCounters(state.counters);
    state.tree.LoadFolderTree(state.catalogue);
    state.catalogue.CloseCatalogueTables();
    return true;
}

StartResult StartProgram(ProgramState& state, const std::vector<std::string>& arguments, SingleInstanceLock& lock,
                         const std::string& lock_path, const ScriptRunner& run_script) {
    const RunRequest request = DecideRunMode(arguments);
    const bool script_run = request.mode == RunMode::Script;
    const auto folder = InstallFolder();
    state.paths = InstallPathsOf(folder.value_or("/"));

    if (!lock.Acquire(lock_path)) {
        WriteEvent(state.paths.event_log_path, "Korvane", "Warning", "Only one instance allowed.");
        if (script_run) SayOnStandardError("Only one instance allowed.");
        return {StartOutcome::End, kExitAnotherInstance, request};
    }
    if (folder) {
        if (!PrepareInstallation(state) && script_run) {
            SayOnStandardError("The installation folder " + state.paths.folder + " cannot be used.");
            return {StartOutcome::End, kExitCannotStart, request};
        }
        // Relative paths in scripts and settings mean the installation folder.
        if (::chdir(state.paths.folder.c_str()) != 0) {
            WriteEvent(state.paths.event_log_path, "Korvane", "Warning", "Cannot enter " + state.paths.folder);
        }
    }

    state.options = ReadProgramOptions(state.paths.settings_path);
    state.netware = std::make_unique<NetWareLayer>(state.options.netware_client);
    state.database_path = state.options.database;
    if (!state.catalogue.OpenCatalogue(state.database_path)) {
        const std::string text = FillTemplate(kInvalidDatabaseMessage, state.database_path);
        // Nobody sees a message box in an unattended run: the log keeps it.
        if (script_run) {
            WriteEvent(state.paths.event_log_path, "Korvane", "Error", text);
            const std::string& reason = state.catalogue.last_error();
            SayOnStandardError(FillTemplate("The catalogue '%s' cannot be used", state.database_path) +
                               (reason.empty() ? "." : ": " + reason));
        }
        state.ui.ShowMessage(text, MessageIcon::Exclamation, MessageButtons::Ok);
        return {StartOutcome::End, kExitCannotStart, request};
    }

    if (!script_run) return {StartOutcome::OpenWindows, kExitSuccess, request};

    // Every outcome of a script run is told only in the event log.
    std::string log_error;
    if (!CanAppendTo(state.paths.event_log_path, log_error)) {
        SayOnStandardError("The event log " + state.paths.event_log_path + " cannot be written: " + log_error);
        state.catalogue.CloseCatalogue();
        return {StartOutcome::End, kExitCannotStart, request};
    }
    state.interactive = false;
    LoadCatalogueState(state);
    const int status = run_script ? run_script(state, request.path) : kExitScriptUnreadable;
    EndProgram(state);
    return {StartOutcome::End, status, request};
}

void EndProgram(ProgramState& state) {
    if (state.catalogue.IsOpen() && state.catalogue.OpenCatalogueTables()) {
        state.catalogue.WriteIdCounters(state.counters);
        state.catalogue.CloseCatalogueTables();
    }
    state.tree.FreeFolderTree();
    if (state.catalogue.IsOpen()) state.catalogue.CloseCatalogue();
}

}  // namespace korvane
