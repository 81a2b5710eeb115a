#include "ui/document_templates.h"

#include "ui/query/query_frame.h"
#include "ui/result_frame.h"
#include "ui/schedule/schedule_frame.h"
#include "ui/windowed_program.h"

namespace korvane {
namespace {

std::shared_ptr<ScheduleWindowContext> ScheduleContextOf(WindowedStart& start, UserInterface& ui) {
    return std::make_shared<ScheduleWindowContext>(
        ScheduleWindowContext{ui, start.paths.folder, start.program_path, start.scheduler_link, {}});
}

}  // namespace

std::vector<DocumentTemplate> StandardDocumentTemplates(WindowedStart& start, UserInterface& ui,
                                                        const DocumentServices& services) {
    std::vector<DocumentTemplate> templates;
    const QueryDocumentContext query_context{services.folders, services.database_path,
                                             services.open_documents};
    templates.push_back({&DocumentTypeOf(DocumentKind::Query),
                         [query_context] { return std::make_unique<CQueryDoc>(query_context); },
                         [](WindowDocument& document) -> DocumentFrame* {
                             return new CQueryFrame(static_cast<CQueryDoc&>(document));
                         }});
    templates.push_back({&DocumentTypeOf(DocumentKind::Result),
                         [] { return std::make_unique<ResultWindowDocument>(); },
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
