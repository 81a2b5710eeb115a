#include "ui/document_templates.h"

#include "actions/file_actions.h"
#include "owners/owner_resolver.h"
#include "program/program_state.h"
#include "ui/query_frame.h"
#include "ui/result/graph_pane.h"
#include "ui/result/result_frame.h"
#include "ui/schedule_frame.h"

namespace korvane {

namespace {

// What the result windows' file actions work with, for as long as the templates live.
struct FileActionServices {
    explicit FileActionServices(ProgramState& state)
        : context{state.catalogue,           state.tree, state.counters, state.ui, owners, {},
                  state.paths.event_log_path} {}
    OwnerResolver owners;
    FileActionContext context;
};

}  // namespace

std::vector<DocumentTemplate> StandardDocumentTemplates(ProgramState* state) {
    ResultContext results;
    if (state != nullptr) {
        results.catalogue = &state->catalogue;
        results.folders = &state->tree;
        results.options = &state->options;
        auto services = std::make_shared<FileActionServices>(*state);
        results.file_actions = std::shared_ptr<FileActionContext>(services, &services->context);
    }
    results.make_graph_pane = MakeGraphViewPane;
    std::vector<DocumentTemplate> templates;
    templates.push_back({&DocumentTypeOf(DocumentKind::Query),
                         [] { return std::make_unique<QueryWindowDocument>(); },
                         [](WindowDocument& document) -> DocumentFrame* {
                             return new CQueryFrame(static_cast<QueryWindowDocument&>(document));
                         }});
    templates.push_back({&DocumentTypeOf(DocumentKind::Result),
                         [results] { return std::make_unique<ResultWindowDocument>(results); },
                         [](WindowDocument& document) -> DocumentFrame* {
                             return new CResultFrame(static_cast<ResultWindowDocument&>(document));
                         }});
    templates.push_back({&DocumentTypeOf(DocumentKind::Schedule),
                         [] { return std::make_unique<ScheduleWindowDocument>(); },
                         [](WindowDocument& document) -> DocumentFrame* {
                             return new CScheduleFrame(static_cast<ScheduleWindowDocument&>(document));
                         }});
    return templates;
}

}  // namespace korvane
