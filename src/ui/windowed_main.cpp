#include "ui/windowed_main.h"

#include <QApplication>
#include <memory>

#include "platform/open_request_channel.h"
#include "program/catalogue_upkeep.h"
#include "program/start_program.h"
#include "ui/main_frame.h"
#include "ui/qt_user_interface.h"
#include "ui/volumes/select_volume_dialog.h"
#include "ui/windowed_program.h"

namespace korvane {

int RunWithWindows(int& argc, char** argv, const std::vector<std::string>& arguments,
                   SingleInstanceLock& lock, const std::string& lock_path) {
    std::unique_ptr<QApplication> application;
    if (QApplication::instance() == nullptr)
        application = std::make_unique<QApplication>(argc, argv);
    const std::string open_socket = OpenRequestSocketPath(lock_path);
    if (const RunRequest request = DecideRunMode(arguments); request.mode == RunMode::Open) {
        // A running instance opens the document in its window.
        switch (SendOpenRequest(open_socket, request.path)) {
            case OpenRequestAnswer::Opened:
            case OpenRequestAnswer::Queued:
                return 0;
            case OpenRequestAnswer::Failed:
                return 1;
            case OpenRequestAnswer::NoInstance:
                break;
        }
    }
    QtUserInterface ui;
    ProgramState state(ui);
    const StartResult started = StartProgram(state, arguments, lock, lock_path, nullptr);
    if (started.outcome == StartOutcome::End)
        return started.exit_code;
    state.interactive = true;

    WindowedStart start;
    start.ui = &ui;
    start.state = &state;
    start.folders = &state.tree;
    start.request = started.request;
    start.open_request_socket = open_socket;
    start.paths = state.paths;
    start.options = state.options;
    start.load_folder_tree = [&state] { return LoadCatalogueState(state); };
    start.upkeep.compact = [&state] { return CompactOpenCatalogue(state); };
    start.upkeep.repair = [&state](std::string& report) { return RepairOpenCatalogue(state, report); };
    start.upkeep.empty = [&state] { return EmptyOpenCatalogue(state); };
    start.options_changed = [&state](const ProgramOptions& options) {
        state.options.display_sql = options.display_sql;
        state.options.graph_items = options.graph_items;
        state.options.smtp_server = options.smtp_server;
        state.options.sender_name = options.sender_name;
        state.options.email_address = options.email_address;
    };
    start.write_id_counters = [&state] { EndProgram(state); };
    start.select_first_volumes = [&state](CMainFrame& frame, UserInterface&) {
        return SelectVolumesAndBuild(state, &frame);
    };
    start.pick_volumes = [&state](QWidget* parent) { return PickVolumeList(state, parent); };
    return RunWindowedProgram(argc, argv, start);
}

}  // namespace korvane
