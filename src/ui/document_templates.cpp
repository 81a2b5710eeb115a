#include "ui/document_templates.h"

#include "actions/netware_routes.h"
#include "program/program_state.h"
#include "ui/query/query_frame.h"
#include "ui/result/result_frame.h"
#include "ui/result/result_graph_binding.h"
#include "ui/schedule/schedule_frame.h"
#include "ui/windowed_program.h"

namespace korvane {
namespace {

std::shared_ptr<ScheduleWindowContext> ScheduleContextOf(WindowedStart& start, UserInterface& ui) {
    return std::make_shared<ScheduleWindowContext>(ScheduleWindowContext{
        ui, start.paths.folder, start.program_path, start.scheduler_link, {}, start.pick_volumes});
}

ResultContext ResultContextOf(ProgramState* state, FolderTree* folders) {
    ResultContext results;
    results.folders = folders;
    if (state != nullptr) {
        results.catalogue = &state->catalogue;
        results.folders = &state->tree;
        results.options = &state->options;
        results.counters = &state->counters;
        results.event_log_path = state->paths.event_log_path;
        results.make_graph_pane = GraphViewPaneFactory();
        if (state->netware)
            results.netware = NetWareRoutesThrough(*state->netware);
    }
    return results;
}

}  // namespace

std::vector<DocumentTemplate> StandardDocumentTemplates(WindowedStart& start, UserInterface& ui,
                                                        const DocumentServices& services) {
    ResultContext results = ResultContextOf(start.state, services.folders);
    results.open_documents = services.open_documents;
    std::vector<DocumentTemplate> templates;
    const QueryDocumentContext query_context{services.folders, services.database_path,
                                             services.open_documents};
    templates.push_back({&DocumentTypeOf(DocumentKind::Query),
                         [query_context] { return std::make_unique<CQueryDoc>(query_context); },
                         [](WindowDocument& document) -> DocumentFrame* {
                             return new CQueryFrame(static_cast<CQueryDoc&>(document));
                         }});
    templates.push_back({&DocumentTypeOf(DocumentKind::Result),
                         [results] { return std::make_unique<ResultWindowDocument>(results); },
                         [](WindowDocument& document) -> DocumentFrame* {
                             return new CResultFrame(static_cast<ResultWindowDocument&>(document));
                         }});
    templates.push_back({&DocumentTypeOf(DocumentKind::Schedule),
                         [schedules = ScheduleContextOf(start, ui)] {
                             return std::make_unique<ScheduleWindowDocument>(schedules);
                         },
                         [](WindowDocument& document) -> DocumentFrame* {
                             return new CScheduleFrame(static_cast<ScheduleWindowDocument&>(document));
                         }});
    return templates;
}

}  // namespace korvane
