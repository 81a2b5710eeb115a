#include "ui/document_templates.h"

#include "ui/query_frame.h"
#include "ui/result_frame.h"
#include "ui/schedule_frame.h"

namespace korvane {

std::vector<DocumentTemplate> StandardDocumentTemplates() {
    std::vector<DocumentTemplate> templates;
    templates.push_back({&DocumentTypeOf(DocumentKind::Query),
                         [] { return std::make_unique<QueryDocument>(); },
                         [](Document& document) -> DocumentFrame* {
                             return new CQueryFrame(static_cast<QueryDocument&>(document));
                         }});
    templates.push_back({&DocumentTypeOf(DocumentKind::Result),
                         [] { return std::make_unique<ResultDocument>(); },
                         [](Document& document) -> DocumentFrame* {
                             return new CResultFrame(static_cast<ResultDocument&>(document));
                         }});
    templates.push_back({&DocumentTypeOf(DocumentKind::Schedule),
                         [] { return std::make_unique<ScheduleDocument>(); },
                         [](Document& document) -> DocumentFrame* {
                             return new CScheduleFrame(static_cast<ScheduleDocument&>(document));
                         }});
    return templates;
}

}  // namespace korvane
