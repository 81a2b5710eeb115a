#include "ui/document_templates.h"

#include "program/program_state.h"
#include "ui/query_frame.h"
#include "ui/result/result_frame.h"
#include "ui/result/result_graph_binding.h"
#include "ui/schedule_frame.h"

namespace korvane {

std::vector<DocumentTemplate> StandardDocumentTemplates(ProgramState* state) {
    ResultContext results;
    if (state != nullptr) {
        results.catalogue = &state->catalogue;
        results.folders = &state->tree;
        results.options = &state->options;
        results.counters = &state->counters;
        results.event_log_path = state->paths.event_log_path;
        results.make_graph_pane = GraphViewPaneFactory();
    }
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
