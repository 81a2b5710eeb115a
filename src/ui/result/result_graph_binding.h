// The result window's graphs: the graph pane the result view shows in a
// graph mode (a GraphView over the document's answer), the host the mode
// and graph-option commands report to, and the "&Graph Options..." command.
#pragma once

#include "result/display_mode.h"
#include "ui/result/graph_view.h"
#include "ui/result/result_document.h"

namespace korvane {

class CResultFrame;

// The graph pane on Qt Charts. A click on a folder's slice or bar drills
// into that folder, which runs the result again for it. It stays shown,
// empty, when the mode's graph cannot be built (the person has been told
// why where there is a reason to give).
class GraphViewPane : public ResultGraphPane {
  public:
    GraphViewPane(ResultWindowDocument& document, QWidget* parent);

    QWidget* Widget() override { return view_; }
    bool ShowGraph() override;
    void Clear() override { view_->Clear(); }
    void Paint(QPainter& painter, const QRect& body) override { view_->Paint(painter, body); }
    GraphView* View() const { return view_; }

  private:
    ResultWindowDocument& document_;
    GraphView* view_;  // owned by its parent widget
};

// What the result context's make_graph_pane holds in the program.
ResultGraphPaneFactory GraphViewPaneFactory();

// The window document as the mode and graph-option commands see it.
class ResultWindowHost : public ResultDocumentHost {
  public:
    explicit ResultWindowHost(ResultWindowDocument& document) : document_(document) {}
    void MarkModified() override { document_.SetModifiedFlag(true); }
    void RefreshAllViews() override { document_.UpdateAllViews(kHintAnswerChanged); }

  private:
    ResultWindowDocument& document_;
};

// Adds "&Graph Options..." below the display-mode commands of the frame's menu.
void AddGraphOptionsCommand(CResultFrame& frame);

}  // namespace korvane
