// What makes a document and its window for each registered type. The main
// window keeps one template per type, in registration order.
#pragma once

#include <functional>
#include <memory>

#include "ui/document.h"
#include "ui/document_frame.h"

namespace korvane {

struct ProgramState;

struct DocumentTemplate {
    const DocumentType* type;
    std::function<std::unique_ptr<WindowDocument>()> make_document;
    // The frame is made for a document that has been opened.
    std::function<DocumentFrame*(WindowDocument&)> make_frame;
};

// Query, result and schedule, in that order. The documents read and run
// with the program's catalogue and folder tree; without a state they open
// and save their files only.
std::vector<DocumentTemplate> StandardDocumentTemplates(ProgramState* state = nullptr);

}  // namespace korvane
