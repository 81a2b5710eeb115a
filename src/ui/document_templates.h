// What makes a document and its window for each registered type. The main
// window keeps one template per type, in registration order.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/document.h"
#include "ui/document_frame.h"

namespace korvane {

class UserInterface;
struct ProgramState;
struct WindowedStart;

struct DocumentTemplate {
    const DocumentType* type;
    std::function<std::unique_ptr<WindowDocument>()> make_document;
    // The frame is made for a document that has been opened.
    std::function<DocumentFrame*(WindowDocument&)> make_frame;
};

class FolderTree;

// What the documents are given by the main window.
struct DocumentServices {
    FolderTree* folders = nullptr;  // the catalogue's folder tree; none without a catalogue
    std::string database_path;      // the catalogue in use
    std::function<std::vector<WindowDocument*>()> open_documents;
};

// Query, result and schedule, in that order. The documents talk to the
// person through ui and find their installation and scheduler in start;
// results read and run with start.state's catalogue and folder tree (without
// a state they open and save their files only).
std::vector<DocumentTemplate> StandardDocumentTemplates(WindowedStart& start, UserInterface& ui,
                                                        const DocumentServices& services);

}  // namespace korvane
