#include "ui/result/result_graph_binding.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "ui/result/graph_options_dialog.h"
#include "ui/result/result_frame.h"

namespace korvane {

GraphViewPane::GraphViewPane(ResultWindowDocument& document, QWidget* parent)
    : document_(document), view_(new GraphView(parent)) {
    view_->setObjectName(QStringLiteral("Graph"));
    // Queued: the drill-down runs the result and replaces the chart whose
    // click is still being delivered.
    QObject::connect(
        view_, &GraphView::FolderClicked, view_,
        [&document](int folder_id) { document.DrillDown(static_cast<std::int32_t>(folder_id)); },
        Qt::QueuedConnection);
}

bool GraphViewPane::ShowGraph() {
    if (!document_.HasCatalogue())
        return false;
    Catalogue& catalogue = document_.GetCatalogue();
    // A text of an earlier time line must not stand for this one.
    document_.Result().forecast_text.clear();
    view_->ShowGraph(document_.Result(), catalogue, document_.GraphItems(), catalogue.ui());
    // A graph that cannot be built (no date column, no size to share, no
    // dates) leaves the pane empty rather than showing the report: only
    // too many rows for a pie or bar turn the result back to its report.
    return true;
}

ResultGraphPaneFactory GraphViewPaneFactory() {
    return [](ResultWindowDocument& document, QWidget* parent) -> std::unique_ptr<ResultGraphPane> {
        return std::make_unique<GraphViewPane>(document, parent);
    };
}

void AddGraphOptionsCommand(CResultFrame& frame) {
    // The menu that holds the pie command holds the other modes too.
    QMenu* modes = nullptr;
    for (QAction* entry : frame.menuBar()->actions()) {
        if (QMenu* menu = entry->menu()) {
            for (QAction* item : menu->actions()) {
                if (item->data().toInt() == kResultPieGraph)
                    modes = menu;
            }
        }
    }
    if (modes == nullptr)
        return;
    modes->addSeparator();
    QAction* options = modes->addAction(QString::fromLatin1(kGraphOptionsMenuText));
    options->setStatusTip(QString::fromLatin1(kGraphOptionsPrompt));
    options->setObjectName(QStringLiteral("GraphOptions"));
    ResultWindowDocument& document = frame.Document();
    QObject::connect(options, &QAction::triggered, &frame, [&frame, &document] {
        ResultWindowHost host(document);
        EditGraphOptions(document.Result(), host, &frame);
    });
}

}  // namespace korvane
