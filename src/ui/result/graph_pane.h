// The graph view in the result window's graph place: the pie, bar, line or
// forecast of the document's answer, a click on a folder's slice or bar
// stepping into that folder.
#pragma once

#include <memory>

#include "ui/result/result_document.h"

namespace korvane {

// The factory the result windows are given (ResultContext::make_graph_pane).
std::unique_ptr<ResultGraphPane> MakeGraphViewPane(ResultWindowDocument& document, QWidget* parent);

}  // namespace korvane
