// What makes a document and its window for each registered type. The main
// window keeps one template per type, in registration order.
#pragma once

#include <functional>
#include <memory>

#include "ui/document.h"
#include "ui/document_frame.h"

namespace korvane {

class UserInterface;
struct WindowedStart;

struct DocumentTemplate {
    const DocumentType* type;
    std::function<std::unique_ptr<WindowDocument>()> make_document;
    // The frame is made for a document that has been opened.
    std::function<DocumentFrame*(WindowDocument&)> make_frame;
};

// Query, result and schedule, in that order. The documents talk to the
// person through ui and find their installation and scheduler in start.
std::vector<DocumentTemplate> StandardDocumentTemplates(WindowedStart& start, UserInterface& ui);

}  // namespace korvane
